#include "identity/driver_packages.hpp"

#include <algorithm>
#include <cstddef>

namespace tornak {
namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::u16string_view kRevision = u"&REV_";
constexpr std::size_t kRevisionDigits = 4;

constexpr std::u16string_view kNoSingleBridge = u"No single bridge: a press writes nothing.";
constexpr std::u16string_view kPackagesFound = u"Driver packages on this PC for this ID:";
constexpr std::u16string_view kNoPackage =
    u"No driver package on this PC names this ID. Windows looks on Windows Update only if the PC is online and "
    u"allowed to. Until a driver is installed the bridge has no driver, tornak shows No device, and no button "
    u"here can switch it back.";
constexpr std::u16string_view kNotChecked = u"tornak could not check this PC's driver packages.";
constexpr std::u16string_view kHasIdentity = u"The bridge has this identity now";
constexpr std::u16string_view kWritesAgain = u"A press writes the same IDs again and resets it.";

// Hardware IDs are ASCII; Windows compares them without regard to case.
constexpr char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool IsHexDigit(char16_t c) {
  const char16_t upper = UpperAscii(c);
  return (upper >= u'0' && upper <= u'9') || (upper >= u'A' && upper <= u'F');
}

// "silabser.inf, installed as oem12.inf: Silicon Labs, class Ports, version 6.7.6.2130, dated 06/01/2026"
Text PackageLine(const DriverPackage& package) {
  Text line = u"  ";
  if (package.originalName.empty() || SameIgnoringCase(package.originalName, package.installedName)) {
    line += package.installedName + u" (original name not known)";
  } else {
    line += package.originalName + u", installed as " + package.installedName;
  }
  Text details;
  auto add = [&details](std::u16string_view label, const Text& value) {
    if (value.empty()) return;
    if (!details.empty()) details += u", ";
    details.append(label).append(value);
  };
  add(u"", package.provider);
  add(u"class ", package.className);
  add(u"version ", package.version);
  add(u"dated ", package.date);
  if (!details.empty()) line += u": " + details;
  return line;
}

void AppendPackageLines(Text& tip, const IdentityPackages& packages) {
  for (const DriverPackage& package : packages.packages) tip.append(kLineBreak).append(PackageLine(package));
}

// The bridge already answers to the preset's IDs: which package serves it, and what a press does.
Text SameIdentityTip(const PresetTipFacts& facts) {
  Text tip(kHasIdentity);
  const IdentityPackages* packages = facts.packages;
  if (packages == nullptr) {
    tip += u".";
  } else if (!packages->packages.empty()) {
    tip += packages->packages.size() == 1 ? u", served by this driver package:"
                                          : u"; one of these driver packages serves it:";
    AppendPackageLines(tip, *packages);
  } else if (packages->checked) {
    tip += u"; no driver package on this PC names this ID.";
  } else {
    tip.append(u".").append(kLineBreak).append(kNotChecked);
  }
  return tip.append(kLineBreak).append(kWritesAgain);
}

}  // namespace

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return UpperAscii(x) == UpperAscii(y); });
}

Text HardwareIdOf(const IdentityPreset& preset) {
  return Text(u"USB\\VID_") + kVendorIdText + u"&PID_" + Text(preset.pidText);
}

bool NamesIdentity(std::u16string_view hardwareId, const IdentityPreset& preset) {
  const Text id = HardwareIdOf(preset);
  if (hardwareId.size() == id.size()) return SameIgnoringCase(hardwareId, id);
  if (hardwareId.size() != id.size() + kRevision.size() + kRevisionDigits) return false;
  const std::u16string_view revision = hardwareId.substr(id.size());
  return SameIgnoringCase(hardwareId.substr(0, id.size()), id) &&
         SameIgnoringCase(revision.substr(0, kRevision.size()), kRevision) &&
         std::all_of(revision.begin() + static_cast<std::ptrdiff_t>(kRevision.size()), revision.end(), IsHexDigit);
}

Text PresetTipText(const IdentityPreset& preset, const PresetTipFacts& facts) {
  if (!facts.singleBridge) return Text(kNoSingleBridge);
  if (facts.bridgeHasIdentity) return SameIdentityTip(facts);
  Text tip = u"Writes product ID " + Text(preset.pidText) + u" and vendor ID " + kVendorIdText +
             u" into the bridge, then resets it; it returns as " + HardwareIdOf(preset) + u".";
  const IdentityPackages* packages = facts.packages;
  if (packages == nullptr) return tip;
  tip.append(kLineBreak);
  if (!packages->packages.empty()) {
    tip.append(kPackagesFound);
    AppendPackageLines(tip, *packages);
  } else {
    tip.append(packages->checked ? kNoPackage : kNotChecked);
  }
  return tip;
}

}  // namespace tornak
