#include "system/system_folders_win.hpp"

#include <windows.h>

namespace tornak {
namespace {

std::wstring Folder(UINT (*query)(wchar_t*, UINT)) {
  wchar_t buffer[MAX_PATH];
  const UINT length = query(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(buffer, length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

UINT QuerySystemFolder(wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }
UINT QueryWindowsFolder(wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); }
UINT QuerySharedWindowsFolder(wchar_t* buffer, UINT size) { return GetSystemWindowsDirectoryW(buffer, size); }

}  // namespace

std::wstring SystemFolder() { return Folder(QuerySystemFolder); }
std::wstring WindowsFolder() { return Folder(QueryWindowsFolder); }
std::wstring SharedWindowsFolder() { return Folder(QuerySharedWindowsFolder); }

}  // namespace tornak
