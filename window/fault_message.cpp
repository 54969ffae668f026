#include "window/fault_message.hpp"

#include <windows.h>

#include <string>

#include "fault/fault.hpp"

namespace tornak {
namespace {

// Fault texts are UTF-8: file names and the system's own messages can be in any language.
Text FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return Text(wide.begin(), wide.end());
}

}  // namespace

Text FaultMessage(const std::exception& fault) {
  if (const auto* known = dynamic_cast<const Fault*>(&fault)) return FromUtf8(known->PlainWords());
  return u"Something unexpected went wrong: " + FromUtf8(fault.what());
}

Text UnknownFaultMessage() { return u"Something unexpected went wrong."; }

}  // namespace tornak
