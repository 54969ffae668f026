#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <string>

#include "sim/platform.hpp"

namespace tornak::sim::platform {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

namespace {

std::string Narrow(const wchar_t* text, int length) {
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = Narrow(buffer, static_cast<int>(length));
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

// Another process may hold the file for a moment (a reader, a virus scanner, the replace
// itself); these are the errors that then come back and go away on their own.
bool IsPassing(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

constexpr int kPassingRetries = 100;
constexpr int kRetryPauseMilliseconds = 10;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE Get() const noexcept { return handle_; }
  bool Close() {
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wideName = Wide(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size <= 1) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  return Narrow(value.data(), static_cast<int>(length));
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  const std::wstring widePath = Wide(path);
  for (int attempt = 0;; ++attempt) {
    // Sharing delete as well lets a writer rename its new file over this one while we read.
    FileHandle file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
      if (IsPassing(error) && attempt < kPassingRetries) {
        Sleep(kRetryPauseMilliseconds);
        continue;
      }
      throw StateIoError("open", path, ErrorText(error));
    }
    std::string bytes;
    char chunk[4096];
    for (;;) {
      DWORD count = 0;
      if (!ReadFile(file.Get(), chunk, sizeof chunk, &count, nullptr))
        throw StateIoError("read", path, ErrorText(GetLastError()));
      if (count == 0) return bytes;
      bytes.append(chunk, count);
    }
  }
}

void WriteNewFile(const std::string& path, const std::string& bytes) {
  FileHandle file(
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) throw StateIoError("create", path, ErrorText(GetLastError()));
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD count = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
    if (!WriteFile(file.Get(), bytes.data() + written, chunk, &count, nullptr))
      throw StateIoError("write", path, ErrorText(GetLastError()));
    written += count;
  }
  if (!file.Close()) throw StateIoError("write", path, ErrorText(GetLastError()));
}

void RenameOver(const std::string& from, const std::string& to) {
  const std::wstring wideFrom = Wide(from);
  const std::wstring wideTo = Wide(to);
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    const DWORD error = GetLastError();
    if (!IsPassing(error) || attempt >= kPassingRetries) throw StateIoError("replace", to, ErrorText(error));
    Sleep(kRetryPauseMilliseconds);
  }
}

void RemoveFile(const std::string& path) noexcept { DeleteFileW(Wide(path).c_str()); }

void MakeFolders(const std::string& path) noexcept {
  for (std::size_t separator = path.find_first_of("/\\", 1); separator != std::string::npos;
       separator = path.find_first_of("/\\", separator + 1))
    CreateDirectoryW(Wide(path.substr(0, separator)).c_str(), nullptr);
  CreateDirectoryW(Wide(path).c_str(), nullptr);
}

bool MakeFolder(const std::string& path) {
  if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return false;
  // A folder being removed by its last holder can refuse a new one for a moment.
  if (IsPassing(error)) return false;
  throw StateIoError("create folder", path, ErrorText(error));
}

void RemoveFolder(const std::string& path) noexcept { RemoveDirectoryW(Wide(path).c_str()); }

std::optional<double> SecondsSinceModified(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& time) {
    return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  return static_cast<double>(ticks(now) - ticks(data.ftLastWriteTime)) / 1e7;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

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

}  // namespace tornak::sim::platform
