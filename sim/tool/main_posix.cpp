#include <algorithm>
#include <iostream>

#include "sim/tool/tool.hpp"

int main(int argc, char** argv) {
  return tornak::sim::RunTool({argv + std::min(argc, 1), argv + argc}, std::cout, std::cerr);
}
