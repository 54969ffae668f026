#pragma once

#include <stdexcept>
#include <string>

namespace tornak {

// Faults of the program itself, as opposed to device failures (which are status codes).
enum class FaultKind {
  LibraryNotFound,
  LibraryNotLoadable,
  MissingEntryPoint,
  Subscript,
  Overflow,
  FloatingPoint,
};

// Nothing in the core catches a Fault; it travels to the event handler that started the work.
// Both texts are UTF-8 and name the fault's subject: what() for a developer, PlainWords() for
// the user.
class Fault : public std::runtime_error {
 public:
  // A library file the platform's library search did not find.
  static Fault LibraryNotFound(std::string file);
  // A library file that exists but cannot be loaded; `reason` says why, when that is known.
  static Fault LibraryNotLoadable(std::string file, const std::string& reason);
  // An entry point that a loaded library does not export.
  static Fault MissingEntryPoint(std::string entryPoint, const std::string& library);
  // An index outside its buffer in `routine`; `detail` gives the index and the bounds.
  static Fault Subscript(std::string routine, const std::string& detail);
  // A value too large for `routine`'s arithmetic; `detail` says which.
  static Fault Overflow(std::string routine, const std::string& detail);
  // A computation of `routine` that cannot be carried out; `detail` says which.
  static Fault FloatingPoint(std::string routine, const std::string& detail);

  FaultKind Kind() const noexcept { return kind_; }
  // The file, entry point or routine the fault is about.
  const std::string& Subject() const noexcept { return subject_; }
  // What went wrong and, where the user can help it, what to do about it.
  const std::string& PlainWords() const noexcept { return plainWords_; }

 private:
  Fault(FaultKind kind, std::string subject, const std::string& library, const std::string& detail);

  FaultKind kind_;
  std::string plainWords_;
  std::string subject_;
};

}  // namespace tornak
