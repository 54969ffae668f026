#include "cp210x/shared_library.hpp"

#include <utility>

namespace tornak {

SharedLibrary::SharedLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

void SharedLibrary::Load() {
  if (module_) return;
  platform::LoadOutcome outcome = platform::OpenLibrary(fileName_);
  if (!outcome.module) {
    throw outcome.failure == FaultKind::LibraryNotFound ? Fault::LibraryNotFound(fileName_)
                                                        : Fault::LibraryNotLoadable(fileName_, outcome.detail);
  }
  module_ = std::move(outcome.module);
}

SharedLibrary::EntryAddress SharedLibrary::EntryPoint(const char* name) {
  Load();
  EntryAddress address = platform::FindEntryPoint(module_.Get(), name);
  if (address == nullptr) throw Fault::MissingEntryPoint(name, fileName_);
  return address;
}

}  // namespace tornak
