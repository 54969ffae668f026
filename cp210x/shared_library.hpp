#pragma once

#include <string>

#include "fault/fault.hpp"
#include "system/unique_handle.hpp"

namespace tornak {
namespace platform {
void CloseLibrary(void* module) noexcept;
using UniqueLibrary = UniqueHandle<void*, CloseLibrary>;
}  // namespace platform

// A library file loaded by name on first use. The platform's library search applies, except
// that the current directory is never searched: the program's own folder, the system folders
// and PATH on Windows; the program's own folder, then the dynamic linker's search elsewhere.
class SharedLibrary {
 public:
  using EntryAddress = void (*)();

  explicit SharedLibrary(std::string fileName);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  const std::string& FileName() const noexcept { return fileName_; }
  bool IsLoaded() const noexcept { return static_cast<bool>(module_); }

  // Loads the file unless it is loaded already. Throws Fault LibraryNotFound or
  // LibraryNotLoadable; a failure is not remembered, so the next call tries again.
  void Load();

  // The address of an exported entry point, loading the file first. Throws the faults of Load,
  // or Fault MissingEntryPoint naming the entry point and this library.
  EntryAddress EntryPoint(const char* name);

 private:
  std::string fileName_;
  platform::UniqueLibrary module_;
};

// The platform halves: library_win.cpp and library_posix.cpp.
namespace platform {

struct LoadOutcome {
  UniqueLibrary module;  // empty when the load failed
  FaultKind failure = FaultKind::LibraryNotFound;
  std::string detail;  // why a file that exists could not be loaded
};

// Whether this platform's libraries are ELF files: where they are not, an ELF file is named for
// what it is rather than checked for its bitness.
extern const bool kElfLibraries;

// The file name the platform gives a library called `stem`: "stem.dll", "libstem.so".
std::string LibraryFile(const std::string& stem);

LoadOutcome OpenLibrary(const std::string& fileName);
SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name);

}  // namespace platform
}  // namespace tornak
