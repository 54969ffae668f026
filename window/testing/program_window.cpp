#include "window/testing/program_window.hpp"

#include <algorithm>

#include "window/layout.hpp"

namespace tornak::testing {

std::wstring ClassOf(HWND window) {
  wchar_t name[64]{};
  GetClassNameW(window, name, 64);
  return name;
}

std::vector<HWND> WindowsOfProcess(DWORD processId, const wchar_t* className, bool visibleOnly) {
  struct Search {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    std::vector<HWND> found;
  } search{processId, className, visibleOnly, {}};
  EnumWindows(
      [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
        auto& s = *reinterpret_cast<Search*>(parameter);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == s.processId && (!s.visibleOnly || IsWindowVisible(window)) && ClassOf(window) == s.className)
          s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::optional<std::wstring> TryReadOut(HWND programWindow, std::string_view name, DWORD waitMs) {
  // Asked of the control with one message rather than read from the system's copy of its text:
  // the answer then comes between two of the program's events, never from the middle of a probe
  // that has cleared the read-outs and not yet filled them. The longest read-out, the summary
  // line, is three list strings of at most 256 characters.
  std::wstring text(4096, L'\0');
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(GetDlgItem(programWindow, ControlId(name)), WM_GETTEXT, text.size(),
                           reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, waitMs, &length))
    return std::nullopt;
  text.resize(std::min<std::size_t>(length, text.size()));
  return text;
}

std::wstring ReadOut(HWND programWindow, std::string_view name) {
  return TryReadOut(programWindow, name, 10000).value_or(std::wstring{});
}

bool Press(HWND programWindow, std::string_view name) {
  HWND button = GetDlgItem(programWindow, ControlId(name));
  if (button == nullptr) return false;
  // Not sent with a timeout: Wine takes a sent message back out of the queue when its timeout
  // passes before the window got to it, and a busy moment would lose the press. Queued instead,
  // and followed by a message that comes back once the press is over or a box's own loop runs.
  if (!SendNotifyMessageW(button, BM_CLICK, 0, 0)) return false;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(button, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
  return true;
}

ProgramProcess::~ProgramProcess() {
  if (Alive()) {
    TerminateProcess(process_.Get(), 99);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

bool ProgramProcess::Start(const std::wstring& path) {
  if (process_) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  const UniqueKernelHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  id_ = info.dwProcessId;
  return true;
}

bool ProgramProcess::Alive() const {
  return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool ProgramProcess::Owns(HWND window) const {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process_ && process == id_;
}

HWND ProgramProcess::MainWindow() const {
  // The window is created hidden while the first probe runs; look for it among all of them.
  if (!process_) return nullptr;
  const std::vector<HWND> windows = WindowsOfProcess(id_, kWindowClassName, false);
  return windows.empty() ? nullptr : windows.back();
}

std::optional<DWORD> ProgramProcess::Close(DWORD waitMs) {
  if (!process_) return std::nullopt;
  if (HWND window = MainWindow()) PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process_.Get(), waitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process_.Get(), &code) &&
      code != STILL_ACTIVE)
    return code;
  TerminateProcess(process_.Get(), 99);
  WaitForSingleObject(process_.Get(), 5000);
  return std::nullopt;
}

}  // namespace tornak::testing
