// ParseState on arbitrary bytes. The one fault it may raise is MalformedState, naming the file
// and a problem. A state it accepts must survive the round trip: FormatState's text parses to
// the same state and formats to the same text again. A text cut short of its last character, as
// a torn read would leave it, must be rejected.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "sim/state/state_file.hpp"

namespace {

using tornak::sim::MalformedState;
using tornak::sim::ParseState;
using tornak::sim::State;

const std::string kFile = "state.json";

std::optional<State> Parse(std::string_view text) {
  try {
    return ParseState(text, kFile);
  } catch (const MalformedState& malformed) {
    // Names the file, then what is wrong with it.
    if (std::string(malformed.what()).rfind(kFile + ": ", 0) != 0 || kFile.size() + 2 == std::strlen(malformed.what()))
      std::abort();
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<State> state = Parse(text);
  if (!state) return 0;

  const std::string formatted = FormatState(*state);
  const std::optional<State> again = Parse(formatted);
  if (!again || *again != *state) std::abort();
  if (FormatState(*again) != formatted) std::abort();

  // A torn read: the text cut somewhere before its last character that is not white space.
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  if (last != std::string::npos && Parse(std::string_view(text).substr(0, (size * 7919) % (last + 1))))
    std::abort();
  return 0;
}
