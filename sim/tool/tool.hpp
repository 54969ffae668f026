#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tornak::sim {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// tornak-sim, given the arguments after the program name; returns the exit code. Results go to
// `out`, complaints to `err`.
int RunTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace tornak::sim
