#pragma once

#include <windows.h>

#include "system/unique_handle.hpp"

// The owners of the Windows handles this code holds, for the Windows halves and window/.
namespace tornak {

// CreateFileW and FindFirstFileW spell "nothing" INVALID_HANDLE_VALUE (-1); the rest spell it null.
using UniqueFile = UniqueHandle<HANDLE, CloseHandle, -1>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueFind = UniqueHandle<HANDLE, FindClose, -1>;
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;
using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalFree>;
using UniqueGlobalMemory = UniqueHandle<HGLOBAL, GlobalFree>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenu>;
using UniqueAccelerators = UniqueHandle<HACCEL, DestroyAcceleratorTable>;
using UniqueDeviceNotification = UniqueHandle<HDEVNOTIFY, UnregisterDeviceNotification>;
// FindFirstChangeNotificationW, like CreateFileW, spells "nothing" INVALID_HANDLE_VALUE.
using UniqueChangeNotification = UniqueHandle<HANDLE, FindCloseChangeNotification, -1>;

}  // namespace tornak
