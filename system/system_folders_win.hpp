#pragma once

#include <string>

// The folders Windows keeps its own files in, with a trailing separator; empty when the system
// cannot tell. Libraries of the system are loaded from there by full path, never by a bare name.
namespace tornak {

// C:\Windows\System32\, as GetSystemDirectoryW names it (32-bit code on 64-bit Windows is
// redirected to SysWOW64 when it opens a file there).
std::wstring SystemFolder();
// C:\Windows\, as GetWindowsDirectoryW names it (a folder of the user's own on a terminal server).
std::wstring WindowsFolder();
// C:\Windows\ as all users share it (GetSystemWindowsDirectoryW), where Windows keeps the installed
// driver packages, also on a terminal server.
std::wstring SharedWindowsFolder();

}  // namespace tornak
