// ParseState on arbitrary text. The one fault it may raise is MalformedState, pointing at a
// line of the text. A text it accepts must survive the round trip: FormatState's text parses to
// the same state and formats to the same text again. A text without the closing line, such as
// any cut of an accepted one before that line, must be rejected; and Windows line ends must
// not change the outcome.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "sim/state_text.hpp"

namespace {

using tornak::sim::MalformedState;
using tornak::sim::ParseState;
using tornak::sim::State;

const std::string kFile = "state.txt";
constexpr std::string_view kClosing = "end-of-state";

struct Outcome {
  std::optional<State> state;
  int line = 0;
  std::string problem;
};

Outcome Parse(std::string_view text) {
  Outcome outcome;
  try {
    outcome.state = ParseState(text, kFile);
  } catch (const MalformedState& malformed) {
    const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (malformed.File() != kFile || malformed.Line() < 1 || malformed.Line() > lines || malformed.Problem().empty())
      std::abort();
    outcome.line = malformed.Line();
    outcome.problem = malformed.Problem();
  }
  return outcome;
}

std::string WithWindowsLineEnds(std::string_view text) {
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Outcome outcome = Parse(text);

  const std::size_t closing = text.find(kClosing);
  if (closing == std::string::npos && outcome.state) std::abort();

  // The parser drops one '\r' before each '\n'; on a text with none, adding them is invisible.
  if (text.find('\r') == std::string::npos) {
    const Outcome windows = Parse(WithWindowsLineEnds(text));
    if (windows.state != outcome.state || windows.line != outcome.line || windows.problem != outcome.problem)
      std::abort();
  }

  if (!outcome.state) return 0;

  const std::string formatted = FormatState(*outcome.state);
  const Outcome again = Parse(formatted);
  if (!again.state || *again.state != *outcome.state) std::abort();
  if (FormatState(*again.state) != formatted) std::abort();

  // A torn read: the text cut somewhere before its closing line.
  const std::size_t cut = closing == 0 ? 0 : (size * 7919) % closing;
  if (Parse(std::string_view(text).substr(0, cut)).state) std::abort();
  return 0;
}
