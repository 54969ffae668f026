#pragma once

#include "cp210x/cp210x.hpp"
#include "identity/bridge_state.hpp"
#include "identity/identity_display.hpp"

namespace tornak {

inline constexpr char16_t kNoDeviceText[] = u"No device";
inline constexpr char16_t kNewDriverText[] = u"New driver";
inline constexpr char16_t kOldDriverText[] = u"Old driver";
inline constexpr char16_t kSeveralBridgesWarning[] = u"Only one device supported!\r\nDisconnect all other Silabs-based.";

// What the read-outs show when they describe no bridge: the four value fields empty and
// DriverType "No device".
void ShowNoDevice(IdentityDisplay& display);

// Finds the attached bridge through the new library generation, falling back to the old one
// when that attempt fails, and writes what it reports into the display. Opens and closes the
// device within the call. Faults of the library binding and of the conversions are not
// caught; if one comes while the device is open, the device is closed first.
void RefreshDeviceInfo(BridgeState& state, const VendorLibraries& libraries, IdentityDisplay& display);

}  // namespace tornak
