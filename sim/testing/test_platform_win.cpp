#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

#include <stdexcept>

#include "sim/testing/test_support.hpp"
#include "system/handles_win.hpp"
#include "system/program_folder.hpp"
#include "system/text_conversions_win.hpp"

namespace tornak::sim::test {
namespace {

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

LRESULT CALLBACK WatcherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED) {
    auto* times = reinterpret_cast<std::vector<unsigned long>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (times != nullptr) times->push_back(static_cast<unsigned long>(GetMessageTime()));
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Utf8ToWide(name).c_str(), Utf8ToWide(value).c_str());
}

void UnsetEnvironment(const std::string& name) { SetEnvironmentVariableW(Utf8ToWide(name).c_str(), nullptr); }

std::string ProgramFolder() {
  const std::wstring folder = tornak::ProgramFolder();
  if (folder.empty()) throw std::runtime_error("cannot find the test program's folder");
  return WideToUtf8(folder);
}

std::string ExecutableName(const std::string& stem) { return stem + ".exe"; }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = Quoted(Utf8ToWide(program));
  for (const std::string& argument : arguments) commandLine += L" " + Quoted(Utf8ToWide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(Utf8ToWide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    throw std::runtime_error("cannot start " + program + ": " + SystemErrorText(GetLastError()));
  const UniqueKernelHandle thread(info.hThread);
  process_.Reset(info.hProcess);
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait();
}

void ReleaseProcess(void* process) noexcept { CloseHandle(static_cast<HANDLE>(process)); }

int ChildProcess::Wait() {
  if (waited_) return exitCode_;
  WaitForSingleObject(process_.Get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process_.Get(), &code);
  waited_ = true;
  exitCode_ = static_cast<int>(code);
  return exitCode_;
}

AnnouncementWatcher::AnnouncementWatcher() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WatcherProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TornakSimAnnouncementWatcher";
  RegisterClassW(&windowClass);  // fails harmlessly the second time
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (window == nullptr) throw std::runtime_error("cannot create the watcher window: " + SystemErrorText(GetLastError()));
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&times_));
  window_ = window;
}

AnnouncementWatcher::~AnnouncementWatcher() { DestroyWindow(static_cast<HWND>(window_)); }

std::vector<unsigned long> AnnouncementWatcher::Await(std::size_t count, int milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (times_.size() >= count || GetTickCount() - start >= static_cast<DWORD>(milliseconds)) return times_;
    Sleep(10);
  }
}

bool LibraryLoaded(const std::string& fileName) { return GetModuleHandleW(Utf8ToWide(fileName).c_str()) != nullptr; }

std::optional<std::vector<std::string>> InfLine(const std::string& path, const std::string& section,
                                                const std::string& key) {
  const UniqueHandle<HINF, SetupCloseInfFile, -1> inf(
      SetupOpenInfFileW(Utf8ToWide(path).c_str(), nullptr, INF_STYLE_WIN4, nullptr));
  if (!inf) return std::nullopt;
  INFCONTEXT line{};
  const std::wstring wideSection = Utf8ToWide(section);
  const std::wstring wideKey = Utf8ToWide(key);
  if (!SetupFindFirstLineW(inf.Get(), wideSection.c_str(), key.empty() ? nullptr : wideKey.c_str(), &line))
    return std::nullopt;
  std::vector<std::string> fields;
  for (DWORD field = 0; field <= SetupGetFieldCount(&line); ++field) {
    wchar_t text[512];
    if (!SetupGetStringFieldW(&line, field, text, 512, nullptr)) return std::nullopt;
    fields.push_back(WideToUtf8(text));
  }
  return fields;
}

}  // namespace tornak::sim::test
