#include "fault/fault.hpp"

namespace tornak {
namespace {

std::string Describe(FaultKind kind, const std::string& subject, const std::string& library,
                     const std::string& detail) {
  std::string text;
  switch (kind) {
    case FaultKind::LibraryNotFound:
      text = "library file not found: " + subject;
      break;
    case FaultKind::LibraryNotLoadable:
      text = "library file cannot be loaded: " + subject;
      break;
    case FaultKind::MissingEntryPoint:
      text = "entry point " + subject + " not found in " + library;
      break;
    case FaultKind::Subscript:
      text = "subscript out of range in " + subject;
      break;
    case FaultKind::Overflow:
      text = "overflow in " + subject;
      break;
    case FaultKind::FloatingPoint:
      text = "floating-point fault in " + subject;
      break;
  }
  if (!detail.empty()) text += " (" + detail + ")";
  return text;
}

}  // namespace

Fault::Fault(FaultKind kind, std::string subject, std::string library, std::string detail)
    : std::runtime_error(Describe(kind, subject, library, detail)),
      kind_(kind),
      subject_(std::move(subject)),
      library_(std::move(library)),
      detail_(std::move(detail)) {}

const char* FaultKindName(FaultKind kind) noexcept {
  switch (kind) {
    case FaultKind::LibraryNotFound: return "library not found";
    case FaultKind::LibraryNotLoadable: return "library not loadable";
    case FaultKind::MissingEntryPoint: return "missing entry point";
    case FaultKind::Subscript: return "subscript";
    case FaultKind::Overflow: return "overflow";
    case FaultKind::FloatingPoint: return "floating point";
  }
  return "unknown";
}

}  // namespace tornak
