#pragma once

#include "convert/text.hpp"
#include "cp210x/cp210x.hpp"
#include "identity/bridge_state.hpp"
#include "identity/presets.hpp"

namespace tornak {

// Writes PidText (hexadecimal) and the vendor ID 0x10C4 into the one attached bridge, through
// the generation that answered the last successful probe, then resets and closes it. Does
// nothing when there is not exactly one bridge; a product ID of 0 writes nothing but still
// resets. Shows nothing: the next probe shows the outcome. Faults are not caught; one that
// comes while the device is open closes it first.
void ApplyIdentityPreset(const Text& PidText, BridgeState& state, const VendorLibraries& libraries);

}  // namespace tornak
