// What the read-outs offer besides their text: a tooltip with the whole of a clipped one, and
// the identity copied to the clipboard by Ctrl+C and by the context menu.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>

#include "window/identity_copy.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

using Tooltips = WindowTest;

// The pointer resting on a clipped read-out shows its tooltip, and the ticks, which set the same
// text again, leave it showing; a read-out that fits has none.
TEST_F(Tooltips, OnlyAClippedReadoutHasOneItHoldsTheWholeTextAndStaysOverTicks) {
  newFake.numDevices = 1;
  newFake.product = "CP2102N USB to UART Bridge Controller, revision A01, made for the Kavren bench";
  newFake.list[kListFullPath] = "\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  // Serials either side of the read-out's width in its own font. The DC's default font is wider
  // at 96 DPI and, not scaled, narrower at 144: measured in it, one of them gets the wrong answer.
  const std::wstring fits = L"KAVREN-BENCH-2024-A4C9E2";
  const std::wstring clipped = fits + L"-01";
  newFake.serial = "KAVREN-BENCH-2024-A4C9E2";
  Open();
  RECT client{};
  GetClientRect(window->Control("Rsernum"), &client);
  auto fitsIn = [&](const std::wstring& text, HGDIOBJ font) {
    return TextExtent(window->Control("Rsernum"), text, font).cx <= client.right;
  };
  ASSERT_TRUE(fitsIn(fits, nullptr) && !fitsIn(clipped, nullptr));
  const HGDIOBJ dcDefault = GetStockObject(SYSTEM_FONT);
  ASSERT_TRUE(!fitsIn(fits, dcDefault) || fitsIn(clipped, dcDefault)) << "the serials do not tell the fonts apart";
  const HWND tips = window->Tooltips();
  for (const char* clipped : {"Rprodstr", "ProdString"})
    EXPECT_EQ(TipOf(tips, window->Control(clipped)), Field(clipped)) << clipped;
  for (const char* fits : {"Rvid", "Rpid", "Rsernum", "DriverType"})
    EXPECT_EQ(TipOf(tips, window->Control(fits)), std::nullopt) << fits;

  SetForegroundWindow(Hwnd());
  RECT field{};
  GetWindowRect(window->Control("Rprodstr"), &field);
  // Wine's tooltip now and then pops of its own accord on a busy machine; a tick that takes it
  // away does so every time, so one of three rests of the pointer must see it over a tick.
  bool stayed = false;
  for (int rest = 0; rest < 3 && !stayed; ++rest) {
    for (int nudge : {0, 1}) {
      SetCursorPos((field.left + field.right) / 2 + nudge, (field.top + field.bottom) / 2);
      Pump(50);
    }
    ASSERT_TRUE(Pump(3000, [&] { return IsWindowVisible(tips) != FALSE; })) << "no tooltip under the pointer";
    const std::size_t ticks = newLib.countTimes.size();
    ASSERT_TRUE(Pump(kTwoTicksAndAMarginMs, [&] { return newLib.countTimes.size() > ticks; }));
    stayed = Pump(100) && IsWindowVisible(tips);
    SetCursorPos(4, 4);
    Pump(100, [&] { return !IsWindowVisible(tips); });
  }
  EXPECT_TRUE(stayed) << "a tick took the tooltip away";

  // Once the text fits again, the tooltip goes with it; the serial a little too long gets one.
  newFake.product = "CP2102N";
  newFake.serial = "KAVREN-BENCH-2024-A4C9E2-01";
  ASSERT_TRUE(PumpUntilField("Rprodstr", L"CP2102N"));
  EXPECT_EQ(TipOf(tips, window->Control("Rprodstr")), std::nullopt);
  EXPECT_EQ(TipOf(tips, window->Control("Rsernum")), clipped);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

class Copy : public WindowTest {
 protected:
  // Ctrl+C pressed on a button of the window, through the program's own loop step; what it put
  // on the clipboard.
  std::wstring PressCtrlC() {
    EXPECT_TRUE(CopyToClipboard(nullptr, L"before"));
    BYTE keys[256]{};
    GetKeyboardState(keys);
    const BYTE control = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    const UniqueAccelerators accelerators = CreateCopyAccelerators();
    MSG message{window->Control("SetKavrenPID"), WM_KEYDOWN, 'C', 0x002E0001, GetTickCount(), {}};
    if (!TranslateWindowMessage(Hwnd(), accelerators.Get(), message)) ADD_FAILURE() << "Ctrl+C not taken as a shortcut";
    keys[VK_CONTROL] = control;
    SetKeyboardState(keys);
    return ClipboardText();
  }

  struct MenuSeen {
    std::vector<std::wstring> items;  // as shown, "(greyed)" after a greyed one
    std::wstring copied;              // the clipboard afterwards
  };

  // Right-clicks at a read-out (by name), the window's background ("background") or its title bar
  // ("title bar"), or presses the menu key ("keyboard"); a helper reads the menu that opens, then
  // presses the down arrow `downs` times and Enter, or Escape for no downs. Every wait is bounded,
  // so that a menu that does not open or does not close fails rather than hangs.
  MenuSeen OpenMenu(const std::string& at, int downs) {
    EXPECT_TRUE(CopyToClipboard(nullptr, L"before"));
    RECT r{};
    GetWindowRect(Hwnd(), &r);
    POINT client{0, 0};
    ClientToScreen(Hwnd(), &client);
    POINT point{(r.left + r.right) / 2, (r.top + client.y) / 2};  // the title bar
    HWND clicked = Hwnd();
    if (at == "background") {
      point = {client.x + 1, client.y + 1};
    } else if (at != "title bar" && at != "keyboard") {
      clicked = window->Control(at);
      GetWindowRect(clicked, &r);
      point = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    MenuSeen seen;
    std::atomic<bool> done{false};
    std::thread helper([&, target = Hwnd()] {
      std::vector<HWND> menus;
      for (int waited = 0; menus.empty() && waited < 3000 && !done; waited += 20, Sleep(20))
        menus = WindowsOfProcess(GetCurrentProcessId(), L"#32768", true);
      if (menus.empty()) return;
      const auto menu = reinterpret_cast<HMENU>(SendMessageW(menus.front(), MN_GETHMENU, 0, 0));
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128]{};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        const bool greyed = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED;
        seen.items.push_back(std::wstring(text) + (greyed ? L" (greyed)" : L""));
      }
      for (int i = 0; i < downs; ++i) PostMessageW(target, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(target, WM_KEYDOWN, downs > 0 ? VK_RETURN : VK_ESCAPE, 0);
      for (int waited = 0; !done && waited < 3000; waited += 20) Sleep(20);
      if (!done) PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const DWORD start = GetTickCount();
    SendMessageW(Hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(clicked),
                 at == "keyboard" ? -1 : MAKELPARAM(point.x, point.y));
    done = true;
    helper.join();
    EXPECT_LT(GetTickCount() - start, 2500u) << "the menu did not take the keys";
    seen.copied = ClipboardText();
    return seen;
  }
};

TEST_F(Copy, CtrlCAndTheMenuCopyAllOrOneValueAndNoDeviceSaysSo) {
  Open();
  EXPECT_EQ(PressCtrlC(),
            L"VID: \r\nPID: \r\nSerial number: \r\nProduct string: \r\nDevice list entry: \r\nDriver Type: No device");

  newFake.numDevices = 1;
  ASSERT_TRUE(PumpUntilField("DriverType", L"New driver"));
  const std::wstring all =
      L"VID: 10C4\r\nPID: EA60\r\nSerial number: 0001\r\n"
      L"Product string: CP2102 USB to UART Bridge Controller\r\n"
      L"Device list entry: 0001 CP2102 USB to UART Bridge Controller "
      L"\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\r\n"
      L"Driver Type: New driver";
  EXPECT_EQ(PressCtrlC(), all);
  // Copy all is the second item; the first copies the read-out clicked, and is greyed where none is.
  const struct {
    const char* at;
    const wchar_t* first;
  } menus[] = {{"Rsernum", L"&Copy Serial number"}, {"keyboard", L"&Copy value (greyed)"},
               {"background", L"&Copy value (greyed)"}};
  for (const auto& menu : menus) {
    const MenuSeen seen = OpenMenu(menu.at, 2);
    EXPECT_THAT(seen.items, ElementsAre(menu.first, L"Copy &all")) << menu.at;
    EXPECT_EQ(seen.copied, all) << menu.at;
  }
  for (const char* name : {"Rsernum", "Rpid", "ProdString"}) EXPECT_EQ(OpenMenu(name, 1).copied, Field(name)) << name;

  // The title bar keeps the system's menu.
  const MenuSeen title = OpenMenu("title bar", 0);
  EXPECT_THAT(title.items, AllOf(Not(IsEmpty()), Not(Contains(L"Copy &all"))));
  EXPECT_EQ(title.copied, L"before");
}

}  // namespace
}  // namespace tornak::testing
