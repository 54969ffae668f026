// The program's own work per tick and per button press, natively: against the bridge model
// held in memory, and through the real loader and the simulated libraries, those of the state
// file and those that hold their bridge in memory. Prints its rows of the benchmark table on stdout and Google
// Benchmark's own report on stderr.

#include <benchmark/benchmark.h>

#include <array>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/discarding_display.hpp"
#include "bench/library_pairs.hpp"
#include "bench/table.hpp"
#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::bench {
namespace {

// The one state file of this run; TORNAK_SIM_STATE points the simulated libraries at it.
sim::test::TempStateFile& StateFile() {
  static sim::test::TempStateFile file;
  return file;
}

void SaveBridges(std::vector<sim::Bridge> bridges) {
  sim::State state;
  state.bridges = std::move(bridges);
  sim::WriteState(StateFile().Path(), state);
}

// The model as the program sees a library: through the interface, called virtually, as the
// routines in another file do. Calls on the final class itself could be inlined away.
Cp210x& Opaque(Cp210x& model) {
  Cp210x* library = &model;
  benchmark::DoNotOptimize(library);
  return *library;
}

void RefreshModel(benchmark::State& run, std::uint32_t devices) {
  ModelPair model(devices);
  BridgeState state;
  state.DeviceHandle = -1;
  DiscardingDisplay display;
  for (auto _ : run) RefreshDeviceInfo(state, model.libraries, display);
}

// The calls a tick makes when one bridge answers, with nothing done with the answers: what
// any program asking the library for the identity spends.
void RefreshCallsOnly(benchmark::State& run) {
  ModelPair model;
  Cp210x& library = Opaque(model.newGeneration);
  std::array<std::uint8_t, kListStringBufferSize> list{};
  std::array<std::uint8_t, kSerialBufferSize> serial{};
  std::array<std::uint8_t, kProductBufferSize> product{};
  for (auto _ : run) {
    std::uint32_t count = 0;
    CP210x_HANDLE handle = nullptr;
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint8_t length = 0;
    library.CP210x_GetNumDevices(&count);
    for (std::uint32_t selector : {kListSerialNumber, kListDescription, kListFullPath})
      library.CP210x_GetProductString(0, list.data(), selector);
    library.CP210x_Open(0, &handle);
    library.CP210x_GetDeviceVid(handle, &vid);
    library.CP210x_GetDevicePid(handle, &pid);
    library.CP210x_GetDeviceSerialNumber(handle, serial.data(), &length, 1);
    library.CP210x_GetDeviceProductString(handle, product.data(), &length, 1);
    library.CP210x_Close(handle);
    benchmark::DoNotOptimize(list.data());
    benchmark::DoNotOptimize(serial.data());
    benchmark::DoNotOptimize(product.data());
    benchmark::DoNotOptimize(vid + pid);
  }
}

void ApplyModel(benchmark::State& run) {
  ModelPair model;
  BridgeState state;
  state.NewDriverActive = true;
  for (auto _ : run) ApplyIdentityPreset(Text(kIdentityPresets[1].pidText), state, model.libraries);
  benchmark::DoNotOptimize(model.state.bridges.front().pid);
}

void ApplyCallsOnly(benchmark::State& run) {
  ModelPair model;
  Cp210x& library = Opaque(model.newGeneration);
  for (auto _ : run) {
    std::uint32_t count = 0;
    CP210x_HANDLE handle = nullptr;
    library.CP210x_GetNumDevices(&count);
    library.CP210x_Open(0, &handle);
    library.CP210x_SetPid(handle, 0xEA60);
    library.CP210x_SetVid(handle, 0x10C4);
    library.CP210x_Reset(handle);
    library.CP210x_Close(handle);
    benchmark::DoNotOptimize(count);
  }
  benchmark::DoNotOptimize(model.state.bridges.front().pid);
}

void RefreshSimulated(benchmark::State& run, bool bridgeAttached, bool inMemory = false) {
  SaveBridges(bridgeAttached ? std::vector{sim::DefaultBridge("bridge1")} : std::vector<sim::Bridge>{});
  SimulatedPair libraries(inMemory);
  BridgeState state;
  state.DeviceHandle = -1;
  DiscardingDisplay display;
  for (auto _ : run) RefreshDeviceInfo(state, libraries.libraries, display);
  if (bridgeAttached && !state.NewDriverActive) run.SkipWithError("the tick found no bridge");
}

void ApplySimulated(benchmark::State& run, bool inMemory = false) {
  SaveBridges({sim::DefaultBridge("bridge1")});
  SimulatedPair libraries(inMemory);
  BridgeState state;
  state.NewDriverActive = true;
  for (auto _ : run) ApplyIdentityPreset(Text(kIdentityPresets[1].pidText), state, libraries.libraries);
}

// A query while nothing changes the file: served from the library's parsed copy.
void QuerySimulated(benchmark::State& run) {
  SaveBridges({sim::DefaultBridge("bridge1")});
  LoadedCp210x library(LibraryGeneration::New);
  std::uint32_t count = 0;
  for (auto _ : run) library.CP210x_GetNumDevices(&count);
  if (count != 1) run.SkipWithError("the simulated library does not see the bridge");
}

// What every query would cost if the library parsed the file each time.
void ReadAndParse(benchmark::State& run) {
  SaveBridges({sim::DefaultBridge("bridge1")});
  for (auto _ : run) benchmark::DoNotOptimize(sim::ReadState(StateFile().Path()));
}

void Register() {
  auto add = [](const char* name, auto function) {
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMicrosecond)->MinTime(0.3);
  };
  add("refresh/model", [](benchmark::State& run) { RefreshModel(run, 1); });
  add("refresh/model-calls", RefreshCallsOnly);
  add("refresh/model-none", [](benchmark::State& run) { RefreshModel(run, 0); });
  add("apply/model", ApplyModel);
  add("apply/model-calls", ApplyCallsOnly);
  add("refresh/sim", [](benchmark::State& run) { RefreshSimulated(run, true); });
  add("refresh/sim-none", [](benchmark::State& run) { RefreshSimulated(run, false); });
  add("apply/sim", [](benchmark::State& run) { ApplySimulated(run); });
  // The libraries in memory are seeded with the one bridge the state file holds here.
  add("refresh/memory", [](benchmark::State& run) { RefreshSimulated(run, true, true); });
  add("apply/memory", [](benchmark::State& run) { ApplySimulated(run, true); });
  add("query/sim", QuerySimulated);
  add("query/read-and-parse", ReadAndParse);
}

// Google Benchmark's report goes on as usual (to stderr); the times are kept for the table.
class CollectingReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) failed_ = true;
      // CPU time rather than wall time: on a machine shared with other work the wall time
      // mostly measures how long the benchmark waited for a processor. Per iteration, in
      // nanoseconds whatever unit the report uses.
      nanoseconds_[run.run_name.function_name] =
          run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }

  bool Failed() const { return failed_; }
  double Nanoseconds(const std::string& name) const {
    auto found = nanoseconds_.find(name);
    return found == nanoseconds_.end() ? 0 : found->second;
  }

 private:
  std::map<std::string, double> nanoseconds_;
  bool failed_ = false;
};

struct Comparison {
  const char* measurement;
  const char* tornak;
  const char* baseline;
  const char* baselineIs;
};

constexpr Comparison kComparisons[] = {
    {"RefreshDeviceInfo, bridge model in memory, one bridge (one tick)", "refresh/model", "refresh/model-calls",
     "the same 11 library calls, answers unused"},
    {"ApplyIdentityPreset, bridge model in memory (one button press)", "apply/model", "apply/model-calls",
     "the same 6 library calls"},
    {"RefreshDeviceInfo, loader + simulated libraries, one bridge", "refresh/sim", "refresh/model",
     "the same tick against the bridge model in memory"},
    {"RefreshDeviceInfo, loader + simulated libraries, no bridge", "refresh/sim-none", "refresh/model-none",
     "the same tick against the bridge model in memory"},
    {"ApplyIdentityPreset, loader + simulated libraries", "apply/sim", "apply/model",
     "the same press against the bridge model in memory"},
    {"RefreshDeviceInfo, loader + simulated libraries holding the bridge in memory, one bridge", "refresh/memory",
     "refresh/model", "the same tick against the bridge model in memory"},
    {"ApplyIdentityPreset, loader + simulated libraries holding the bridge in memory", "apply/memory", "apply/model",
     "the same press against the bridge model in memory"},
    {"One query of a simulated library, state file unchanged", "query/sim", "query/read-and-parse",
     "reading and parsing the state file once"},
};

}  // namespace
}  // namespace tornak::bench

int main(int argc, char** argv) {
  using namespace tornak::bench;
  bool header = true;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--rows-only") header = false;
    else arguments.push_back(argv[i]);
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  StateFile();
  Register();

  CollectingReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.Failed()) return 1;

  if (header) PrintHeader(std::cout);
  for (const Comparison& c : kComparisons) {
    const double tornak = reporter.Nanoseconds(c.tornak);
    const double baseline = reporter.Nanoseconds(c.baseline);
    PrintRow(std::cout, {c.measurement, Microseconds(tornak), Microseconds(baseline) + ", " + c.baselineIs,
                         Ratio(tornak, baseline), ""});
  }
  return 0;
}
