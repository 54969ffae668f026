#include <iostream>

#include "sim/tool/tool.hpp"

int main(int argc, char** argv) {
  return tornak::sim::RunTool(tornak::sim::ProgramArguments(argc, argv), std::cout, std::cerr);
}
