#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/state/state.hpp"

namespace tornak::sim {

// The simulated PC's driver packages as Windows keeps installed ones: one WIN4 INF per identity
// in the Windows folder's INF folder, named as installed packages are (oem*.inf), with models for
// 32-bit and 64-bit Windows. The text comes from driver_package.inf.in, with the identity's VID
// and PID (four hex digits) in place of @VID@ and @PID@; scripts/wine-env makes it so too, for
// each button's identity in a new Wine prefix.

// "oem0429260001.inf" for 10C4:EA61: oem, then the VID and the PID in five decimal digits each
std::string DriverPackageFileName(UsbId id);
std::string DriverPackageInf(UsbId id);

// The identities the window's buttons write (identity/presets.hpp): a new Wine prefix and the
// empty state have a driver package for each.
std::vector<UsbId> PresetIds();

// Writes the INF for `id` into `folder` in one step (a reader never sees part of it), or removes
// it; a missing one is removed already. Both give the file's path. Throw StateIoError or
// std::filesystem::filesystem_error.
std::string WriteDriverPackage(const std::string& folder, UsbId id);
std::string RemoveDriverPackage(const std::string& folder, UsbId id);

}  // namespace tornak::sim
