#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "convert/text.hpp"

namespace tornak {

// The read-out fields the probe fills, by the name of the window's control.
enum class DisplayField { ProdString, Rvid, Rpid, Rsernum, Rprodstr, DriverType };

inline constexpr std::array<DisplayField, 6> kDisplayFields{DisplayField::ProdString, DisplayField::Rvid,
                                                            DisplayField::Rpid,       DisplayField::Rsernum,
                                                            DisplayField::Rprodstr,   DisplayField::DriverType};

constexpr bool InEnumOrder(const std::array<DisplayField, 6>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i] != static_cast<DisplayField>(i)) return false;
  return true;
}
static_assert(InEnumOrder(kDisplayFields), "every DisplayField once, in the enumeration's order");

// The read-outs that describe one bridge; empty while none is shown.
inline constexpr std::array<DisplayField, 4> kBridgeFields{DisplayField::Rvid, DisplayField::Rpid,
                                                           DisplayField::Rsernum, DisplayField::Rprodstr};

// "ProdString", "Rvid" and so on.
constexpr std::string_view ControlName(DisplayField field) {
  constexpr std::array<std::string_view, kDisplayFields.size()> kNames{"ProdString", "Rvid",     "Rpid",
                                                                      "Rsernum",    "Rprodstr", "DriverType"};
  return kNames[static_cast<std::size_t>(field)];
}

// All the probe needs of the window.
class IdentityDisplay {
 public:
  virtual ~IdentityDisplay() = default;
  // Sets the caption of one read-out field.
  virtual void SetFieldText(DisplayField field, const Text& text) = 0;
  // Shows the warning box (error icon, one OK button, modal) and returns when it is closed.
  virtual void ShowWarning(const Text& text) = 0;
};

}  // namespace tornak
