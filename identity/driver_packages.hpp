#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "convert/text.hpp"
#include "identity/presets.hpp"

// What this PC's installed driver packages say about the identities the buttons write, and what
// each button's tooltip tells from that. Portable: the packages are read on Windows
// (window/driver_package_reader.cpp), the rest is tested natively too.
namespace tornak {

// One installed driver package, as its INF describes itself.
struct DriverPackage {
  Text originalName;   // the INF's name before it was installed ("silabser.inf"); empty when unknown
  Text installedName;  // its name in the Windows folder's INF folder ("oem12.inf")
  Text provider;       // [Version] Provider, its %strkey% resolved
  Text className;      // [Version] Class
  Text version;        // [Version] DriverVer's version
  Text date;           // [Version] DriverVer's date, as the INF writes it (month/day/year)
  friend bool operator==(const DriverPackage&, const DriverPackage&) = default;
};

// What the installed packages say about one identity.
struct IdentityPackages {
  // False when the folder, or a package that might have named the identity, could not be read
  // and no package read names it: then nobody can say whether Windows would find a driver.
  bool checked = false;
  // The packages whose models for this Windows name the identity, in the folder's order.
  std::vector<DriverPackage> packages;
};

// One entry per preset of kIdentityPresets, in its order.
using PackageSurvey = std::array<IdentityPackages, kIdentityPresets.size()>;

// Whether two texts are the same but for the case of ASCII letters, as Windows compares hardware
// IDs, file names and INF decorations.
bool SameIgnoringCase(std::u16string_view a, std::u16string_view b);

// The hardware ID the bridge has under a preset's identity: USB\VID_10C4&PID_EA61.
Text HardwareIdOf(const IdentityPreset& preset);

// Whether a hardware ID from a model line names the preset's identity: the same ID, or the same
// with a revision ("&REV_0100"), compared without regard to case as Windows compares them.
// "USB\VID_10C4&PID_EA6" names none of them.
bool NamesIdentity(std::u16string_view hardwareId, const IdentityPreset& preset);

// What the window knows when a preset button's tooltip is about to tell.
struct PresetTipFacts {
  bool singleBridge = false;       // the last count found exactly one bridge: a press writes into it
  bool bridgeHasIdentity = false;  // the bridge shown has the preset's vendor and product IDs now
  const IdentityPackages* packages = nullptr;  // null until the packages have been read once
};

// The text of a preset button's tooltip, lines ended by CR LF.
Text PresetTipText(const IdentityPreset& preset, const PresetTipFacts& facts);

}  // namespace tornak
