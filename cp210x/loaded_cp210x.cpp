#include "cp210x/loaded_cp210x.hpp"

#include <utility>

namespace tornak {

std::string LibraryFileName(LibraryGeneration generation) {
  const char* stem = generation == LibraryGeneration::New ? "CP210xManufacturingN" : "CP210xManufacturing";
  return platform::LibraryFile(stem);
}

LoadedCp210x::LoadedCp210x(LibraryGeneration generation) : library_(LibraryFileName(generation)) {}

LoadedCp210x::LoadedCp210x(std::string fileName) : library_(std::move(fileName)) {}

#define CP210X_DEFINE_OPERATION(name, params, args) \
  CP210x_STATUS LoadedCp210x::name(CP210X_LIST params) { return Resolve(name##_, #name)(CP210X_LIST args); }
CP210X_ENTRY_POINTS(CP210X_DEFINE_OPERATION)
#undef CP210X_DEFINE_OPERATION

}  // namespace tornak
