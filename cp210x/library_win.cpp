#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cp210x/library_image.hpp"
#include "cp210x/shared_library.hpp"
#include "system/entry_point_win.hpp"
#include "system/handles_win.hpp"
#include "system/program_folder.hpp"
#include "system/system_folders_win.hpp"
#include "system/text_conversions_win.hpp"

namespace tornak::platform {
namespace {

// The system's text for an error, about the library at `path`. Some texts have a place for the
// file's name ("Bad EXE format for %1."); it goes in here. No closing full stop: the window puts
// the detail into a sentence of its own.
std::string SystemMessage(DWORD error, const std::wstring& path) {
  std::string text = SystemErrorText(error);
  const std::string name = WideToUtf8(path.substr(path.find_last_of(L"\\/") + 1));
  for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + name.size()))
    text.replace(at, 2, name);
  return text;
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
// folder, the 16-bit system folder (where older installers still put libraries), the Windows
// folder, then the absolute folders on PATH (a relative PATH entry is the current directory
// again). Wine does not take the current directory out of LoadLibrary's own search, so the
// program searches by itself and loads by full path. Empty when the file is nowhere.
std::wstring FindLibrary(const std::wstring& fileName) {
  if (IsAbsolute(fileName)) return IsFile(fileName) ? fileName : std::wstring{};
  const std::wstring windows = WindowsFolder();
  std::vector<std::wstring> folders = {ProgramFolder(), SystemFolder(), windows.empty() ? windows : windows + L"System",
                                       windows};
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
    std::wstring candidate = folder;
    if (candidate.back() != L'\\' && candidate.back() != L'/') candidate += L'\\';
    candidate += fileName;
    if (IsFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace

const bool kElfLibraries = false;

std::string LibraryFile(const std::string& stem) { return stem + ".dll"; }

LoadOutcome OpenLibrary(const std::string& fileName) {
  // An empty DLL directory keeps the current directory out of the search for the library's own
  // dependencies; the library itself is looked up below, by full path.
  SetDllDirectoryW(L"");
  const std::wstring path = FindLibrary(Utf8ToWide(fileName));
  if (path.empty()) return {{}, FaultKind::LibraryNotFound, {}};
  // No "bad image" boxes from the loader itself: the window reports the fault.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  DWORD error = GetLastError();
  SetErrorMode(previousMode);
  if (module != nullptr) return {UniqueLibrary(module), {}, {}};
  std::string reason = ExplainLibraryFile(path, 8 * static_cast<int>(sizeof(void*)));
  if (reason.empty()) reason = SystemMessage(error, path);
  return {{}, FaultKind::LibraryNotLoadable, reason};
}

SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name) {
  return EntryPointOf<SharedLibrary::EntryAddress>(static_cast<HMODULE>(module), name);
}

void CloseLibrary(void* module) noexcept { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace tornak::platform

namespace tornak {

// Shared for deleting too: the check must never stand in the way of a file being replaced.
std::string ExplainLibraryFile(const NativePath& path, int programBits) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string(kUnreadableLibrary);
  std::vector<std::uint8_t> header(kLibraryHeaderBytes);
  std::size_t filled = 0;
  DWORD count = 0;
  while (filled < header.size() &&
         ReadFile(file.Get(), header.data() + filled, static_cast<DWORD>(header.size() - filled), &count, nullptr) &&
         count > 0)
    filled += count;
  header.resize(filled);
  LARGE_INTEGER size{};
  std::optional<std::uintmax_t> fileSize;
  if (GetFileSizeEx(file.Get(), &size) && size.QuadPart >= 0) fileSize = static_cast<std::uintmax_t>(size.QuadPart);
  return ExplainLibraryImage(header, fileSize, programBits);
}

}  // namespace tornak
