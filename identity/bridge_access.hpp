#pragma once

#include <cstdint>

#include "cp210x/cp210x.hpp"
#include "identity/bridge_state.hpp"

namespace tornak {

// The count query; true when it succeeded and found exactly one bridge. Writes NumDevices; a
// query that fails without writing leaves the previous count in place.
inline bool CountOneBridge(Cp210x& library, BridgeState& state) {
  auto count = static_cast<std::uint32_t>(state.NumDevices);
  const CP210x_STATUS status = library.CP210x_GetNumDevices(&count);
  state.NumDevices = static_cast<std::int32_t>(count);
  return Succeeded(status) && state.NumDevices == 1;
}

// The library's handle as the DeviceHandle slot keeps it.
inline CP210x_HANDLE SlotHandle(const BridgeState& state) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the slot keeps the library's handle as an integer.
  return reinterpret_cast<CP210x_HANDLE>(state.DeviceHandle);
}

// Opens device 0 into the DeviceHandle slot; true when the open succeeded.
inline bool OpenBridge(Cp210x& library, BridgeState& state) {
  CP210x_HANDLE handle = SlotHandle(state);
  const CP210x_STATUS status = library.CP210x_Open(0, &handle);
  state.DeviceHandle = reinterpret_cast<std::intptr_t>(handle);
  return Succeeded(status);
}

// Closes an open device when a fault unwinds past it, so that no handle outlives the event
// that opened it. Normal paths Release() the guard and then close the device themselves, in
// their own order; a guard still armed when it goes can only be leaving by a fault.
class CloseOnFault {
 public:
  CloseOnFault(Cp210x& library, CP210x_HANDLE handle) : library_(library), handle_(handle) {}
  CloseOnFault(const CloseOnFault&) = delete;
  CloseOnFault& operator=(const CloseOnFault&) = delete;

  ~CloseOnFault() {
    if (!armed_) return;
    try {
      library_.CP210x_Close(handle_);
    } catch (...) {
      // The fault already on its way is the one to report; a second one from the close
      // (its entry point missing too, say) would only hide it.
    }
  }

  void Release() noexcept { armed_ = false; }

 private:
  Cp210x& library_;
  CP210x_HANDLE handle_;
  bool armed_ = true;
};

}  // namespace tornak
