#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/state/state.hpp"

namespace tornak::sim {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// tornak-sim, given the arguments after the program name; returns the exit code. Results go to
// `out`, complaints to `err`.
int RunTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// What `show` prints (show.cpp): the state as a person reads it at `now`, every bridge with all its
// fields, pending IDs and time away included, the injected failures, the open handles and the
// opens and closes per generation.
void ShowState(std::ostream& out, const std::string& path, bool fileExists, const State& state, std::int64_t now);
// Its part on driver packages, which `packages` prints too: whether each button's identity, each
// bridge's and each without a package has one, and which bridges have no driver.
void ShowDriverPackages(std::ostream& out, const State& state);

}  // namespace tornak::sim
