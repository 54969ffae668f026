#include <iterator>
#include <string_view>

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "fault/fault.hpp"
#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "identity/testing/recording_cp210x.hpp"
#include "identity/testing/recording_display.hpp"

namespace tornak {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingCp210x;

class Rewrite : public ::testing::Test {
 protected:
  Rewrite() { oldLib.numDevices = 0; }

  // A probe first, as the window does on load, so that the rewrite knows the generation.
  void Probe() {
    state.DeviceHandle = -1;
    testing::RecordingDisplay display;
    RefreshDeviceInfo(state, libraries, display);
    newLib.calls.clear();
    oldLib.calls.clear();
  }

  RecordingCp210x newLib{"new"};
  RecordingCp210x oldLib{"old"};
  VendorLibraries libraries{newLib, oldLib};
  BridgeState state;
};

TEST_F(Rewrite, EachPresetWritesPidThenVendorIdThenResetsAndCloses) {
  Probe();
  ASSERT_TRUE(state.NewDriverActive);
  const struct {
    std::string_view button;
    const char* pidWrite;
  } expected[] = {{"SetKavrenPID", "SetPid 840E"}, {"SetSilabsPID", "SetPid EA60"}, {"SetSilabsPIDxpress", "SetPid EA61"}};
  ASSERT_EQ(kIdentityPresets.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(kIdentityPresets[i].button, expected[i].button);
    newLib.calls.clear();
    ApplyIdentityPreset(Text(kIdentityPresets[i].pidText), state, libraries);
    EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0", expected[i].pidWrite, "SetVid 10C4", "Reset", "Close"));
  }
  EXPECT_THAT(oldLib.calls, IsEmpty());
}

TEST_F(Rewrite, AfterAnOldLibraryProbeOnlyTheOldLibraryIsUsed) {
  newLib.numDevices = 0;
  oldLib.numDevices = 1;
  Probe();
  ASSERT_FALSE(state.NewDriverActive);
  ApplyIdentityPreset(u"840E", state, libraries);
  EXPECT_THAT(oldLib.calls, ElementsAre("GetNumDevices", "Open 0", "SetPid 840E", "SetVid 10C4", "Reset", "Close"));
  EXPECT_THAT(newLib.calls, IsEmpty());
}

TEST_F(Rewrite, BeforeAnyProbeTheOldLibraryIsAsked) {
  ApplyIdentityPreset(u"EA60", state, libraries);
  EXPECT_THAT(oldLib.calls, ElementsAre("GetNumDevices"));
  EXPECT_THAT(newLib.calls, IsEmpty());
}

TEST_F(Rewrite, NoneOrSeveralBridgesStopAfterTheCount) {
  Probe();
  for (std::uint32_t count : {0u, 2u, 5u}) {
    newLib.calls.clear();
    newLib.numDevices = count;
    ApplyIdentityPreset(u"EA60", state, libraries);
    EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices"));
    EXPECT_EQ(state.NumDevices, static_cast<std::int32_t>(count));
  }
  newLib.calls.clear();
  newLib.numDevices = 1;
  newLib.statuses = {{"GetNumDevices", 9}};
  ApplyIdentityPreset(u"EA60", state, libraries);
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices"));
}

TEST_F(Rewrite, FailedOpenClosesNothing) {
  Probe();
  newLib.statuses = {{"Open", 2}};
  ApplyIdentityPreset(u"EA60", state, libraries);
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0"));
}

TEST_F(Rewrite, ZeroProductIdWritesNothingButStillResets) {
  Probe();
  ApplyIdentityPreset(u"0", state, libraries);
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0", "Reset", "Close"));
}

TEST_F(Rewrite, WriteStatusesAreNotExamined) {
  Probe();
  newLib.statuses = {{"SetPid", 1}, {"SetVid", 1}, {"Reset", 1}};
  ApplyIdentityPreset(u"EA61", state, libraries);
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0", "SetPid EA61", "SetVid 10C4", "Reset", "Close"));
}

TEST_F(Rewrite, FaultBetweenOpenAndCloseClosesTheDeviceOnce) {
  Probe();
  newLib.throwing = {"SetVid"};
  EXPECT_THROW(ApplyIdentityPreset(u"EA60", state, libraries), Fault);
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0", "SetPid EA60", "SetVid 10C4", "Close"));

  // Product ID text that does not fit 32 bits faults before anything is written.
  newLib.calls.clear();
  newLib.throwing.clear();
  try {
    ApplyIdentityPreset(u"FFFFFFFFF", state, libraries);
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind(), FaultKind::Overflow);
  }
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "Open 0", "Close"));
}

}  // namespace
}  // namespace tornak
