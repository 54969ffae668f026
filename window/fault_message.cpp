#include "window/fault_message.hpp"

#include <string>

#include "fault/fault.hpp"
#include "system/windows_text.hpp"

namespace tornak {
namespace {

// Fault texts are UTF-8: file names and the system's own messages can be in any language.
Text FromUtf8(const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  return Text(wide.begin(), wide.end());
}

}  // namespace

Text FaultMessage(const std::exception& fault) {
  if (const auto* known = dynamic_cast<const Fault*>(&fault)) return FromUtf8(known->PlainWords());
  return u"Something unexpected went wrong: " + FromUtf8(fault.what());
}

Text UnknownFaultMessage() { return u"Something unexpected went wrong."; }

}  // namespace tornak
