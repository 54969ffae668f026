#pragma once

#include <string>

#include "cp210x/cp210x_api.hpp"

namespace tornak {

// The two generations of the manufacturing library, bound side by side under the same names.
enum class LibraryGeneration { New, Old };

// The file a generation is loaded from: CP210xManufacturingN.dll / CP210xManufacturing.dll on
// Windows, libCP210xManufacturingN.so / libCP210xManufacturing.so elsewhere.
std::string LibraryFileName(LibraryGeneration generation);

// One generation's operations. The loaded binding and the test fakes implement it; the
// routines that probe and rewrite the bridge see nothing else of the library.
class Cp210x {
 public:
  virtual ~Cp210x() = default;

#define CP210X_DECLARE_OPERATION(name, params, args) virtual CP210x_STATUS name params = 0;
  CP210X_ENTRY_POINTS(CP210X_DECLARE_OPERATION)
#undef CP210X_DECLARE_OPERATION
};

// Both generations, so that a caller can pick one per call.
class VendorLibraries {
 public:
  VendorLibraries(Cp210x& newGeneration, Cp210x& oldGeneration)
      : new_(newGeneration), old_(oldGeneration) {}

  Cp210x& operator[](LibraryGeneration generation) const {
    return generation == LibraryGeneration::New ? new_ : old_;
  }

 private:
  Cp210x& new_;
  Cp210x& old_;
};

}  // namespace tornak
