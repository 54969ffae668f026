#include "window/fault_message.hpp"

#include "fault/fault.hpp"

namespace tornak {

std::string FaultMessage(const std::exception& fault) {
  if (const auto* known = dynamic_cast<const Fault*>(&fault)) return known->PlainWords();
  return std::string("Something unexpected went wrong: ") + fault.what();
}

std::string UnknownFaultMessage() { return "Something unexpected went wrong."; }

}  // namespace tornak
