#pragma once

#include <string>

#include "fault/fault.hpp"

namespace tornak {

// A library file loaded by name on first use. The platform's library search applies, except
// that the current directory is never searched: the program's own folder, the system folders
// and PATH on Windows; the program's own folder, then the dynamic linker's search elsewhere.
class SharedLibrary {
 public:
  using EntryAddress = void (*)();

  explicit SharedLibrary(std::string fileName);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  const std::string& FileName() const noexcept { return fileName_; }
  bool IsLoaded() const noexcept { return module_ != nullptr; }

  // Loads the file unless it is loaded already. Throws Fault LibraryNotFound or
  // LibraryNotLoadable; a failure is not remembered, so the next call tries again.
  void Load();

  // The address of an exported entry point, loading the file first. Throws the faults of Load,
  // or Fault MissingEntryPoint naming the entry point and this library.
  EntryAddress EntryPoint(const char* name);

 private:
  std::string fileName_;
  void* module_ = nullptr;
};

// The platform halves: library_win.cpp and library_posix.cpp.
namespace platform {

struct LoadOutcome {
  void* module = nullptr;  // null when the load failed
  FaultKind failure = FaultKind::LibraryNotFound;
  std::string detail;  // why a file that exists could not be loaded
};

LoadOutcome OpenLibrary(const std::string& fileName);
SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name);
void CloseLibrary(void* module);

}  // namespace platform
}  // namespace tornak
