#include <windows.h>

#include <stdexcept>

#include "sim/platform.hpp"
#include "sim/tests/test_support.hpp"

namespace tornak::sim::test {
namespace {

using platform::Wide;

// Quoted as CommandLineToArgvW reads it back: backslashes double only before a quote.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
}

void UnsetEnvironment(const std::string& name) { SetEnvironmentVariableW(Wide(name).c_str(), nullptr); }

std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) throw std::runtime_error("cannot find the test program's folder");
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  const int size = WideCharToMultiByte(CP_UTF8, 0, folder.data(), static_cast<int>(folder.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, folder.data(), static_cast<int>(folder.size()), narrow.data(), size, nullptr,
                      nullptr);
  return narrow;
}

std::string ExecutableName(const std::string& stem) { return stem + ".exe"; }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = Quoted(Wide(program));
  for (const std::string& argument : arguments) commandLine += L" " + Quoted(Wide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  CloseHandle(info.hThread);
  process_ = info.hProcess;
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait();
  CloseHandle(static_cast<HANDLE>(process_));
}

int ChildProcess::Wait() {
  if (waited_) return exitCode_;
  WaitForSingleObject(static_cast<HANDLE>(process_), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
  waited_ = true;
  exitCode_ = static_cast<int>(code);
  return exitCode_;
}

}  // namespace tornak::sim::test
