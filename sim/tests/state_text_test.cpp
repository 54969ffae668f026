#include <gtest/gtest.h>

#include <algorithm>

#include "sim/state_text.hpp"
#include "sim/text_fields.hpp"

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
  state.bridges = {DefaultBridge("bridge1"), odd};
  state.bridges[0].seenBy = Visibility::Old;
  state.failures = {{"CP210x_Open", Generation::Old, 0x5304}, {"CP210x_Reset", std::nullopt, -1},
                    {"CP210x_Open", std::nullopt, 0x10000}};
  state.handles = {{0x7E5700000001, Generation::New, "bridge1"}, {0xFFFFFFFFFFFFFFFF, Generation::Old, ""}};
  state.opens = {7, 3};
  state.closes = {6, 2};
  state.nextHandle = 0xFFFFFFFF5;
  return state;
}

TEST(StateText, RoundTripKeepsEveryField) {
  const State state = FullState();
  EXPECT_EQ(ParseState(FormatState(state), "state.txt"), state);
  EXPECT_EQ(ParseState(FormatState(State{}), "state.txt"), State{});
}

TEST(StateText, RoundTripKeepsEveryByteValue) {
  State state;
  state.bridges.push_back(DefaultBridge("bytes"));
  for (int byte = 0; byte < 256; ++byte) state.bridges[0].serial += static_cast<char>(byte);
  state.bridges[0].product = state.bridges[0].serial;
  std::reverse(state.bridges[0].product.begin(), state.bridges[0].product.end());
  EXPECT_EQ(ParseState(FormatState(state), "state.txt"), state);
}

TEST(StateText, ReadsWindowsLineEndsAndComments) {
  const State state = FullState();
  std::string text;
  for (char c : FormatState(state)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  text.insert(text.find("bridge "), "\r\n# a note\r\n\r\n");
  EXPECT_EQ(ParseState(text, "state.txt"), state);
}

TEST(StateText, EveryCutOffFileIsRejected) {
  // A torn read must never pass for a smaller state: any prefix short of the closing line fails.
  const std::string text = FormatState(FullState());
  const std::size_t closing = text.rfind("end-of-state");
  for (std::size_t length = 0; length < closing + 12; ++length)
    EXPECT_THROW(ParseState(text.substr(0, length), "state.txt"), MalformedState) << "cut at " << length;
  EXPECT_NO_THROW(ParseState(text.substr(0, closing + 12), "state.txt"));
}

struct Malformed {
  const char* what;
  std::string text;
  int line;
  const char* problem;
};

class MalformedText : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedText, NamesFileLineAndProblem) {
  const Malformed& example = GetParam();
  try {
    ParseState(example.text, "/some/state.txt");
    FAIL() << "parsed";
  } catch (const MalformedState& error) {
    EXPECT_EQ(error.File(), "/some/state.txt");
    EXPECT_EQ(error.Line(), example.line) << error.what();
    EXPECT_NE(error.Problem().find(example.problem), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("/some/state.txt:" + std::to_string(example.line) + ": "),
              std::string::npos);
  }
}

const std::string kHead = "tornak-sim-state 1\n";
const std::string kBridge =
    "bridge b\nseen new\nvid 10C4\npid EA60\nserial \"1\"\nproduct \"p\"\nlist-serial \"1\"\n"
    "list-description \"p\"\nlist-path \"x\"\n";

INSTANTIATE_TEST_SUITE_P(
    Examples, MalformedText,
    testing::Values(
        Malformed{"empty", "", 1, "empty"},
        Malformed{"foreign", "hello\n", 1, "not a tornak-sim state file"},
        Malformed{"future", "tornak-sim-state 2\nend-of-state\n", 1, "version 2 is not supported"},
        Malformed{"cut", kHead + "next-handle 4\n", 2, "cut off"},
        Malformed{"unclosed", kHead + kBridge, 10, "not closed by 'end'"},
        Malformed{"missing", kHead + "bridge b\nseen new\nend\nend-of-state\n", 4, "has no 'vid'"},
        Malformed{"hex", kHead + "bridge b\nvid 10G4\n", 3, "vid must be 1 to 4 hex digits"},
        Malformed{"escape", kHead + "bridge b\nserial \"%4\"\n", 3, "quoted string"},
        Malformed{"unquoted", kHead + "bridge b\nproduct abc\n", 3, "quoted string"},
        Malformed{"key", kHead + "bridge b\nvdi 10C4\n", 3, "unknown key 'vdi'"},
        Malformed{"twice", kHead + "bridge b\nvid 10C4\nvid 10C4\n", 4, "given twice"},
        Malformed{"length", kHead + "bridge b\nserial-length 256\n", 3, "0 to 255"},
        Malformed{"away", kHead + "bridge b\nreenumeration-ms 60001\n", 3, "0 to 60000"},
        Malformed{"same", kHead + kBridge + "end\n" + kBridge, 12, "appears twice"},
        Malformed{"operation", kHead + "failure CP210x_Explode 1\n", 2, "not an operation"},
        Malformed{"orphan", kHead + "handle 7E5700000001 new nowhere\n", 2, "unknown bridge 'nowhere'"},
        Malformed{"trailing", kHead + "end-of-state\nnext-handle 2\n", 3, "text after 'end-of-state'"}),
    [](const testing::TestParamInfo<Malformed>& info) { return std::string(info.param.what); });

TEST(TextFields, ParseIdsAndStatusesStrictly) {
  EXPECT_EQ(ParseHex16("10c4"), 0x10C4);
  EXPECT_EQ(ParseHex16("0xEA60"), 0xEA60);
  for (const char* bad : {"", "0x", "10000", "-1", "+1", "10C4 "}) EXPECT_FALSE(ParseHex16(bad)) << bad;
  // A status is its bits in hex, or a signed decimal.
  EXPECT_EQ(ParseStatus("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseStatus("-2"), -2);
  for (const char* bad : {"", "0x123456789", "2147483648", "0x-1", "five"}) EXPECT_FALSE(ParseStatus(bad)) << bad;
  EXPECT_EQ(BytesFromHex("41ff00"), "A\xFF\0"s);
  EXPECT_FALSE(BytesFromHex("41F"));
}

}  // namespace
}  // namespace tornak::sim
