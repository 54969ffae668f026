#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/state/state.hpp"

namespace tornak::sim {

// The state file's text: JSON, one object.
//
//   {
//     "tornak-sim-state": 2,
//     "bridges": [
//       {
//         "name": "bridge1", "seen": "new", "vid": "10C4", "pid": "EA60", "pending_pid": "EA61",
//         "serial": "0001", "product": {"hex": "4B6176FF"},
//         "list": {"serial": "0001", "description": "...", "path": "\\\\?\\usb#vid_10c4&pid_ea60#..."},
//         "serial_length": 200, "unterminated": ["path"], "reenumeration_ms": 300,
//         "away_until": 1745000000000
//       }
//     ],
//     "failures": [{"operation": "CP210x_Open", "status": "0x00005304", "generation": "new"}],
//     "handles": [{"value": "7E5700000002", "generation": "new", "bridge": "bridge1"}],
//     "opens": {"new": 2, "old": 0}, "closes": {"new": 1, "old": 0}, "next_handle": 3
//   }
//
// A string of printable ASCII is kept as it is; any other, {"hex": ...} of its bytes, so that
// every byte string survives exactly. A bridge's pending IDs, reported lengths, unterminated list
// strings and time away are there only when set; a failure without a generation applies to both;
// a handle whose bridge went away has "bridge": null. A cut-off file is not JSON, and so fails.
std::string FormatState(const State& state);

// What is wrong with a state file: the field at fault (bridges[0].vid) or the place in the text,
// and what.
class MalformedState : public std::runtime_error {
 public:
  MalformedState(const std::string& file, const std::string& problem)
      : std::runtime_error(file + ": " + problem), file_(file), problem_(problem) {}

  const std::string& File() const noexcept { return file_; }
  const std::string& Problem() const noexcept { return problem_; }

 private:
  std::string file_;
  std::string problem_;
};

// Throws MalformedState naming `fileName`.
State ParseState(std::string_view text, const std::string& fileName);

// The forms of the file's values, shared with the command line. One to `maxDigits` hex digits,
// no sign or prefix:
std::optional<std::uint64_t> ParseHex(std::string_view text, std::size_t maxDigits);
// A VID or PID: one to four hex digits, "0x" allowed.
std::optional<std::uint16_t> ParseId(std::string_view text);
// "41ff00" -> the three bytes 0x41 0xFF 0x00; an even number of digits.
std::optional<std::string> BytesFromHex(std::string_view hex);
// A status: signed decimal, or "0x" and up to eight hex digits giving its bits.
std::optional<CP210x_STATUS> ParseStatus(std::string_view text);
std::string StatusText(CP210x_STATUS status);  // "0x" and eight hex digits

}  // namespace tornak::sim
