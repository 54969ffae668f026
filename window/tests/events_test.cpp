#include <algorithm>
#include <atomic>
#include <thread>

#include <gmock/gmock.h>

#include "convert/convert.hpp"
#include "cp210x/loaded_cp210x.hpp"
#include "identity/presets.hpp"
#include "identity/probe.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::wstring kWarning = L"Only one device supported!\r\nDisconnect all other Silabs-based.";

using Events = WindowTest;

TEST_F(Events, LoadProbesBeforeTheWindowIsShownWithTheHandleSlotAtMinusOne) {
  newFake.numDevices = 2;
  oldFake.numDevices = 2;
  Open();
  // Two bridges: one warning from each generation's attempt, both before the window appears.
  ASSERT_EQ(boxes.size(), 2u);
  for (const RecordedBox& box : boxes) {
    EXPECT_EQ(box.owner, Hwnd());
    EXPECT_FALSE(box.ownerVisible);
    EXPECT_EQ(box.text, kWarning);
    EXPECT_EQ(box.caption, nullptr);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  }
  EXPECT_TRUE(IsWindowVisible(Hwnd()));
  EXPECT_EQ(Field("DriverType"), L"No device");

  newFake.numDevices = 1;
  ASSERT_TRUE(PumpUntilField("DriverType", L"New driver"));
  ASSERT_FALSE(newLib.handlesGivenToOpen.empty());
  EXPECT_EQ(newLib.handlesGivenToOpen.front(), -1);
}

TEST_F(Events, ReadoutsFollowTheBridgeAsItComesAndGoes) {
  Open();
  EXPECT_EQ(Field("DriverType"), L"No device");

  newFake.numDevices = 1;
  ASSERT_TRUE(PumpUntilField("DriverType", L"New driver"));
  EXPECT_EQ(Field("Rvid"), L"10C4");
  EXPECT_EQ(Field("Rpid"), L"EA60");
  EXPECT_EQ(Field("Rsernum"), L"0001");
  EXPECT_EQ(Field("Rprodstr"), L"CP2102 USB to UART Bridge Controller");
  EXPECT_EQ(Field("ProdString"), L"0001 CP2102 USB to UART Bridge Controller "
                                 L"\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");

  newFake.numDevices = 0;
  oldFake.numDevices = 1;
  oldFake.pid = 0xEA61;
  ASSERT_TRUE(PumpUntilField("DriverType", L"Old driver"));
  EXPECT_EQ(Field("Rpid"), L"EA61");

  oldFake.numDevices = 0;
  ASSERT_TRUE(PumpUntilField("DriverType", L"No device"));
  ExpectNoDeviceShown();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Events, TimerProbesOnceAPeriod) {
  Open();
  newLib.countTimes.clear();
  Pump(5 * kTimer1PeriodMs + 200);  // five ticks and a little
  // Loose on purpose: a busy machine delays ticks, it never brings them early.
  ASSERT_GE(newLib.countTimes.size(), 3u);
  EXPECT_LE(newLib.countTimes.size(), 6u);
  DWORD shortest = MAXDWORD;
  for (std::size_t i = 1; i < newLib.countTimes.size(); ++i)
    shortest = std::min(shortest, newLib.countTimes[i] - newLib.countTimes[i - 1]);
  const DWORD coarseness = 100;  // of the system's timers, and of noticing a tick
  EXPECT_GE(shortest, kTimer1PeriodMs - coarseness);
  EXPECT_LT(shortest, kTimer1PeriodMs + 4 * coarseness);
}

TEST_F(Events, EachButtonWritesItsPresetAndLeavesTheScreenToTheNextTick) {
  newFake.numDevices = 1;
  Open();
  for (const IdentityPreset& preset : kIdentityPresets) {
    SCOPED_TRACE(std::string(preset.button));
    const std::wstring before = Field("Rpid");
    SendMessageW(window->Control(preset.button), BM_CLICK, 0, 0);
    EXPECT_EQ(std::uint32_t{newFake.pid}, static_cast<std::uint32_t>(HexString2num(Text(preset.pidText))));
    EXPECT_EQ(newFake.vid, 0x10C4);
    EXPECT_EQ(Field("Rpid"), before);
    // The bridge comes back under its new identity; the next probe shows it.
    EXPECT_TRUE(PumpUntilField("Rpid", Wide(preset.pidText)));
  }
  EXPECT_EQ(newFake.Count("Reset"), 3u);
}

TEST_F(Events, MissingLibraryIsReportedOnceAndTheReadoutsRecoverWhenItArrives) {
  LoadedCp210x absent("tornak-absent-library.dll");
  newLib.target = &absent;
  Open();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(boxes[0].ownerVisible);
  EXPECT_THAT(boxes[0].text, HasSubstr(L"tornak-absent-library.dll could not be found"));
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  ExpectNoDeviceShown();

  Pump(3 * kTimer1PeriodMs + 200);  // three ticks and a little, each meeting the same missing library
  EXPECT_EQ(boxes.size(), 1u);

  newFake.numDevices = 1;
  newLib.target = &newFake;
  ASSERT_TRUE(PumpUntilField("Rvid", L"10C4"));
  EXPECT_EQ(boxes.size(), 1u);

  // After a probe got through, the same fault is news again.
  newLib.target = &absent;
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return boxes.size() == 2; }));
  EXPECT_EQ(boxes[1].text, boxes[0].text);
}

TEST_F(Events, FaultsBlankStaleValuesAndAnotherFaultIsReportedAgain) {
  newFake.numDevices = 1;
  Open();
  ASSERT_EQ(Field("Rvid"), L"10C4");

  newFake.throwing = {"GetDeviceVid"};
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return boxes.size() == 1; }));
  EXPECT_THAT(boxes[0].text, HasSubstr(L"CP210xManufacturingN.dll has no entry point CP210x_GetDeviceVid"));
  ExpectNoDeviceShown();

  newFake.throwing = {"GetDevicePid"};
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return boxes.size() == 2; }));
  EXPECT_THAT(boxes[1].text, HasSubstr(L"CP210x_GetDevicePid"));

  // A press always gets its answer, even to the fault the ticks already reported.
  newFake.throwing = {"GetNumDevices"};
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return boxes.size() == 3; }));
  SendMessageW(window->Control("SetKavrenPID"), BM_CLICK, 0, 0);
  EXPECT_EQ(boxes.size(), 4u);
  EXPECT_TRUE(IsWindow(Hwnd()));
}

TEST_F(Events, AnyExceptionIsCaughtAtTheBoundary) {
  newLib.beforeEachCall = [] { throw std::length_error("vector too long"); };
  Open();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_THAT(boxes[0].text, HasSubstr(L"vector too long"));
  newLib.beforeEachCall = [] { throw 42; };
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return boxes.size() == 2; }));
  EXPECT_THAT(boxes[1].text, HasSubstr(L"unexpected"));
  newLib.beforeEachCall = nullptr;
  newFake.numDevices = 1;
  EXPECT_TRUE(PumpUntilField("DriverType", L"New driver"));
}

TEST_F(Events, TicksWaitWhileABoxIsOpenSoBoxesNeverStack) {
  newFake.numDevices = 2;
  oldFake.numDevices = 2;
  holdMs = 5 * kTimer1PeriodMs / 2;  // a user slow to answer: two ticks or more arrive under each box
  Open();
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(newFake.Count("GetNumDevices"), 1u);
  EXPECT_EQ(oldFake.Count("GetNumDevices"), 1u);
}

// Closed under its box, the window is gone: the probe that showed the box goes no further (the
// old generation is not even counted), no box follows, and the loop is asked to end.
TEST_F(Events, ClosingTheWindowUnderABoxEndsTheEventThere) {
  Open([this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    boxes.push_back({owner, text, caption, type, true});
    SendMessageW(owner, WM_CLOSE, 0, 0);
    return 0;  // what a box closed with its owner answers
  });
  newFake.numDevices = 2;
  oldFake.numDevices = 2;
  oldFake.calls.clear();
  const HWND closing = Hwnd();
  ASSERT_TRUE(Pump(kAFewTicksMs, [&] { return !IsWindow(closing); })) << "no tick showed a box, or the window stayed";
  Pump(kTimer1PeriodMs + 100);  // a tick's time for anything still to come
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_THAT(oldFake.calls, IsEmpty()) << "the old library was used after the window closed";
  EXPECT_EQ(quitMessages, 1u);
}

// Real message boxes, found and answered from another thread the way a user would.
class RealBoxes : public WindowTest {
 protected:
  struct Seen {
    std::wstring title;
    std::wstring text;
  };

  // Closes each box of this process after it has been open for hold ms. Calls beforeLast just
  // before closing box number count, then goes on answering for a while, so that a box too many
  // is counted (and closed) rather than left hanging the test.
  void AnswerBoxes(std::size_t count, DWORD hold, std::function<void()> beforeLast) {
    helper = std::thread([=, this] {
      const DWORD deadline = GetTickCount() + 20000;
      DWORD end = deadline;
      while (GetTickCount() < end) {
        std::vector<HWND> open = OpenBoxes();
        maxOpen = std::max<std::size_t>(maxOpen, open.size());
        if (open.empty()) {
          Sleep(50);
          continue;
        }
        Sleep(hold);
        open = OpenBoxes();
        maxOpen = std::max<std::size_t>(maxOpen, open.size());
        if (open.empty()) continue;
        wchar_t text[512]{};
        GetDlgItemTextW(open.front(), 0xFFFF, text, 512);
        seen.push_back({WindowText(open.front()), text});
        if (seen.size() == count) {
          if (beforeLast) beforeLast();
          end = std::min(deadline, GetTickCount() + 2000);
        }
        PostMessageW(open.front(), WM_COMMAND, IDOK, 0);
        Sleep(200);
      }
    });
  }

  static std::vector<HWND> OpenBoxes() { return WindowsOfProcess(GetCurrentProcessId(), kMessageBoxClass, true); }

  ~RealBoxes() override {
    if (helper.joinable()) helper.join();
  }

  std::thread helper;
  std::vector<Seen> seen;
  std::atomic<std::size_t> maxOpen{0};
};

TEST_F(RealBoxes, TwoBridgesGiveOneWarningAtATimeAndNoProbeUntilItIsClosed) {
  newFake.numDevices = 2;
  oldFake.numDevices = 2;
  AnswerBoxes(2, 5 * kTimer1PeriodMs / 2, [this] { newFake.numDevices = 1; });  // two ticks or more under each
  Open(&MessageBoxW);
  const std::size_t probes = newFake.Count("GetNumDevices");
  Pump(4 * kTimer1PeriodMs + 100);
  helper.join();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(maxOpen.load(), 1u);
  for (const Seen& box : seen) EXPECT_EQ(box.text, kWarning);
  EXPECT_EQ(seen[0].title, L"Error");  // no title of its own
  EXPECT_EQ(probes, 1u);
  EXPECT_EQ(Field("DriverType"), L"New driver");
}

TEST_F(RealBoxes, MissingLibraryBoxNamesTheFileAndComesOnce) {
  LoadedCp210x absent("tornak-absent-library.dll");
  newLib.target = &absent;
  AnswerBoxes(1, kTimer1PeriodMs / 2, nullptr);
  Open(&MessageBoxW);
  Pump(4 * kTimer1PeriodMs + 100);  // ticks meet the same missing library again
  helper.join();
  ASSERT_EQ(seen.size(), 1u) << "the same fault reported again";
  EXPECT_THAT(seen[0].text, HasSubstr(L"tornak-absent-library.dll"));
  EXPECT_EQ(seen[0].title, kWindowCaption);
}

}  // namespace
}  // namespace tornak::testing
