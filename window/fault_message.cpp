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

Text InParentheses(const std::string& detail) { return detail.empty() ? Text{} : u" (" + FromUtf8(detail) + u")"; }

Text DescribeFault(const Fault& fault) {
  const Text subject = FromUtf8(fault.Subject());
  switch (fault.Kind()) {
    case FaultKind::LibraryNotFound:
      return u"The vendor library " + subject +
             u" could not be found. Put it in the program's folder or a folder on PATH.";
    case FaultKind::LibraryNotLoadable:
      if (fault.Detail().empty()) return u"The vendor library " + subject + u" was found but could not be loaded.";
      return u"The vendor library " + subject + u" was found but could not be loaded: " + FromUtf8(fault.Detail()) +
             u".";
    case FaultKind::MissingEntryPoint:
      return u"The vendor library " + FromUtf8(fault.Library()) + u" has no entry point " + subject +
             u". It is probably another version than the one this program needs; install the matching library.";
    case FaultKind::Subscript:
      return u"What the device reported does not fit where " + subject + u" expects it" +
             InParentheses(fault.Detail()) + u".";
    case FaultKind::Overflow:
      return u"A number too large to handle came up in " + subject + InParentheses(fault.Detail()) + u".";
    case FaultKind::FloatingPoint:
      return u"A calculation failed in " + subject + InParentheses(fault.Detail()) + u".";
  }
  return u"Something went wrong: " + FromUtf8(fault.what());
}

}  // namespace

Text FaultMessage(const std::exception& fault) {
  if (const auto* known = dynamic_cast<const Fault*>(&fault)) return DescribeFault(*known);
  return u"Something unexpected went wrong: " + FromUtf8(fault.what());
}

Text UnknownFaultMessage() { return u"Something unexpected went wrong."; }

}  // namespace tornak
