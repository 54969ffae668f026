#pragma once

#include <windows.h>

#include "system/handles_win.hpp"

namespace tornak {

// How long the window waits after the last device-change message before it probes: Windows
// announces one plug as a burst (the device node, then each of its interfaces), and one probe
// after the burst sees it all.
inline constexpr UINT kDeviceChangeSettleMs = 50;


// Asks Windows to tell the window when a USB device interface comes or goes, on top of the
// device-node broadcasts every top-level window gets. Empty when the system declines; the
// broadcasts and the timer still bring the change then.
UniqueDeviceNotification RegisterForUsbDeviceInterfaces(HWND window);

// Whether a WM_DEVICECHANGE may mean that the bridge came, went or changed its identity.
bool AnnouncesDeviceChange(WPARAM event, LPARAM data);

}  // namespace tornak
