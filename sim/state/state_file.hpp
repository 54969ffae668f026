#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/state/state.hpp"

namespace tornak::sim {

// The state file's text: one JSON object, "tornak-sim-state": 2 first, then "bridges" (each
// with "name", "seen", "vid", "pid", "serial", "product" and "list": {"serial", "description",
// "path"}; "pending_vid", "pending_pid", "serial_length", "product_length", "unterminated",
// "reenumeration_ms" and "away_until" only when set), "failures" ({"operation", "status",
// "generation" unless both}), "handles" ({"value", "generation", "bridge", null once it went
// away}), "opens" and "closes" ({"new", "old"}), "next_handle", and "no_driver_package" (a list of
// identities such as "10C4:EA61") only when the simulated PC lacks some; without it, the PC has a
// driver package for every identity. IDs, statuses and handle
// values are hex strings; a byte string is plain text while it is printable ASCII, else
// {"hex": ...} of its bytes, so that every byte survives. A cut-off file is not JSON, and fails.
std::string FormatState(const State& state);

// What is wrong with a state file: the field at fault (bridges[0].vid) or the place in the text,
// and what.
class MalformedState : public std::runtime_error {
 public:
  MalformedState(const std::string& file, const std::string& problem) : std::runtime_error(file + ": " + problem) {}
};

// Throws MalformedState naming `fileName`.
State ParseState(std::string_view text, const std::string& fileName);

// The forms of the file's values, shared with the command line. The whole of `text` as a number
// in `base`: digits only, and a '-' only where Number has a sign.
template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}
// A byte that the file and `tornak-sim show` write as it is: printable ASCII.
constexpr bool PrintableAscii(char c) { return c >= 0x20 && c <= 0x7E; }
// A VID or PID: one to four hex digits, "0x" allowed.
std::optional<std::uint16_t> ParseId(std::string_view text);
// A USB identity: a VID and a PID as ParseId takes them, joined by ':' ("10C4:EA61").
std::optional<UsbId> ParseUsbId(std::string_view text);
std::string UsbIdText(UsbId id);  // "10C4:EA61"
// "41ff00" -> the three bytes 0x41 0xFF 0x00; an even number of digits.
std::optional<std::string> BytesFromHex(std::string_view hex);
// A status: signed decimal, or "0x" and up to eight hex digits giving its bits.
std::optional<CP210x_STATUS> ParseStatus(std::string_view text);
std::string StatusText(CP210x_STATUS status);  // "0x" and eight hex digits

}  // namespace tornak::sim
