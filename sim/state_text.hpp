#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/state.hpp"

namespace tornak::sim {

// The state file's text, version 1:
//
//   tornak-sim-state 1
//   next-handle 3
//   opens new 2 old 0
//   closes new 1 old 0
//   bridge bridge1
//   seen new
//   vid 10C4
//   pid EA60
//   pending-pid EA61
//   serial "0001"
//   product "CP2102 USB to UART Bridge Controller"
//   list-serial "0001"
//   list-description "CP2102 USB to UART Bridge Controller"
//   list-path "\\?\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"
//   serial-length 200
//   unterminated list-serial list-path
//   reenumeration-ms 300
//   away-until 1745000000000
//   end
//   failure CP210x_Open 0x00005304 new
//   handle 7E5700000002 new bridge1
//   end-of-state
//
// In a bridge block pending-vid, pending-pid, serial-length, product-length, unterminated,
// reenumeration-ms and away-until are optional. A failure without a generation applies to both; a handle whose bridge was
// detached names the bridge "-". Blank lines and lines starting with '#' are ignored. The
// closing line makes a cut-off file fail to parse instead of reading as a smaller state.
std::string FormatState(const State& state);

// What is wrong with a state file, and where.
class MalformedState : public std::runtime_error {
 public:
  MalformedState(std::string file, int line, std::string problem);

  const std::string& File() const noexcept { return file_; }
  int Line() const noexcept { return line_; }
  const std::string& Problem() const noexcept { return problem_; }

 private:
  std::string file_;
  int line_;
  std::string problem_;
};

// Throws MalformedState naming `fileName` and the first line found wrong.
State ParseState(std::string_view text, const std::string& fileName);

}  // namespace tornak::sim
