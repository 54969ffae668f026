#include "sim/state_text.hpp"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "sim/text_fields.hpp"

namespace tornak::sim {
namespace {

constexpr std::string_view kMagic = "tornak-sim-state";
constexpr int kVersion = 1;
constexpr std::string_view kEndOfState = "end-of-state";

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    words.push_back(text.substr(0, space));
    if (space == std::string_view::npos) break;
    text.remove_prefix(space + 1);
  }
  return words;
}

std::string Counts(std::string_view key, const std::array<std::uint64_t, kGenerationCount>& counts) {
  return std::string(key) + " new " + std::to_string(counts[Index(Generation::New)]) + " old " +
         std::to_string(counts[Index(Generation::Old)]) + "\n";
}

void FormatBridge(const Bridge& bridge, std::string& text) {
  text += "bridge " + bridge.name + "\n";
  text += "seen " + std::string(VisibilityName(bridge.seenBy)) + "\n";
  text += "vid " + Hex16(bridge.vid) + "\n";
  text += "pid " + Hex16(bridge.pid) + "\n";
  if (bridge.pendingVid) text += "pending-vid " + Hex16(*bridge.pendingVid) + "\n";
  if (bridge.pendingPid) text += "pending-pid " + Hex16(*bridge.pendingPid) + "\n";
  text += "serial " + QuoteBytes(bridge.serial) + "\n";
  text += "product " + QuoteBytes(bridge.product) + "\n";
  for (std::size_t i = 0; i < kListStringCount; ++i)
    text += std::string(ListStringName(static_cast<ListString>(i))) + " " + QuoteBytes(bridge.list[i]) + "\n";
  if (bridge.serialLength) text += "serial-length " + std::to_string(*bridge.serialLength) + "\n";
  if (bridge.productLength) text += "product-length " + std::to_string(*bridge.productLength) + "\n";
  std::string unterminated;
  for (std::size_t i = 0; i < kListStringCount; ++i)
    if (bridge.unterminated[i]) unterminated += " " + std::string(ListStringName(static_cast<ListString>(i)));
  if (!unterminated.empty()) text += "unterminated" + unterminated + "\n";
  if (bridge.reenumerationMs != 0) text += "reenumeration-ms " + std::to_string(bridge.reenumerationMs) + "\n";
  if (bridge.awayUntil != 0) text += "away-until " + std::to_string(bridge.awayUntil) + "\n";
  text += "end\n";
}

class Parser {
 public:
  Parser(std::string_view text, const std::string& fileName) : rest_(text), file_(fileName) {}

  State Parse() {
    ParseHeader();
    std::set<std::string, std::less<>> seenKeys;
    while (NextLine()) {
      if (key_ == kEndOfState) {
        ExpectNoValue();
        if (NextLine()) Fail("text after '" + std::string(kEndOfState) + "'");
        return std::move(state_);
      }
      if (key_ == "bridge") {
        ParseBridge();
        continue;
      }
      if (key_ == "failure") {
        ParseFailure();
        continue;
      }
      if (key_ == "handle") {
        ParseHandle();
        continue;
      }
      if (key_ != "next-handle" && key_ != "opens" && key_ != "closes") Fail("unknown key '" + std::string(key_) + "'");
      if (!seenKeys.insert(std::string(key_)).second) Fail("'" + std::string(key_) + "' given twice");
      if (key_ == "next-handle") {
        auto next = ParseDecimal(value_);
        if (!next || *next == 0) Fail("next-handle must be a whole number above 0, not '" + std::string(value_) + "'");
        state_.nextHandle = *next;
      } else {
        ParseCounts(key_ == "opens" ? state_.opens : state_.closes);
      }
    }
    Fail("the file ends without '" + std::string(kEndOfState) + "': it is cut off");
  }

 private:
  [[noreturn]] void Fail(std::string problem) const {
    throw MalformedState(file_, std::max(line_, 1), std::move(problem));
  }

  // Moves to the next line with content; splits it into key_ and value_.
  bool NextLine() {
    while (!rest_.empty()) {
      const std::size_t end = rest_.find('\n');
      std::string_view line = rest_.substr(0, end);
      rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
      ++line_;
      // Tolerate a file that went through a Windows editor.
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty() || line.front() == '#') continue;
      const std::size_t space = line.find(' ');
      key_ = line.substr(0, space);
      value_ = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
      return true;
    }
    return false;
  }

  void ExpectNoValue() const {
    if (!value_.empty()) Fail("unexpected text after '" + std::string(key_) + "'");
  }

  void ParseHeader() {
    if (!NextLine()) Fail("the file is empty: expected '" + std::string(kMagic) + " " + std::to_string(kVersion) + "'");
    if (key_ != kMagic)
      Fail("not a tornak-sim state file: expected '" + std::string(kMagic) + " " + std::to_string(kVersion) + "'");
    auto version = ParseDecimal(value_);
    if (!version) Fail("bad version '" + std::string(value_) + "'");
    if (*version != kVersion)
      Fail("state file version " + std::string(value_) + " is not supported; this build reads version " +
           std::to_string(kVersion));
  }

  void ParseCounts(std::array<std::uint64_t, kGenerationCount>& counts) {
    const auto words = SplitWords(value_);
    std::optional<std::uint64_t> newCount;
    std::optional<std::uint64_t> oldCount;
    if (words.size() == 4 && words[0] == "new" && words[2] == "old") {
      newCount = ParseDecimal(words[1]);
      oldCount = ParseDecimal(words[3]);
    }
    if (!newCount || !oldCount) Fail("expected '" + std::string(key_) + " new COUNT old COUNT'");
    counts[Index(Generation::New)] = *newCount;
    counts[Index(Generation::Old)] = *oldCount;
  }

  std::uint16_t Hex16Value() const {
    auto value = ParseHex16(value_);
    if (!value) Fail(std::string(key_) + " must be 1 to 4 hex digits, not '" + std::string(value_) + "'");
    return *value;
  }

  std::string BytesValue() const {
    auto bytes = UnquoteBytes(value_);
    if (!bytes) Fail(std::string(key_) + " must be a quoted string with %XX escapes, not " + std::string(value_));
    return *bytes;
  }

  std::uint8_t LengthValue() const {
    auto length = ParseDecimal(value_);
    if (!length || *length > 255) Fail(std::string(key_) + " must be 0 to 255, not '" + std::string(value_) + "'");
    return static_cast<std::uint8_t>(*length);
  }

  void ParseBridge() {
    Bridge bridge;
    bridge.name = std::string(value_);
    if (!IsValidBridgeName(bridge.name)) Fail("bad bridge name '" + bridge.name + "'");
    if (state_.FindBridge(bridge.name) != nullptr) Fail("bridge '" + bridge.name + "' appears twice");
    std::set<std::string, std::less<>> keys;
    while (NextLine()) {
      if (key_ == "end") {
        ExpectNoValue();
        for (const char* required :
             {"seen", "vid", "pid", "serial", "product", "list-serial", "list-description", "list-path"})
          if (keys.count(required) == 0) Fail("bridge '" + bridge.name + "' has no '" + required + "'");
        state_.bridges.push_back(std::move(bridge));
        return;
      }
      if (!keys.insert(std::string(key_)).second)
        Fail("'" + std::string(key_) + "' given twice for bridge '" + bridge.name + "'");
      if (key_ == "seen") {
        auto seen = ParseVisibility(value_);
        if (!seen) Fail("seen must be new, old or both, not '" + std::string(value_) + "'");
        bridge.seenBy = *seen;
      } else if (key_ == "vid") {
        bridge.vid = Hex16Value();
      } else if (key_ == "pid") {
        bridge.pid = Hex16Value();
      } else if (key_ == "pending-vid") {
        bridge.pendingVid = Hex16Value();
      } else if (key_ == "pending-pid") {
        bridge.pendingPid = Hex16Value();
      } else if (key_ == "serial") {
        bridge.serial = BytesValue();
      } else if (key_ == "product") {
        bridge.product = BytesValue();
      } else if (auto which = ParseListString(key_)) {
        bridge.list[Index(*which)] = BytesValue();
      } else if (key_ == "serial-length") {
        bridge.serialLength = LengthValue();
      } else if (key_ == "product-length") {
        bridge.productLength = LengthValue();
      } else if (key_ == "reenumeration-ms") {
        auto milliseconds = ParseDecimal(value_);
        if (!milliseconds || *milliseconds > kMaxReenumerationMs)
          Fail("reenumeration-ms must be 0 to " + std::to_string(kMaxReenumerationMs) + ", not '" +
               std::string(value_) + "'");
        bridge.reenumerationMs = static_cast<std::uint32_t>(*milliseconds);
      } else if (key_ == "away-until") {
        auto until = ParseDecimal(value_);
        if (!until || *until > static_cast<std::uint64_t>(INT64_MAX))
          Fail("away-until must be a time in milliseconds, not '" + std::string(value_) + "'");
        bridge.awayUntil = static_cast<std::int64_t>(*until);
      } else if (key_ == "unterminated") {
        for (std::string_view word : SplitWords(value_)) {
          auto listed = ParseListString(word);
          if (!listed)
            Fail("unterminated takes list-serial, list-description or list-path, not '" + std::string(word) + "'");
          bridge.unterminated[Index(*listed)] = true;
        }
      } else {
        Fail("unknown key '" + std::string(key_) + "' in bridge '" + bridge.name + "'");
      }
    }
    Fail("bridge '" + bridge.name + "' is not closed by 'end'");
  }

  void ParseFailure() {
    const auto words = SplitWords(value_);
    if (words.size() != 2 && words.size() != 3) Fail("expected 'failure OPERATION STATUS [new|old]'");
    Failure failure;
    failure.operation = std::string(words[0]);
    if (!IsEntryPointName(failure.operation)) Fail("'" + failure.operation + "' is not an operation of the library");
    auto status = ParseStatus(words[1]);
    if (!status) Fail("bad status '" + std::string(words[1]) + "'");
    failure.status = *status;
    if (words.size() == 3) {
      failure.generation = ParseGeneration(words[2]);
      if (!failure.generation) Fail("generation must be new or old, not '" + std::string(words[2]) + "'");
    }
    for (const Failure& other : state_.failures)
      if (other.operation == failure.operation && other.generation == failure.generation)
        Fail("failure of " + failure.operation + " given twice for the same generation");
    state_.failures.push_back(std::move(failure));
  }

  void ParseHandle() {
    const auto words = SplitWords(value_);
    if (words.size() != 3) Fail("expected 'handle VALUE new|old BRIDGE'");
    OpenHandle handle;
    auto value = ParseHex64(words[0]);
    if (!value || *value == 0) Fail("bad handle value '" + std::string(words[0]) + "'");
    handle.value = *value;
    auto generation = ParseGeneration(words[1]);
    if (!generation) Fail("generation must be new or old, not '" + std::string(words[1]) + "'");
    handle.generation = *generation;
    if (words[2] != "-") {
      handle.bridge = std::string(words[2]);
      if (state_.FindBridge(handle.bridge) == nullptr) Fail("handle of unknown bridge '" + handle.bridge + "'");
    }
    if (state_.FindHandle(handle.value) != nullptr) Fail("handle " + std::string(words[0]) + " appears twice");
    state_.handles.push_back(std::move(handle));
  }

  std::string_view rest_;
  const std::string& file_;
  int line_ = 0;
  std::string_view key_;
  std::string_view value_;
  State state_;
};

}  // namespace

std::string FormatState(const State& state) {
  std::string text = std::string(kMagic) + " " + std::to_string(kVersion) + "\n";
  text += "# Written by tornak-sim and the simulated libraries; strings quoted, other bytes as %XX.\n";
  text += "next-handle " + std::to_string(state.nextHandle) + "\n";
  text += Counts("opens", state.opens);
  text += Counts("closes", state.closes);
  for (const Bridge& bridge : state.bridges) FormatBridge(bridge, text);
  for (const Failure& failure : state.failures) {
    text += "failure " + failure.operation + " " + StatusText(failure.status);
    if (failure.generation) text += " " + std::string(GenerationName(*failure.generation));
    text += "\n";
  }
  for (const OpenHandle& handle : state.handles)
    text += "handle " + Hex64(handle.value) + " " + std::string(GenerationName(handle.generation)) + " " +
            (handle.bridge.empty() ? std::string("-") : handle.bridge) + "\n";
  text += std::string(kEndOfState) + "\n";
  return text;
}

MalformedState::MalformedState(std::string file, int line, std::string problem)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + problem),
      file_(std::move(file)),
      line_(line),
      problem_(std::move(problem)) {}

State ParseState(std::string_view text, const std::string& fileName) { return Parser(text, fileName).Parse(); }

}  // namespace tornak::sim
