// The window probes at once when Windows announces a device change, outside Timer1's rhythm:
// each case starts right after a tick, so that a change shown before the next one could only
// have come through the announcement.
#include <windows.h>
#include <dbt.h>

#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

class DeviceChanges : public WindowTest {
 protected:
  // Returns when a tick has just probed; the time it did.
  DWORD AfterATick() {
    const std::size_t before = newLib.countTimes.size();
    EXPECT_TRUE(Pump(kTwoTicksAndAMarginMs, [&] { return newLib.countTimes.size() > before; })) << "no tick";
    return GetTickCount();
  }

  void Announce() { PostMessageW(Hwnd(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0); }
};

TEST_F(DeviceChanges, AnAnnouncementOrABurstOfThemBringsOneProbeThatShowsTheChange) {
  newFake.numDevices = 1;
  Open();
  const struct {
    int messages;
    std::uint16_t pid;
    const wchar_t* shown;
  } cases[] = {{1, 0x840E, L"840E"}, {10, 0xEA61, L"EA61"}};
  for (const auto& change : cases) {
    SCOPED_TRACE(change.messages);
    const DWORD tick = AfterATick();
    const std::size_t before = newLib.countTimes.size();
    newFake.pid = change.pid;
    // A burst as Windows sends one, each message re-arming the wait. Queued together, so that a
    // busy machine cannot spread them wider than the wait.
    for (int i = 0; i < change.messages; ++i) Announce();
    const DWORD announced = GetTickCount();
    ASSERT_TRUE(PumpUntilField("Rpid", change.shown, kBeforeTheNextTickMs)) << "only a tick would show it";
    EXPECT_LT(GetTickCount() - announced, kAnnouncedProbeWithinMs);
    // Nothing more until the next tick is due.
    const DWORD untilTick = tick + kBeforeTheNextTickMs - GetTickCount();
    if (static_cast<LONG>(untilTick) > 0) Pump(untilTick);
    EXPECT_EQ(newLib.countTimes.size(), before + 1);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DeviceChanges, AnAnnouncementUnderAnOpenBoxIsDroppedLikeATick) {
  newFake.numDevices = 2;
  oldFake.numDevices = 2;
  std::size_t probesUnderTheBox = 0;
  Open([&](HWND, const wchar_t*, const wchar_t*, UINT) {
    const std::size_t before = newFake.Count("GetNumDevices") + oldFake.Count("GetNumDevices");
    Announce();
    Pump(kAnnouncedProbeWithinMs);
    probesUnderTheBox += newFake.Count("GetNumDevices") + oldFake.Count("GetNumDevices") - before;
    return IDOK;
  });
  EXPECT_EQ(probesUnderTheBox, 0u);

  // Once the box is answered, the next announcement probes as usual, and so does the arrival of
  // a USB device interface.
  newFake.numDevices = 1;
  oldFake.numDevices = 0;
  AfterATick();
  newFake.pid = 0x840E;
  DEV_BROADCAST_DEVICEINTERFACE_W usb{};
  usb.dbcc_size = sizeof usb;
  usb.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  SendMessageW(Hwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&usb));
  EXPECT_TRUE(PumpUntilField("Rpid", L"840E", kBeforeTheNextTickMs));
}

}  // namespace
}  // namespace tornak::testing
