// The simulated libraries that hold their bridge in memory, as the benchmark's polling row loads
// them: they must answer as the state file's libraries do for the same bridge, or that row
// measures another program's work, and must keep what a press changed without a file.

#include <gtest/gtest.h>

#include "bench/library_pairs.hpp"
#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "identity/testing/recording_display.hpp"
#include "sim/platform.hpp"
#include "sim/state_store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::bench {
namespace {

testing::RecordingDisplay Tick(const VendorLibraries& libraries) {
  BridgeState state;
  state.DeviceHandle = -1;
  testing::RecordingDisplay display;
  RefreshDeviceInfo(state, libraries, display);
  EXPECT_TRUE(display.warnings.empty());
  return display;
}

TEST(InMemoryLibraries, AnswerAsTheStateFileDoesAndKeepAPressWithoutTheFile) {
  const sim::test::TempStateFile file;
  sim::State attached;
  attached.bridges.push_back(sim::DefaultBridge("bridge1"));
  sim::WriteState(file.Path(), attached);
  SimulatedPair onFile;
  SimulatedPair inMemory(true);

  const testing::RecordingDisplay expected = Tick(onFile.libraries);
  ASSERT_EQ(expected[DisplayField::Rpid], u"EA60");
  const std::optional<std::string> fileBefore = sim::platform::ReadFileBytes(file.Path());
  for (DisplayField field : kDisplayFields)
    EXPECT_EQ(Tick(inMemory.libraries)[field], expected[field]) << ControlName(field);

  BridgeState pressed;
  pressed.NewDriverActive = true;
  ApplyIdentityPreset(kKavrenPidText, pressed, inMemory.libraries);
  EXPECT_EQ(Tick(inMemory.libraries)[DisplayField::Rpid], u"840E");
  EXPECT_EQ(sim::platform::ReadFileBytes(file.Path()), fileBefore) << "the libraries in memory wrote the state file";
  EXPECT_EQ(Tick(onFile.libraries)[DisplayField::Rpid], u"EA60");
}

}  // namespace
}  // namespace tornak::bench
