#include "sim/state/state_file.hpp"

#include <algorithm>
#include <initializer_list>
#include <limits>

// Errors of the library then say where in the file they are, as "(/bridges/0/vid) ...".
#define JSON_DIAGNOSTICS 1
#include <nlohmann/json.hpp>

#include "convert/hex_digits.hpp"

namespace tornak::sim {
namespace {

// Read into the plain kind, whose objects never copy their values as they grow (a value nested
// deep enough would overflow the stack being copied); written in the kind that keeps the order
// of the fields as given.
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr char kVersionKey[] = "tornak-sim-state";
constexpr int kVersion = 2;

// What is wrong with `value`, as an error of the library's own, which names where it is.
[[noreturn]] void Fail(const Json& value, const std::string& what) {
  throw Json::other_error::create(501, what, &value);
}

// A value as an error message shows it; a structure only by its kind, however deep it goes.
std::string Shown(const Json& value) {
  return value.is_structured() ? std::string("an ") + value.type_name()
                               : value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

// An object with none but the `known` fields.
const Json& Object(const Json& value, std::initializer_list<std::string_view> known) {
  if (!value.is_object()) Fail(value, "expected an object, found " + Shown(value));
  for (const auto& item : value.items())
    if (std::find(known.begin(), known.end(), item.key()) == known.end())
      Fail(value, "unknown field \"" + item.key() + "\"");
  return value;
}

const Json& List(const Json& value) {
  if (!value.is_array()) Fail(value, "expected a list, found " + Shown(value));
  return value;
}

// A string taken by `parse`, which gives nullopt for a text it does not take.
template <typename Parse>
auto Take(const Json& value, const std::string& expected, Parse parse) {
  const auto parsed = value.is_string() ? parse(value.get<std::string>()) : std::nullopt;
  if (!parsed) Fail(value, "expected " + expected + ", found " + Shown(value));
  return *parsed;
}

template <typename Number>
Number Whole(const Json& value, std::uint64_t max = std::numeric_limits<Number>::max()) {
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max)
    Fail(value, "expected a whole number from 0 to " + std::to_string(max) + ", found " + Shown(value));
  return static_cast<Number>(value.get<std::uint64_t>());
}

// The digits after a "0x" or "0X", or nullopt when the text does not start so.
std::optional<std::string_view> AfterHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return text.substr(2);
  return std::nullopt;
}

std::uint16_t Id(const Json& value) { return Take(value, "1 to 4 hex digits", ParseId); }

std::string BridgeName(const Json& value) {
  return Take(value, "a bridge name (letters, digits, '_', '.', '-')", ParseBridgeName);
}

template <typename T, std::size_t N>
T OneOf(const Json& value, const std::array<std::string_view, N>& names) {
  std::string expected;
  for (std::size_t i = 0; i < N; ++i)
    expected += (i == 0 ? "\"" : i + 1 < N ? ", \"" : " or \"") + std::string(names[i]) + "\"";
  return Take(value, expected, [&](const std::string& text) { return Named<T>(names, text); });
}

LibraryGeneration Generation(const Json& value) { return OneOf<LibraryGeneration>(value, kGenerationNames); }

// Bytes: plain text while it is printable ASCII, else {"hex": ...}, which holds any bytes.
std::string Bytes(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return Take(Object(value, {"hex"}).at("hex"), "pairs of hex digits", BytesFromHex);
}

OrderedJson BytesJson(const std::string& bytes) {
  if (std::all_of(bytes.begin(), bytes.end(), PrintableAscii)) return bytes;
  std::string hex;
  for (char c : bytes) hex += HexDigits(static_cast<unsigned char>(c), 2);
  return OrderedJson{{"hex", hex}};
}

std::array<std::uint64_t, kGenerationCount> Counts(const Json& value) {
  Object(value, {"new", "old"});
  return {Whole<std::uint64_t>(value.at("new")), Whole<std::uint64_t>(value.at("old"))};
}

OrderedJson CountsJson(const std::array<std::uint64_t, kGenerationCount>& counts) {
  return {{"new", counts[0]}, {"old", counts[1]}};
}

Bridge ReadBridge(const Json& json) {
  Object(json, {"name", "seen", "vid", "pid", "pending_vid", "pending_pid", "serial", "product", "list",
                "serial_length", "product_length", "unterminated", "reenumeration_ms", "away_until"});
  Bridge bridge;
  bridge.name = BridgeName(json.at("name"));
  bridge.seenBy = OneOf<Visibility>(json.at("seen"), kVisibilityNames);
  bridge.vid = Id(json.at("vid"));
  bridge.pid = Id(json.at("pid"));
  if (json.contains("pending_vid")) bridge.pendingVid = Id(json.at("pending_vid"));
  if (json.contains("pending_pid")) bridge.pendingPid = Id(json.at("pending_pid"));
  bridge.serial = Bytes(json.at("serial"));
  bridge.product = Bytes(json.at("product"));
  const Json& list = Object(json.at("list"), {"serial", "description", "path"});
  for (std::size_t i = 0; i < kListStringCount; ++i) bridge.list[i] = Bytes(list.at(std::string(kListStringNames[i])));
  if (json.contains("serial_length")) bridge.serialLength = Whole<std::uint8_t>(json.at("serial_length"));
  if (json.contains("product_length")) bridge.productLength = Whole<std::uint8_t>(json.at("product_length"));
  if (json.contains("unterminated"))
    for (const Json& name : List(json.at("unterminated")))
      bridge.unterminated[OneOf<std::size_t>(name, kListStringNames)] = true;
  if (json.contains("reenumeration_ms"))
    bridge.reenumerationMs = Whole<std::uint32_t>(json.at("reenumeration_ms"), kMaxReenumerationMs);
  if (json.contains("away_until")) bridge.awayUntil = Whole<std::int64_t>(json.at("away_until"));
  return bridge;
}

State ReadState(const Json& json) {
  Object(json, {kVersionKey, "bridges", "failures", "handles", "opens", "closes", "next_handle", "no_driver_package"});
  const Json& version = json.at(kVersionKey);
  if (Whole<std::uint64_t>(version) != kVersion)
    Fail(version, "version " + Shown(version) + " is not supported; this build reads " + std::to_string(kVersion));
  State state;
  for (const Json& bridge : List(json.at("bridges"))) {
    state.bridges.push_back(ReadBridge(bridge));
    if (state.FindBridge(state.bridges.back().name) != &state.bridges.back())
      Fail(bridge, "a second bridge named \"" + state.bridges.back().name + "\"");
  }
  for (const Json& failure : List(json.at("failures"))) {
    Object(failure, {"operation", "status", "generation"});
    Failure read;
    read.operation = Take(failure.at("operation"), "an entry point of the library", ParseEntryPoint);
    if (failure.contains("generation")) read.generation = Generation(failure.at("generation"));
    read.status = Take(failure.at("status"), "a status such as \"0x00005304\"", ParseStatus);
    for (const Failure& other : state.failures)
      if (other.operation == read.operation && other.generation == read.generation)
        Fail(failure, "a second failure of " + read.operation + " for the same generation");
    state.failures.push_back(read);
  }
  for (const Json& handle : List(json.at("handles"))) {
    Object(handle, {"value", "generation", "bridge"});
    OpenHandle read;
    read.value = Take(handle.at("value"), "1 to 16 hex digits, not all 0", [](const std::string& text) {
      const auto value = text.size() <= 16 ? ParseNumber<std::uint64_t>(text, 16) : std::nullopt;
      return value == 0u ? std::nullopt : value;
    });
    read.generation = Generation(handle.at("generation"));
    const Json& bridge = handle.at("bridge");  // null once the bridge went away
    if (!bridge.is_null()) read.bridge = BridgeName(bridge);
    if (!bridge.is_null() && state.FindBridge(read.bridge) == nullptr)
      Fail(bridge, "no bridge is named \"" + read.bridge + "\"");
    if (state.FindHandle(read.value) != nullptr) Fail(handle, "a second handle of the same value");
    state.handles.push_back(read);
  }
  state.opens = Counts(json.at("opens"));
  state.closes = Counts(json.at("closes"));
  state.nextHandle = Whole<std::uint64_t>(json.at("next_handle"));
  if (state.nextHandle == 0) Fail(json.at("next_handle"), "must be above 0");
  if (json.contains("no_driver_package"))
    for (const Json& id : List(json.at("no_driver_package")))
      if (!state.withoutDriverPackage.insert(Take(id, "VID:PID such as \"10C4:EA61\"", ParseUsbId)).second)
        Fail(id, "a second entry for " + Shown(id));
  return state;
}

// An error of the library without its tag: "[json.exception.parse_error.101] parse error ..."
std::string Untagged(const std::string& message) {
  const std::size_t tag = message.find("] ");
  return tag == std::string::npos ? message : message.substr(tag + 2);
}

// "(/bridges/0/vid) type must be ..." -> "/bridges/0/vid: type must be ...": where in the file,
// as a JSON pointer.
std::string Located(const std::string& message) {
  const std::string what = Untagged(message);
  const std::size_t end = what.find(") ");
  if (what.rfind("(/", 0) != 0 || end == std::string::npos) return "the file: " + what;
  return what.substr(1, end - 1) + ": " + what.substr(end + 2);
}

}  // namespace

// The records as the file holds them, found by the library through their types.
static void to_json(OrderedJson& json, const Bridge& bridge) {
  json = {{"name", bridge.name},
          {"seen", Name(bridge.seenBy)},
          {"vid", HexDigits(bridge.vid, 4)},
          {"pid", HexDigits(bridge.pid, 4)}};
  if (bridge.pendingVid) json["pending_vid"] = HexDigits(*bridge.pendingVid, 4);
  if (bridge.pendingPid) json["pending_pid"] = HexDigits(*bridge.pendingPid, 4);
  json["serial"] = BytesJson(bridge.serial);
  json["product"] = BytesJson(bridge.product);
  OrderedJson unterminated = OrderedJson::array();
  for (std::size_t i = 0; i < kListStringCount; ++i) {
    json["list"][std::string(kListStringNames[i])] = BytesJson(bridge.list[i]);
    if (bridge.unterminated[i]) unterminated.push_back(kListStringNames[i]);
  }
  if (bridge.serialLength) json["serial_length"] = *bridge.serialLength;
  if (bridge.productLength) json["product_length"] = *bridge.productLength;
  if (!unterminated.empty()) json["unterminated"] = unterminated;
  if (bridge.reenumerationMs != 0) json["reenumeration_ms"] = bridge.reenumerationMs;
  if (bridge.awayUntil != 0) json["away_until"] = bridge.awayUntil;
}

static void to_json(OrderedJson& json, const Failure& failure) {
  json = {{"operation", failure.operation}, {"status", StatusText(failure.status)}};
  if (failure.generation) json["generation"] = Name(*failure.generation);
}

static void to_json(OrderedJson& json, const OpenHandle& handle) {
  json = {{"value", HexDigits(handle.value)},
          {"generation", Name(handle.generation)},
          {"bridge", handle.bridge.empty() ? OrderedJson() : OrderedJson(handle.bridge)}};
}

std::string FormatState(const State& state) {
  OrderedJson json{{kVersionKey, kVersion},           {"bridges", state.bridges},
                   {"failures", state.failures},      {"handles", state.handles},
                   {"opens", CountsJson(state.opens)}, {"closes", CountsJson(state.closes)},
                   {"next_handle", state.nextHandle}};
  for (const UsbId& id : state.withoutDriverPackage) json["no_driver_package"].push_back(UsbIdText(id));
  return json.dump(2) + "\n";
}

State ParseState(std::string_view text, const std::string& fileName) {
  // The library ends its input at a NUL and would take what comes before for the whole file.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
    throw MalformedState(fileName, "not JSON: a NUL byte at offset " + std::to_string(nul));
  Json json;
  try {
    json = Json::parse(text.begin(), text.end());
  } catch (const Json::exception& error) {  // not JSON, or a number too large for any type
    throw MalformedState(fileName, "not JSON: " + Untagged(error.what()));
  }
  try {
    return ReadState(json);
  } catch (const Json::exception& error) {
    throw MalformedState(fileName, Located(error.what()));
  }
}

std::optional<std::uint16_t> ParseId(std::string_view text) {
  text = AfterHexPrefix(text).value_or(text);
  return text.size() <= 4 ? ParseNumber<std::uint16_t>(text, 16) : std::nullopt;
}

std::optional<UsbId> ParseUsbId(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto vid = ParseId(text.substr(0, colon));
  const auto pid = ParseId(text.substr(colon + 1));
  return vid && pid ? std::optional(UsbId{*vid, *pid}) : std::nullopt;
}

std::string UsbIdText(UsbId id) { return HexDigits(id.vid, 4) + ":" + HexDigits(id.pid, 4); }

std::optional<std::string> BytesFromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const auto byte = ParseNumber<unsigned char>(hex.substr(i, 2), 16);
    if (!byte) return std::nullopt;
    bytes += static_cast<char>(*byte);
  }
  return bytes;
}

std::optional<CP210x_STATUS> ParseStatus(std::string_view text) {
  if (const auto digits = AfterHexPrefix(text)) {
    const auto bits = digits->size() <= 8 ? ParseNumber<std::uint32_t>(*digits, 16) : std::nullopt;
    return bits ? std::optional(static_cast<CP210x_STATUS>(*bits)) : std::nullopt;
  }
  return ParseNumber<CP210x_STATUS>(text);
}

std::string StatusText(CP210x_STATUS status) { return "0x" + HexDigits(static_cast<std::uint32_t>(status), 8); }

}  // namespace tornak::sim
