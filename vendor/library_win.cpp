#include <windows.h>

#include <string>

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

std::string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) {
    int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), size, nullptr, nullptr);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  }
  if (buffer != nullptr) LocalFree(buffer);
  if (text.empty()) text = "error " + std::to_string(error);
  return text;
}

}  // namespace

LoadOutcome OpenLibrary(const std::string& fileName) {
  // An empty DLL directory takes the current directory out of the search, so a file of the
  // same name planted there is never loaded; the program's folder, the system folders and
  // PATH are still searched.
  SetDllDirectoryW(L"");
  // No "insert the disk" or "bad image" boxes from the loader itself: the window reports it.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryW(Widen(fileName).c_str());
  DWORD error = GetLastError();
  SetErrorMode(previousMode);
  if (module != nullptr) return {reinterpret_cast<void*>(module), {}, {}};
  if (error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return {nullptr, FaultKind::LibraryNotFound, {}};
  if (error == ERROR_BAD_EXE_FORMAT)
    return {nullptr, FaultKind::LibraryNotLoadable,
            "it is not a library this program can use (not a library, or built for another processor)"};
  return {nullptr, FaultKind::LibraryNotLoadable, SystemMessage(error)};
}

SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name) {
  return reinterpret_cast<SharedLibrary::EntryAddress>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseLibrary(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace tornak::platform
