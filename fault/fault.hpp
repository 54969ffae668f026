#pragma once

#include <stdexcept>
#include <string>

namespace tornak {

// Faults of the program itself, as opposed to device failures (which are status codes).
enum class FaultKind {
  LibraryNotFound,     // subject: the library file
  LibraryNotLoadable,  // subject: the library file; detail: what is wrong with it
  MissingEntryPoint,   // subject: the entry point; library: the file it was looked for in
  Subscript,           // subject: the routine; detail: the index and the bounds
  Overflow,            // subject: the routine; detail: the value that did not fit
  FloatingPoint,       // subject: the routine; detail: the computation
};

// Nothing in the core catches a Fault; it travels to the event handler that started the work.
class Fault : public std::runtime_error {
 public:
  Fault(FaultKind kind, std::string subject, std::string library = {}, std::string detail = {});

  FaultKind Kind() const noexcept { return kind_; }
  const std::string& Subject() const noexcept { return subject_; }
  const std::string& Library() const noexcept { return library_; }
  const std::string& Detail() const noexcept { return detail_; }

 private:
  FaultKind kind_;
  std::string subject_;
  std::string library_;
  std::string detail_;
};

const char* FaultKindName(FaultKind kind) noexcept;

}  // namespace tornak
