#pragma once

#include <ostream>
#include <string>

#include "sim/state/state.hpp"

namespace tornak::sim {

// The state as a person reads it at `now`: every bridge with all its fields, pending IDs and time
// away included, the injected failures, the open handles and the opens and closes per generation.
void ShowState(std::ostream& out, const std::string& path, bool fileExists, const State& state, std::int64_t now);

}  // namespace tornak::sim
