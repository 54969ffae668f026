#pragma once

#include <filesystem>
#include <string>

#include "cp210x/loaded_cp210x.hpp"
#include "sim/library/bridge_model.hpp"
#include "system/program_folder.hpp"

namespace tornak::bench {

// Where the simulated libraries built with their state in memory are: a folder of their own
// beside the benchmark's programs, since their files have the vendor's names too.
inline std::filesystem::path InMemoryFolder() { return std::filesystem::path(ProgramFolder()) / "memory"; }

// The simulator's bridge model held in memory, both generations over one state: the bridge
// `tornak-sim attach` makes, attached `devices` times.
struct ModelPair {
  explicit ModelPair(std::uint32_t devices = 1) { state.bridges.assign(devices, sim::DefaultBridge("bridge1")); }
  sim::State state;
  sim::BridgeModel newGeneration{state, LibraryGeneration::New};
  sim::BridgeModel oldGeneration{state, LibraryGeneration::Old};
  VendorLibraries libraries{newGeneration, oldGeneration};
};

// The simulated libraries through the program's own loader: those that keep their bridge in the
// state file (found beside the program, as the vendor's are), or those that keep it in memory.
struct SimulatedPair {
  explicit SimulatedPair(bool inMemory = false)
      : newGeneration(File(LibraryGeneration::New, inMemory)), oldGeneration(File(LibraryGeneration::Old, inMemory)) {}

  LoadedCp210x newGeneration;
  LoadedCp210x oldGeneration;
  VendorLibraries libraries{newGeneration, oldGeneration};

 private:
  static std::string File(LibraryGeneration generation, bool inMemory) {
    if (!inMemory) return LibraryFileName(generation);
    const std::u8string file = (InMemoryFolder() / LibraryFileName(generation)).u8string();
    return std::string(file.begin(), file.end());  // the loader takes UTF-8
  }
};

}  // namespace tornak::bench
