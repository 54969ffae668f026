#include "sim/state/state_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace tornak::sim {
namespace {

using namespace std::string_literals;

// Everything the file can hold, with bytes that a careless format would lose.
State FullState() {
  State state;
  Bridge odd = DefaultBridge("odd.one-1");
  odd.seenBy = Visibility::Both;
  odd.vid = 0x0000;
  odd.pid = 0xFFFF;
  odd.pendingVid = 0x0403;
  odd.pendingPid = 0x0000;
  odd.serial = "A\0B\xFF%\"\n\r %20 end"s;
  odd.product = std::string(300, '\x80');
  odd.list = {std::string(), std::string("\t#not a comment"), std::string(257, 'x')};
  odd.serialLength = 200;
  odd.productLength = 0;
  odd.unterminated = {true, false, true};
  odd.reenumerationMs = 60000;
  odd.awayUntil = 1745000000123;
  Bridge bytes = DefaultBridge("bytes");
  for (int byte = 0; byte < 256; ++byte) bytes.serial += static_cast<char>(byte);
  bytes.product.assign(bytes.serial.rbegin(), bytes.serial.rend());
  state.bridges = {DefaultBridge("bridge1"), odd, bytes};
  state.bridges[0].seenBy = Visibility::Old;
  state.failures = {{"CP210x_Open", LibraryGeneration::Old, 0x5304},
                    {"CP210x_Reset", std::nullopt, -1},
                    {"CP210x_Open", std::nullopt, 0x10000}};
  state.handles = {{0x7E5700000001, LibraryGeneration::New, "bridge1"},
                   {0xFFFFFFFFFFFFFFFF, LibraryGeneration::Old, ""}};
  state.opens = {7, 3};
  state.closes = {6, 2};
  state.nextHandle = 0xFFFFFFFF5;
  state.withoutDriverPackage = {{0x10C4, 0xEA61}, {0x0000, 0xFFFF}};
  return state;
}

TEST(StateFile, RoundTripKeepsEveryFieldAndByteAndPlainTextStaysReadable) {
  const State state = FullState();
  const std::string text = FormatState(state);
  EXPECT_EQ(ParseState(text, "state.json"), state);
  EXPECT_EQ(ParseState(FormatState(State{}), "state.json"), State{});
  for (const char* plain :
       {"\"name\": \"bridge1\"", "\"product\": \"CP2102 USB to UART Bridge Controller\"", "\"vid\": \"10C4\"",
        "\"status\": \"0x00005304\"", "\"bridge\": null", "\"unterminated\": [\n        \"serial\",\n        \"path\"",
        "\"hex\": \"410042FF25220A0D", "\"no_driver_package\": [\n    \"0000:FFFF\",\n    \"10C4:EA61\"\n  ]"})
    EXPECT_NE(text.find(plain), std::string::npos) << plain << " missing from:\n" << text;
  // A PC with a driver package for every identity writes the file as before it knew of them, and
  // reads such a file so.
  EXPECT_EQ(FormatState(State{}).find("no_driver_package"), std::string::npos);
}

TEST(StateFile, EveryCutOffFileIsRejected) {
  // A torn read must never pass for a smaller state.
  std::string text = FormatState(FullState());
  while (text.back() == '\n') text.pop_back();
  for (std::size_t length = 0; length < text.size(); ++length)
    EXPECT_THROW(ParseState(text.substr(0, length), "state.json"), MalformedState) << "cut at " << length;
}

struct Malformed {
  const char* what;
  std::string text;
  const char* problem;
};

class MalformedFile : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedFile, NamesTheFileTheFieldAndTheProblem) {
  const Malformed& example = GetParam();
  try {
    ParseState(example.text, "/some/state.json");
    FAIL() << "parsed";
  } catch (const MalformedState& error) {
    const std::string what = error.what();
    const std::string file = "/some/state.json: ";
    EXPECT_EQ(what.substr(0, file.size()), file);
    EXPECT_NE(what.find(example.problem, file.size()), std::string::npos) << what;
  }
}

State WithBridges(std::vector<Bridge> bridges) {
  State state;
  state.bridges = std::move(bridges);
  return state;
}

// The file of one default bridge with `from` replaced by `to`.
std::string Edited(const std::string& from, const std::string& to) {
  std::string text = FormatState(WithBridges({DefaultBridge("b")}));
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error(from + " is not in the file");
  return text.replace(at, from.size(), to);
}

const std::string kDeep = std::string(100000, '[') + std::string(100000, ']');

INSTANTIATE_TEST_SUITE_P(
    Examples, MalformedFile,
    testing::Values(
        Malformed{"empty", "", "not JSON: "},
        Malformed{"syntax", Edited("\"seen\": \"new\",", "\"seen\": \"new\""),
                  "not JSON: parse error at line 7, column 11"},
        Malformed{"nul", FormatState(State{}) + '\0' + "{", "not JSON: a NUL byte at offset "},
        Malformed{"list", "[]", "the file: expected an object, found an array"},
        Malformed{"huge", Edited("\"next_handle\": 1", "\"next_handle\": 7E570000"), "not JSON: number overflow"},
        Malformed{"foreign", "{}", "the file: key 'tornak-sim-state' not found"},
        Malformed{"future", Edited("\"tornak-sim-state\": 2", "\"tornak-sim-state\": 3"),
                  "/tornak-sim-state: version 3 is not supported; this build reads 2"},
        Malformed{"hex", Edited("\"10C4\"", "\"10G4\""), "/bridges/0/vid: expected 1 to 4 hex digits, found \"10G4\""},
        Malformed{"deep", Edited("\"10C4\"", kDeep), "/bridges/0/vid: expected 1 to 4 hex digits, found an array"},
        Malformed{"unknown", Edited("\"vid\"", "\"vdi\": 1, \"vid\""), "/bridges/0: unknown field \"vdi\""},
        Malformed{"missing", Edited("\"seen\": \"new\",", ""), "/bridges/0: key 'seen' not found"},
        Malformed{"seen", Edited("\"seen\": \"new\"", "\"seen\": \"all\""),
                  "/bridges/0/seen: expected \"new\", \"old\""},
        Malformed{"bytes", Edited("\"serial\": \"0001\"", "\"serial\": {\"hex\": \"4\"}"),
                  "/bridges/0/serial/hex: expected pairs of hex digits, found \"4\""},
        Malformed{"length", Edited("\"name\": \"b\",", "\"name\": \"b\", \"serial_length\": 256,"),
                  "/bridges/0/serial_length: expected a whole number from 0 to 255, found 256"},
        Malformed{"away", Edited("\"name\": \"b\",", "\"name\": \"b\", \"reenumeration_ms\": -1,"),
                  "/bridges/0/reenumeration_ms: expected a whole number from 0 to 60000, found -1"},
        Malformed{"which", Edited("\"name\": \"b\",", "\"name\": \"b\", \"unterminated\": [\"path\", \"x\"],"),
                  "/bridges/0/unterminated/1: expected \"serial\", \"description\" or \"path\""},
        Malformed{"name", Edited("\"name\": \"b\"", "\"name\": \"b c\""), "/bridges/0/name: expected a bridge name"},
        Malformed{"twice", FormatState(WithBridges({DefaultBridge("b"), DefaultBridge("b")})),
                  "/bridges/1: a second bridge named \"b\""},
        Malformed{"operation",
                  Edited("\"failures\": []",
                         "\"failures\": [{\"operation\": \"CP210x_Explode\", "
                         "\"status\": \"0x1\"}]"),
                  "/failures/0/operation: expected an entry point of the library, found \"CP210x_Explode\""},
        Malformed{"orphan",
                  Edited("\"handles\": []",
                         "\"handles\": [{\"value\": \"7E57\", \"generation\": \"new\", "
                         "\"bridge\": \"nowhere\"}]"),
                  "/handles/0/bridge: no bridge is named \"nowhere\""},
        Malformed{"package", Edited("\"next_handle\": 1", "\"next_handle\": 1, \"no_driver_package\": [\"10C4-EA61\"]"),
                  "/no_driver_package/0: expected VID:PID such as \"10C4:EA61\", found \"10C4-EA61\""},
        Malformed{"packages", Edited("\"next_handle\": 1", "\"next_handle\": 1, \"no_driver_package\": \"10C4:EA61\""),
                  "/no_driver_package: expected a list, found \"10C4:EA61\""},
        Malformed{"repeated",
                  Edited("\"next_handle\": 1",
                         "\"next_handle\": 1, \"no_driver_package\": [\"10C4:EA61\", \"10c4:0xea61\"]"),
                  "/no_driver_package/1: a second entry for \"10c4:0xea61\""},
        Malformed{"counts", Edited("\"old\": 0\n  },\n  \"closes\"", "\"old\": 0.5\n  },\n  \"closes\""),
                  "/opens/old: expected a whole number"}),
    [](const testing::TestParamInfo<Malformed>& info) { return std::string(info.param.what); });

TEST(StateFile, ValueFormsAreStrict) {
  EXPECT_EQ(ParseId("10c4"), 0x10C4);
  EXPECT_EQ(ParseId("0xEA60"), 0xEA60);
  for (const char* bad : {"", "0x", "10000", "-1", "+1", "10C4 "}) EXPECT_FALSE(ParseId(bad)) << bad;
  // A status is its bits in hex, or a signed decimal.
  EXPECT_EQ(ParseStatus("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseStatus("-2"), -2);
  for (const char* bad : {"", "0x123456789", "2147483648", "0x-1", "five"}) EXPECT_FALSE(ParseStatus(bad)) << bad;
  EXPECT_EQ(ParseUsbId("10c4:0xEA61"), (UsbId{0x10C4, 0xEA61}));
  EXPECT_EQ(UsbIdText({0x403, 0x1}), "0403:0001");
  for (const char* bad : {"", "10C4", "10C4:", ":EA61", "10C4:EA61:1", "10C4 :EA61", "10000:1", "10C4/EA61"})
    EXPECT_FALSE(ParseUsbId(bad)) << bad;
  EXPECT_EQ(BytesFromHex("41ff00"), "A\xFF\0"s);
  EXPECT_FALSE(BytesFromHex("41F"));
  EXPECT_FALSE(BytesFromHex("4G"));
}

}  // namespace
}  // namespace tornak::sim
