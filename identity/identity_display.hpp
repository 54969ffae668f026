#pragma once

#include <string_view>

#include "convert/text.hpp"

namespace tornak {

// The read-out fields the probe fills, by the name of the window's control.
enum class DisplayField { ProdString, Rvid, Rpid, Rsernum, Rprodstr, DriverType };

// "ProdString", "Rvid" and so on.
std::string_view ControlName(DisplayField field);

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
