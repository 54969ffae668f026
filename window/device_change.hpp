#pragma once

#include <windows.h>

#include "system/handles_win.hpp"

namespace tornak {

// Asks Windows to tell the window when a USB device interface comes or goes, on top of the
// device-node broadcasts every top-level window gets. Empty when the system declines; the
// broadcasts and the timer still bring the change then.
UniqueDeviceNotification RegisterForUsbDeviceInterfaces(HWND window);

// Whether a WM_DEVICECHANGE may mean that the bridge came, went or changed its identity.
bool AnnouncesDeviceChange(WPARAM event, LPARAM data);

}  // namespace tornak
