// A process that changes the state file many times over, for the concurrency test: through the
// store as tornak-sim does, or through a simulated library as the program does. Starts its
// changes when the go file appears, so that all writers run at once.
//
//   sim_state_writer GO_FILE STATE_FILE attach ID COUNT       attaches bridges wID-0 ... wID-COUNT-1
//   sim_state_writer GO_FILE STATE_FILE open-close new|old COUNT

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "cp210x/loaded_cp210x.hpp"
#include "sim/platform.hpp"
#include "sim/sim_status.hpp"
#include "sim/state/path.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace {

using namespace tornak::sim;

bool AwaitGo(const std::string& goFile) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!platform::ReadFileBytes(goFile)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

int Attach(const std::string& path, const std::string& id, int count) {
  for (int i = 0; i < count; ++i) {
    UpdateState(path, [&](State& state) {
      Bridge bridge;
      bridge.name = "w" + id + "-" + std::to_string(i);
      bridge.serial = bridge.name;
      state.bridges.push_back(bridge);
      return true;
    });
  }
  return 0;
}

int OpenClose(const std::string& path, const std::string& generation, int count) {
  tornak::sim::test::SetEnvironment(kStateVariable, path);
  tornak::LoadedCp210x library(
      tornak::LibraryFileName(generation == "old" ? tornak::LibraryGeneration::Old : tornak::LibraryGeneration::New));
  for (int i = 0; i < count; ++i) {
    CP210x_HANDLE handle = nullptr;
    if (CP210x_STATUS status = library.CP210x_Open(0, &handle); status != kSuccess) {
      std::cerr << "open " << i << " failed: " << status << "\n";
      return 1;
    }
    if (CP210x_STATUS status = library.CP210x_Close(handle); status != kSuccess) {
      std::cerr << "close " << i << " failed: " << status << "\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: sim_state_writer GO_FILE STATE_FILE attach ID COUNT | open-close new|old COUNT\n";
    return 2;
  }
  const std::string mode = argv[3];
  try {
    if (!AwaitGo(argv[1])) {
      std::cerr << "no go file\n";
      return 1;
    }
    if (mode == "attach") return Attach(argv[2], argv[4], std::stoi(argv[5]));
    if (mode == "open-close") return OpenClose(argv[2], argv[4], std::stoi(argv[5]));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  std::cerr << "unknown mode " << mode << "\n";
  return 2;
}
