#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "vendor/library_image.hpp"
#include "vendor/shared_library.hpp"

namespace tornak::platform {
namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

// The system's text for an error, about the library at `path`. Some texts have a place for the
// file's name ("Bad EXE format for %1."), which FormatMessage cannot fill without knowing how
// many more places there are; the name goes in afterwards. No closing full stop: the window
// puts the detail into a sentence of its own.
std::string SystemMessage(DWORD error, const std::wstring& path) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) {
    text = Narrow(std::wstring(buffer, length));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  }
  if (buffer != nullptr) LocalFree(buffer);
  if (text.empty()) text = "error " + std::to_string(error);
  const std::string name = Narrow(path.substr(path.find_last_of(L"\\/") + 1));
  for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + name.size()))
    text.replace(at, 2, name);
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::wstring Directory(DWORD (*query)(wchar_t*, UINT)) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = query(buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring{};
}

DWORD SystemDirectory(wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }
DWORD WindowsDirectory(wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); }

std::wstring ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/"));
}

bool IsAbsolute(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The standard search order without the current directory: the program's folder, the system
// folders, then the absolute folders on PATH (a relative PATH entry is the current directory
// again). Wine does not take the current directory out of LoadLibrary's own search, so the
// program searches by itself and loads by full path. Empty when the file is nowhere.
std::wstring FindLibrary(const std::wstring& fileName) {
  if (IsAbsolute(fileName)) return IsFile(fileName) ? fileName : std::wstring{};
  std::vector<std::wstring> folders = {ProgramDirectory(), Directory(SystemDirectory), Directory(WindowsDirectory)};
  const DWORD pathLength = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (pathLength > 0) {
    std::wstring path(pathLength, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), pathLength));
    std::size_t start = 0;
    while (start <= path.size()) {
      const std::size_t end = std::min(path.find(L';', start), path.size());
      folders.push_back(path.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const std::wstring& folder : folders) {
    if (!IsAbsolute(folder)) continue;
    const wchar_t last = folder.back();
    const std::wstring candidate = folder + (last == L'\\' || last == L'/' ? L"" : L"\\") + fileName;
    if (IsFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace

LoadOutcome OpenLibrary(const std::string& fileName) {
  // An empty DLL directory keeps the current directory out of the search for the library's own
  // dependencies; the library itself is looked up below, by full path.
  SetDllDirectoryW(L"");
  const std::wstring path = FindLibrary(Widen(fileName));
  if (path.empty()) return {nullptr, FaultKind::LibraryNotFound, {}};
  // No "bad image" boxes from the loader itself: the window reports the fault.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  DWORD error = GetLastError();
  SetErrorMode(previousMode);
  if (module != nullptr) return {reinterpret_cast<void*>(module), {}, {}};
  std::string reason = ExplainLibraryFile(path, 8 * static_cast<int>(sizeof(void*)));
  if (reason.empty()) reason = SystemMessage(error, path);
  return {nullptr, FaultKind::LibraryNotLoadable, reason};
}

SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name) {
  return reinterpret_cast<SharedLibrary::EntryAddress>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseLibrary(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace tornak::platform
