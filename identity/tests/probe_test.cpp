#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "fault/fault.hpp"
#include "identity/probe.hpp"
#include "identity/testing/recording_cp210x.hpp"
#include "identity/testing/recording_display.hpp"

namespace tornak {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingCp210x;
using testing::RecordingDisplay;

class Probe : public ::testing::Test {
 protected:
  Probe() {
    state.DeviceHandle = -1;  // as the window sets it on load
    oldLib.numDevices = 0;
  }

  void Run() { RefreshDeviceInfo(state, libraries, display); }

  void ExpectNoDevice() const {
    EXPECT_EQ(display[DisplayField::DriverType], u"No device");
    for (DisplayField f : {DisplayField::Rvid, DisplayField::Rpid, DisplayField::Rsernum, DisplayField::Rprodstr})
      EXPECT_EQ(display[f], u"") << ControlName(f);
  }

  RecordingCp210x newLib{"new"};
  RecordingCp210x oldLib{"old"};
  VendorLibraries libraries{newLib, oldLib};
  RecordingDisplay display;
  BridgeState state;
};

TEST_F(Probe, BridgeSeenByNewLibraryIsReadInOrderAndOldLibraryIsNotCalled) {
  Run();
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices", "GetProductString 0 0", "GetProductString 0 1",
                                        "GetProductString 0 2", "Open 0", "GetDeviceVid", "GetDevicePid",
                                        "GetDeviceSerialNumber 1", "GetDeviceProductString 1", "Close"));
  EXPECT_THAT(oldLib.calls, IsEmpty());
  EXPECT_THAT(display.order, ElementsAre("ProdString", "Rvid", "Rpid", "Rsernum", "Rprodstr", "DriverType"));
  EXPECT_EQ(display[DisplayField::ProdString],
            u"0001 CP2102 USB to UART Bridge Controller "
            u"\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_EQ(display[DisplayField::Rvid], u"10C4");
  EXPECT_EQ(display[DisplayField::Rpid], u"EA60");
  EXPECT_EQ(display[DisplayField::Rsernum], u"0001");
  EXPECT_EQ(display[DisplayField::Rprodstr], u"CP2102 USB to UART Bridge Controller");
  EXPECT_EQ(display[DisplayField::DriverType], u"New driver");
  EXPECT_TRUE(state.NewDriverActive);
  EXPECT_EQ(state.NumDevices, 1);
  // The slot keeps the closed handle, which keeps the next run off the old library too.
  EXPECT_EQ(static_cast<std::uintptr_t>(state.DeviceHandle), newLib.handle);
  Run();
  EXPECT_THAT(oldLib.calls, IsEmpty());
  EXPECT_THAT(display.warnings, IsEmpty());
}

TEST_F(Probe, HandleWithItsTopBitSetIsStillTheNewDriver) {
  // Only -1 means a failed new attempt; a valid handle can have the sign bit of a 32-bit or a
  // pointer-wide slot set.
  const std::uintptr_t topBit = std::uintptr_t{1} << (8 * sizeof(std::uintptr_t) - 1);
  for (std::uintptr_t handle : {std::uintptr_t{0x80000042}, topBit | 0x42}) {
    SCOPED_TRACE(handle);
    newLib.handle = handle;
    Run();
    EXPECT_EQ(display[DisplayField::DriverType], u"New driver");
    EXPECT_EQ(static_cast<std::uintptr_t>(state.DeviceHandle), handle);
    EXPECT_EQ(newLib.calls.back(), "Close") << "the handle the open gave, unchanged";
    EXPECT_THAT(oldLib.calls, IsEmpty());
  }
}

TEST_F(Probe, NoBridgeAnywhereShowsNoDeviceWithoutWarning) {
  newLib.numDevices = 0;
  state.NewDriverActive = true;
  Run();
  ExpectNoDevice();
  EXPECT_THAT(newLib.calls, ElementsAre("GetNumDevices"));
  EXPECT_THAT(oldLib.calls, ElementsAre("GetNumDevices"));
  EXPECT_THAT(display.warnings, IsEmpty());
  EXPECT_EQ(state.DeviceHandle, -1);
  EXPECT_TRUE(state.NewDriverActive) << "a failed probe leaves the generation alone";
}

TEST_F(Probe, BridgeSeenOnlyByOldLibrary) {
  newLib.numDevices = 0;
  oldLib.numDevices = 1;
  oldLib.pid = 0x00AB;
  oldLib.handle = RecordingCp210x::HandleValue(7);
  state.NewDriverActive = true;
  Run();
  EXPECT_EQ(display[DisplayField::DriverType], u"Old driver");
  EXPECT_EQ(display[DisplayField::Rpid], u"AB");
  EXPECT_EQ(display[DisplayField::Rvid], u"10C4");
  EXPECT_FALSE(state.NewDriverActive);
  EXPECT_EQ(oldLib.Count("Close"), 1u);
  // The old attempt does not reset the slot; it keeps the old library's handle.
  EXPECT_EQ(static_cast<std::uintptr_t>(state.DeviceHandle), oldLib.handle);
  // Between the attempts the generation read-out already said "No device".
  EXPECT_THAT(display.order, ElementsAre("Rvid", "Rpid", "Rsernum", "Rprodstr", "DriverType", "ProdString", "Rvid",
                                         "Rpid", "Rsernum", "Rprodstr", "DriverType"));
}

TEST_F(Probe, FailedQueryAfterOpenClosesOnceAndFallsBack) {
  for (const char* failing : {"GetDeviceVid", "GetDevicePid", "GetDeviceSerialNumber", "GetDeviceProductString"}) {
    SCOPED_TRACE(failing);
    newLib.calls.clear();
    oldLib.calls.clear();
    newLib.statuses = {{failing, 0x21}};
    state.DeviceHandle = 0;
    Run();
    EXPECT_EQ(newLib.Count("Close"), 1u);
    EXPECT_EQ(newLib.calls.back(), "Close");
    EXPECT_EQ(newLib.Count("GetDeviceProductString"), std::string(failing) == "GetDeviceProductString" ? 1u : 0u);
    EXPECT_THAT(oldLib.calls, ElementsAre("GetNumDevices"));
    ExpectNoDevice();
    EXPECT_EQ(state.DeviceHandle, -1);
    EXPECT_THAT(display.warnings, IsEmpty()) << "one bridge is no reason to warn";
  }
}

TEST_F(Probe, FailedOpenClosesNothing) {
  newLib.statuses = {{"Open", 3}};
  oldLib.numDevices = 1;
  oldLib.statuses = {{"Open", 3}};
  Run();
  EXPECT_EQ(newLib.Count("Close"), 0u);
  EXPECT_EQ(oldLib.Count("Close"), 0u);
  EXPECT_EQ(newLib.Count("GetDeviceVid"), 0u);
  ExpectNoDevice();
  EXPECT_THAT(display.warnings, IsEmpty()) << "one bridge is no reason to warn";
  // The old attempt leaves the slot as its failed open left it: with the handle it wrote...
  EXPECT_EQ(static_cast<std::uintptr_t>(state.DeviceHandle), oldLib.handle);
  // ...and at -1 when neither open writes one.
  newLib.silent = oldLib.silent = {"Open"};
  Run();
  EXPECT_EQ(state.DeviceHandle, -1);
}

TEST_F(Probe, OnlyTheLowSixteenBitsOfAStatusCount) {
  newLib.statuses = {{"GetNumDevices", 0x10000}, {"Open", 0x70000}};
  Run();
  EXPECT_EQ(display[DisplayField::DriverType], u"New driver");
  newLib.statuses = {{"GetNumDevices", 0x18000}};
  Run();
  EXPECT_EQ(display[DisplayField::DriverType], u"No device");
}

TEST_F(Probe, TwoBridgesWarnOncePerAttempt) {
  newLib.numDevices = 2;
  oldLib.numDevices = 2;
  state.DeviceHandle = 7;  // what an earlier probe through the new generation left
  std::vector<std::intptr_t> slotUnderTheBox;
  display.onWarning = [&] { slotUnderTheBox.push_back(state.DeviceHandle); };
  Run();
  EXPECT_EQ(display.warnings, (std::vector<Text>{u"Only one device supported!\r\nDisconnect all other Silabs-based.",
                                                 u"Only one device supported!\r\nDisconnect all other Silabs-based."}));
  EXPECT_EQ(display[DisplayField::DriverType], u"No device");
  EXPECT_EQ(newLib.Count("Open"), 0u);
  // Each attempt: the fields emptied, the box, then the slot (-1 after the new attempt's box, not
  // before it), then "No device".
  EXPECT_THAT(slotUnderTheBox, ElementsAre(7, -1));
  const std::vector<std::string> attempt{"Rvid", "Rpid", "Rsernum", "Rprodstr", "warning", "DriverType"};
  std::vector<std::string> both = attempt;
  both.insert(both.end(), attempt.begin(), attempt.end());
  EXPECT_EQ(display.order, both);
}

TEST_F(Probe, WarningFollowsTheLastCountEvenFromAnEarlierAttempt) {
  newLib.numDevices = 3;
  oldLib.statuses = {{"GetNumDevices", 1}};
  oldLib.silent = {"GetNumDevices"};
  Run();
  EXPECT_EQ(display.warnings.size(), 2u);
  EXPECT_EQ(state.NumDevices, 3);

  // A count query that fails but does write its count decides by what it wrote.
  display.warnings.clear();
  oldLib.silent.clear();
  oldLib.numDevices = 0;
  Run();
  EXPECT_EQ(display.warnings.size(), 1u);
}

TEST_F(Probe, SummaryLineComesFromTheListAndSurvivesFailures) {
  Run();
  const Text summary = display[DisplayField::ProdString];
  newLib.numDevices = 0;
  Run();
  EXPECT_EQ(display[DisplayField::ProdString], summary);
  ExpectNoDevice();
}

TEST_F(Probe, BuffersAreNotClearedBetweenTheTwoAttempts) {
  // The new attempt lists the bridge but cannot open it; the old one opens it without listing.
  newLib.statuses = {{"Open", 1}};
  newLib.list = {"S", "D", "P"};
  oldLib.numDevices = 1;
  oldLib.silent = {"GetProductString"};
  Run();
  EXPECT_EQ(display[DisplayField::ProdString], u"S D P");
  EXPECT_EQ(display[DisplayField::DriverType], u"Old driver");
}

TEST_F(Probe, StringLengthsDecideTheReadOuts) {
  newLib.serialLength = 0;
  newLib.product = "Bridge";
  newLib.productLength = 3;
  Run();
  EXPECT_EQ(display[DisplayField::Rsernum], u"");
  EXPECT_EQ(display[DisplayField::Rprodstr], u"Bri");
}

TEST_F(Probe, OverlongSerialIsASubscriptFaultAfterTheDeviceIsClosed) {
  newLib.serial = std::string(64, 'S');
  newLib.serialLength = 80;
  try {
    Run();
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind(), FaultKind::Subscript);
  }
  EXPECT_EQ(newLib.Count("Close"), 1u);
  EXPECT_EQ(newLib.calls.back(), "Close");
}

TEST_F(Probe, UnterminatedListStringIsASubscriptFault) {
  newLib.list[kListDescription] = std::string(300, 'x');
  newLib.unterminated[kListDescription] = true;
  try {
    Run();
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind(), FaultKind::Subscript);
    EXPECT_EQ(fault.Subject(), "LenArray");
  }
}

TEST_F(Probe, FaultBetweenOpenAndCloseClosesTheDeviceOnce) {
  for (const char* missing : {"GetDeviceVid", "GetDeviceProductString"}) {
    SCOPED_TRACE(missing);
    newLib.calls.clear();
    newLib.throwing = {missing};
    EXPECT_THROW(Run(), Fault);
    EXPECT_EQ(newLib.Count("Close"), 1u);
    EXPECT_EQ(newLib.calls.back(), "Close");
    EXPECT_THAT(oldLib.calls, IsEmpty());
  }
  // A close that faults as well does not hide the first fault.
  newLib.throwing = {"GetDevicePid", "Close"};
  try {
    Run();
    FAIL() << "no fault";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Subject(), "CP210x_GetDevicePid");
  }
}

TEST_F(Probe, FaultBeforeOpenClosesNothing) {
  newLib.numDevices = 0;
  oldLib.throwing = {"GetNumDevices"};
  EXPECT_THROW(Run(), Fault);
  EXPECT_EQ(oldLib.Count("Close"), 0u);
  EXPECT_EQ(display[DisplayField::DriverType], u"No device");
}

}  // namespace
}  // namespace tornak
