#include <windows.h>
#include <shellapi.h>

#include "sim/tool/tool.hpp"
#include "system/handles_win.hpp"
#include "system/windows_text.hpp"

namespace tornak::sim {

// main's argv is in the ANSI code page, which loses whatever it cannot show; the wide command
// line has every character of a path or string argument.
std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  const UniqueLocalMemory owner(wide);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
  return arguments;
}

}  // namespace tornak::sim
