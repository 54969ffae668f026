#include <algorithm>

#include "sim/tool/tool.hpp"

namespace tornak::sim {

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv + std::min(argc, 1), argv + argc}; }

}  // namespace tornak::sim
