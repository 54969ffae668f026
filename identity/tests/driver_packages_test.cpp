// What the preset buttons' tooltips make of the driver packages where Wine cannot show it: a
// package whose original name Windows kept, and several packages for one identity.
#include <gtest/gtest.h>

#include "identity/driver_packages.hpp"

namespace tornak {
namespace {

const IdentityPreset& kEa61 = kIdentityPresets[2];

TEST(DriverPackages, HardwareIdsNameAnIdentityWithOrWithoutARevisionInEitherCase) {
  const struct {
    std::u16string_view id;
    bool names;
  } cases[] = {
      {u"USB\\VID_10C4&PID_EA61", true},           {u"usb\\vid_10c4&pid_ea61&rev_01aF", true},
      {u"USB\\VID_10C4&PID_EA6", false},           {u"USB\\VID_10C4&PID_EA610", false},
      {u"USB\\VID_10C4&PID_EA61&REV_010", false},  {u"USB\\VID_10C4&PID_EA61&REV_010G", false},
      {u"USB\\VID_10C4&PID_EA61&MI_00", false},    {u"USB\\VID_10C5&PID_EA61", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NamesIdentity(c.id, kEa61), c.names) << std::string(c.id.begin(), c.id.end());
}

TEST(DriverPackages, TooltipNamesEachPackageByItsOriginalAndInstalledName) {
  IdentityPackages packages{true,
                            {{u"silabser.inf", u"oem12.inf", u"Silicon Labs", u"Ports", u"6.7.6.2130", u"04/09/2020"},
                             {u"", u"oem40.inf", u"", u"USB", u"1.0", u""}}};
  const Text lines = u"  silabser.inf, installed as oem12.inf: Silicon Labs, class Ports, version 6.7.6.2130, "
                     u"dated 04/09/2020\r\n  oem40.inf (original name not known): class USB, version 1.0";
  EXPECT_EQ(PresetTipText(kEa61, {true, false, &packages}),
            u"Writes product ID EA61 and vendor ID 10C4 into the bridge, then resets it; it returns as "
            u"USB\\VID_10C4&PID_EA61.\r\nDriver packages on this PC for this ID:\r\n" + lines);
  EXPECT_EQ(PresetTipText(kEa61, {true, true, &packages}),
            u"The bridge has this identity now; one of these driver packages serves it:\r\n" + lines +
                u"\r\nA press writes the same IDs again and resets it.");
  // Until the packages have been read, the tooltip says only what a press writes.
  EXPECT_EQ(PresetTipText(kEa61, {true, false, nullptr}),
            u"Writes product ID EA61 and vendor ID 10C4 into the bridge, then resets it; it returns as "
            u"USB\\VID_10C4&PID_EA61.");
}

}  // namespace
}  // namespace tornak
