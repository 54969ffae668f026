#include <windows.h>
#include <shellapi.h>

#include "sim/tool/tool.hpp"

namespace tornak::sim {

// main's argv is in the ANSI code page, which loses whatever it cannot show; the wide command
// line has every character of a path or string argument.
std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const int length = static_cast<int>(wcslen(wide[i]));
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], length, nullptr, 0, nullptr, nullptr);
    std::string argument(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], length, argument.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(argument));
  }
  if (wide != nullptr) LocalFree(wide);
  return arguments;
}

}  // namespace tornak::sim
