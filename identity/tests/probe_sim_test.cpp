// The probe and the rewrite end to end: the real loader, the simulated libraries beside this
// program, and a state file of the test's own.

#include <gtest/gtest.h>

#include "convert/convert.hpp"
#include "cp210x/loaded_cp210x.hpp"
#include "fault/fault.hpp"
#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "identity/testing/recording_display.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak {
namespace {

sim::Bridge Bridge(const std::string& name, sim::Visibility seenBy) {
  sim::Bridge bridge = sim::DefaultBridge(name, "SN" + name);
  bridge.seenBy = seenBy;
  return bridge;
}

class ProbeThroughSimulator : public ::testing::Test {
 protected:
  ProbeThroughSimulator() { state.DeviceHandle = -1; }

  void Attach(std::vector<sim::Bridge> bridges) {
    sim::State saved;
    saved.bridges = std::move(bridges);
    sim::WriteState(file.Path(), saved);
  }
  sim::State Saved() const { return sim::ReadState(file.Path()); }
  void Refresh() { RefreshDeviceInfo(state, libraries, display); }

  // No handle outlives a probe or a rewrite.
  void ExpectEveryOpenClosed() const {
    const sim::State saved = Saved();
    EXPECT_TRUE(saved.handles.empty());
    EXPECT_EQ(saved.opens, saved.closes);
  }

  sim::test::TempStateFile file;
  LoadedCp210x newLibrary{LibraryGeneration::New};
  LoadedCp210x oldLibrary{LibraryGeneration::Old};
  VendorLibraries libraries{newLibrary, oldLibrary};
  testing::RecordingDisplay display;
  BridgeState state;
};

TEST_F(ProbeThroughSimulator, BridgeOnTheNewDriverIsShownAndTheOldLibraryStaysUnloaded) {
  Attach({Bridge("a", sim::Visibility::New)});
  Refresh();
  Refresh();
  EXPECT_EQ(display[DisplayField::DriverType], u"New driver");
  EXPECT_EQ(display[DisplayField::Rvid], u"10C4");
  EXPECT_EQ(display[DisplayField::Rpid], u"EA60");
  EXPECT_EQ(display[DisplayField::Rsernum], u"SNa");
  EXPECT_EQ(display[DisplayField::Rprodstr], u"CP2102 USB to UART Bridge Controller");
  EXPECT_EQ(display[DisplayField::ProdString],
            u"SNa CP2102 USB to UART Bridge Controller \\\\?\\usb#vid_10c4&pid_ea60#SNa#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_TRUE(state.NewDriverActive);
  EXPECT_FALSE(oldLibrary.IsLoaded());
  EXPECT_EQ(Saved().opens[sim::Index(LibraryGeneration::New)], 2u);
  ExpectEveryOpenClosed();
}

TEST_F(ProbeThroughSimulator, BridgeOnlyTheOldLibrarySeesAndThenNone) {
  Attach({Bridge("a", sim::Visibility::Old)});
  Refresh();
  EXPECT_EQ(display[DisplayField::DriverType], u"Old driver");
  EXPECT_EQ(display[DisplayField::Rsernum], u"SNa");
  EXPECT_FALSE(state.NewDriverActive);

  Attach({});
  Refresh();
  EXPECT_EQ(display[DisplayField::DriverType], u"No device");
  EXPECT_EQ(display[DisplayField::Rvid], u"");
  EXPECT_TRUE(display.warnings.empty());
  ExpectEveryOpenClosed();
}

TEST_F(ProbeThroughSimulator, TwoBridgesWarnOncePerGeneration) {
  Attach({Bridge("a", sim::Visibility::Both), Bridge("b", sim::Visibility::Both)});
  Refresh();
  EXPECT_EQ(display.warnings.size(), 2u);
  EXPECT_EQ(display[DisplayField::DriverType], u"No device");
  EXPECT_EQ(Saved().opens, (std::array<std::uint64_t, sim::kGenerationCount>{}));
}

TEST_F(ProbeThroughSimulator, FailedQueryFallsBackToTheOldLibraryAndClosesItsHandle) {
  sim::State saved;
  saved.bridges = {Bridge("a", sim::Visibility::Both)};
  saved.failures = {{"CP210x_GetDeviceVid", LibraryGeneration::New, 0x22}};
  sim::WriteState(file.Path(), saved);
  Refresh();
  EXPECT_EQ(display[DisplayField::DriverType], u"Old driver");
  EXPECT_EQ(display[DisplayField::Rvid], u"10C4");
  ExpectEveryOpenClosed();
}

TEST_F(ProbeThroughSimulator, EachPresetIsShownByTheNextProbeAndKeptInTheBridge) {
  Attach({Bridge("a", sim::Visibility::New)});
  Refresh();
  // The bridge starts under EA60: in the table's order each preset moves it.
  for (const IdentityPreset& preset : kIdentityPresets) {
    const Text pid(preset.pidText);
    ApplyIdentityPreset(pid, state, libraries);
    Refresh();
    EXPECT_EQ(display[DisplayField::Rpid], pid);
    EXPECT_EQ(display[DisplayField::Rvid], u"10C4");
    EXPECT_EQ(Saved().bridges.at(0).pid, HexString2num(pid));
  }
  ExpectEveryOpenClosed();
}

TEST_F(ProbeThroughSimulator, OverlongSerialFaultsWithTheDeviceClosed) {
  sim::Bridge overlong = Bridge("a", sim::Visibility::New);
  overlong.serialLength = 200;
  Attach({overlong});
  try {
    Refresh();
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind(), FaultKind::Subscript);
  }
  ExpectEveryOpenClosed();
}

}  // namespace
}  // namespace tornak
