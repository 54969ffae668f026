#pragma once

#include <cstdint>

namespace tornak {

// What the probe and the identity rewrite share between events. All zero at start.
struct BridgeState {
  // Device count written by the last count query of either routine.
  std::int32_t NumDevices = 0;
  // Handle slot written by the open calls. -1 after window load and after a failed probe
  // through the new generation; otherwise it keeps the value of the handle last opened (and
  // already closed), which the library never makes -1. Pointer-wide, like the handle itself.
  std::intptr_t DeviceHandle = 0;
  // True after a probe succeeded through the new generation, false after one through the old.
  bool NewDriverActive = false;
};

}  // namespace tornak
