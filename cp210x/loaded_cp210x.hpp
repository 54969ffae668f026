#pragma once

#include <string>

#include "cp210x/cp210x.hpp"
#include "cp210x/shared_library.hpp"

namespace tornak {

// One generation of the manufacturing library, loaded from its file on the first call of any
// operation and kept until the object goes. Each entry point is looked up by name on its first
// call and the address reused; a failed load or lookup throws a Fault and is tried again on the
// next call. Not thread-safe: the program calls it from its user-interface thread only.
class LoadedCp210x final : public Cp210x {
 public:
  explicit LoadedCp210x(LibraryGeneration generation);
  // A library under another file name, for tools and tests.
  explicit LoadedCp210x(std::string fileName);

  const std::string& FileName() const noexcept { return library_.FileName(); }
  bool IsLoaded() const noexcept { return library_.IsLoaded(); }

#define CP210X_DECLARE_OVERRIDE(name, params, args) CP210x_STATUS name params override;
  CP210X_ENTRY_POINTS(CP210X_DECLARE_OVERRIDE)
#undef CP210X_DECLARE_OVERRIDE

 private:
  template <typename Signature>
  Signature Resolve(Signature& slot, const char* name) {
    if (slot == nullptr) slot = reinterpret_cast<Signature>(library_.EntryPoint(name));
    return slot;
  }

  SharedLibrary library_;
#define CP210X_DECLARE_SLOT(name, params, args) Cp210xSig_##name name##_ = nullptr;
  CP210X_ENTRY_POINTS(CP210X_DECLARE_SLOT)
#undef CP210X_DECLARE_SLOT
};

}  // namespace tornak
