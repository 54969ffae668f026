#include "window/device_change.hpp"

#include <dbt.h>

#include "window/carried_value.hpp"

namespace tornak {
namespace {

// GUID_DEVINTERFACE_USB_DEVICE, written out so that no GUID library is linked in for it.
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

UniqueDeviceNotification RegisterForUsbDeviceInterfaces(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kUsbDeviceInterface;
  return UniqueDeviceNotification(RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

bool AnnouncesDeviceChange(WPARAM event, LPARAM data) {
  if (event == DBT_DEVNODES_CHANGED) return true;
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return false;
  // Volumes and ports come and go too; only a device interface is the bridge's.
  const auto* header = CarriedIn<const DEV_BROADCAST_HDR*>(data);
  return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

}  // namespace tornak
