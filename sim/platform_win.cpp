#include <windows.h>
#include <dbt.h>

#include <memory>
#include <new>
#include <string>

#include "sim/platform.hpp"
#include "system/entry_point_win.hpp"
#include "system/handles_win.hpp"
#include "system/system_folders_win.hpp"
#include "system/text_conversions_win.hpp"

namespace tornak::sim::platform {
namespace {

// Tries `attempt` until it succeeds; 0 then, else its last error. Another process may hold the
// file for a moment (a reader, a virus scanner, the replace itself): the errors that then come
// back go away on their own, and are tried again a while.
template <typename Attempt>
DWORD Retried(Attempt attempt) {
  for (int tries = 1;; ++tries) {
    if (attempt()) return 0;
    const DWORD error = GetLastError();
    const bool passing =
        error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
    if (!passing || tries > 100) return error;
    Sleep(10);
  }
}

// The module this code is linked into; `flags` as for GetModuleHandleExW.
HMODULE ThisModule(DWORD flags) {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags, reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// `milliseconds` is the thread's to delete, once it has waited them.
DWORD WINAPI AnnounceAfter(void* milliseconds) {
  Sleep(*std::unique_ptr<DWORD>(static_cast<DWORD*>(milliseconds)));
  AnnounceDeviceChange();
  FreeLibraryAndExitThread(ThisModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT), 0);
}

}  // namespace

const bool kWindows = true;

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wideName = Utf8ToWide(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size <= 1) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return WideToUtf8(std::wstring_view(value.data(), length));
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  const std::wstring widePath = Utf8ToWide(path);
  UniqueFile file;
  const DWORD error = Retried([&] {
    // Sharing delete as well lets a writer rename its new file over this one while we read.
    file.Reset(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
  });
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
  if (error != 0) throw StateIoError("open", path, SystemErrorText(error));
  std::string bytes;
  char chunk[4096];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file.Get(), chunk, sizeof chunk, &count, nullptr))
      throw StateIoError("read", path, SystemErrorText(GetLastError()));
    if (count == 0) return bytes;
    bytes.append(chunk, count);
  }
}

void RenameOver(const std::string& from, const std::string& to) {
  const std::wstring wideFrom = Utf8ToWide(from);
  const std::wstring wideTo = Utf8ToWide(to);
  const DWORD error = Retried([&] { return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING); });
  if (error != 0) throw StateIoError("replace", to, SystemErrorText(error));
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

std::optional<std::string> WineWindowsFolder() {
  // Wine's ntdll exports its version; Windows' has no such entry point.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (EntryPointOf(ntdll, "wine_get_version") == nullptr) return std::nullopt;
  const std::wstring folder = WindowsFolder();
  if (folder.empty()) return std::nullopt;
  return WideToUtf8(folder);
}

void AnnounceDeviceChange() noexcept {
  try {
    if (EnvironmentVariable(kQuietVariable)) return;
  } catch (...) {
    return;  // out of memory: no announcement, and the window's timer still shows the change
  }
  // Posted, not sent: the caller waits on no window, a hung one included, and a reset inside a
  // program's own button press does not re-enter that program's window procedure. The message
  // carries no pointer, so it may travel posted.
  PostMessageW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

void AnnounceDeviceChangeLater(std::uint32_t milliseconds) noexcept {
  // A reference of the thread's own to the module this code is in: the program may free the
  // library before the thread is done, and the thread lets go of it as its very last step.
  HMODULE self = ThisModule(0);
  if (self == nullptr) return;
  std::unique_ptr<DWORD> wait(new (std::nothrow) DWORD(milliseconds));
  const UniqueKernelHandle thread(wait ? CreateThread(nullptr, 0, AnnounceAfter, wait.get(), 0, nullptr) : nullptr);
  if (thread) static_cast<void>(wait.release());
  else FreeLibrary(self);
}

}  // namespace tornak::sim::platform
