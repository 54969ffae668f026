#include "fault/fault.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace tornak {
namespace {

// What a fault of each kind says, to a developer and to the user. {subject}, {library} and
// {detail} stand for the fault's parts; what stands in [brackets] is said only when the fault
// has a detail.
struct KindTexts {
  FaultKind kind;
  std::string_view what;
  std::string_view plainWords;
};

constexpr std::array<KindTexts, 6> kKinds{{
    {FaultKind::LibraryNotFound, "library file not found: {subject}",
     "The vendor library {subject} could not be found. Put it in the program's folder or a folder on PATH."},
    {FaultKind::LibraryNotLoadable, "library file cannot be loaded: {subject}[ ({detail})]",
     "The vendor library {subject} was found but could not be loaded[: {detail}]."},
    {FaultKind::MissingEntryPoint, "entry point {subject} not found in {library}",
     "The vendor library {library} has no entry point {subject}. It is probably another version than the one "
     "this program needs; install the matching library."},
    {FaultKind::Subscript, "subscript out of range in {subject}[ ({detail})]",
     "What the device reported does not fit where {subject} expects it[ ({detail})]."},
    {FaultKind::Overflow, "overflow in {subject}[ ({detail})]",
     "A number too large to handle came up in {subject}[ ({detail})]."},
    {FaultKind::FloatingPoint, "floating-point fault in {subject}[ ({detail})]",
     "A calculation failed in {subject}[ ({detail})]."},
}};

constexpr bool KindsInEnumOrder() {
  for (std::size_t i = 0; i < kKinds.size(); ++i)
    if (kKinds[i].kind != static_cast<FaultKind>(i)) return false;
  return kKinds.back().kind == FaultKind::FloatingPoint;
}
static_assert(KindsInEnumOrder(), "one row per FaultKind, in the enumeration's order");

std::string Fill(std::string_view shape, const std::string& subject, const std::string& library,
                 const std::string& detail) {
  std::string text;
  bool skipping = false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const char c = shape[i];
    if (c == '[') {
      skipping = detail.empty();
    } else if (c == ']') {
      skipping = false;
    } else if (skipping) {
      continue;
    } else if (c == '{') {
      const std::size_t end = shape.find('}', i);
      const std::string_view part = shape.substr(i + 1, end - i - 1);
      text += part == "subject" ? subject : part == "library" ? library : detail;
      i = end;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

Fault::Fault(FaultKind kind, std::string subject, const std::string& library, const std::string& detail)
    : std::runtime_error(Fill(kKinds[static_cast<std::size_t>(kind)].what, subject, library, detail)),
      kind_(kind),
      plainWords_(Fill(kKinds[static_cast<std::size_t>(kind)].plainWords, subject, library, detail)),
      subject_(std::move(subject)) {}

Fault Fault::LibraryNotFound(std::string file) { return Fault(FaultKind::LibraryNotFound, std::move(file), {}, {}); }

Fault Fault::LibraryNotLoadable(std::string file, const std::string& reason) {
  return Fault(FaultKind::LibraryNotLoadable, std::move(file), {}, reason);
}

Fault Fault::MissingEntryPoint(std::string entryPoint, const std::string& library) {
  return Fault(FaultKind::MissingEntryPoint, std::move(entryPoint), library, {});
}

Fault Fault::Subscript(std::string routine, const std::string& detail) {
  return Fault(FaultKind::Subscript, std::move(routine), {}, detail);
}

Fault Fault::Overflow(std::string routine, const std::string& detail) {
  return Fault(FaultKind::Overflow, std::move(routine), {}, detail);
}

Fault Fault::FloatingPoint(std::string routine, const std::string& detail) {
  return Fault(FaultKind::FloatingPoint, std::move(routine), {}, detail);
}

}  // namespace tornak
