#include <windows.h>
#include <shellapi.h>

#include <iostream>

#include "sim/tool/tool.hpp"
#include "system/handles_win.hpp"
#include "system/text_conversions_win.hpp"

// main's argv is in the ANSI code page, which loses whatever it cannot show; the wide command
// line has every character of a path or string argument.
int main() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  const tornak::UniqueLocalMemory owner(wide);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) arguments.push_back(tornak::WideToUtf8(wide[i]));
  return tornak::sim::RunTool(arguments, std::cout, std::cerr);
}
