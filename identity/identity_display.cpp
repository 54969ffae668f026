#include "identity/identity_display.hpp"

namespace tornak {

std::string_view ControlName(DisplayField field) {
  switch (field) {
    case DisplayField::ProdString: return "ProdString";
    case DisplayField::Rvid: return "Rvid";
    case DisplayField::Rpid: return "Rpid";
    case DisplayField::Rsernum: return "Rsernum";
    case DisplayField::Rprodstr: return "Rprodstr";
    case DisplayField::DriverType: return "DriverType";
  }
  return {};
}

}  // namespace tornak
