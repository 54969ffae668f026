#pragma once

#include <array>
#include <string_view>

namespace tornak {

// What one of the window's buttons (one per row of kIdentityPresets) writes into the bridge,
// always together with the chip vendor's ID. The window, the rewrite's tests, the soak's probe
// and the soak (soak/, which reads this table from the source) all take the buttons from here.
struct IdentityPreset {
  std::string_view button;      // the window's control name
  std::u16string_view caption;  // the button's caption, double spaces and all
  std::u16string_view pidText;  // the product ID, in hexadecimal
};

inline constexpr std::array<IdentityPreset, 3> kIdentityPresets{{
    {"SetKavrenPID", u"Set custom KAVREN PID = 840E (VCP +  DLL)", u"840E"},
    {"SetSilabsPID", u"Set generic SILABS PID = EA60  (VCP driver)", u"EA60"},
    {"SetSilabsPIDxpress", u"Set generic SILABS PID = EA61  (USBXpress)", u"EA61"},
}};

inline constexpr char16_t kVendorIdText[] = u"10C4";

}  // namespace tornak
