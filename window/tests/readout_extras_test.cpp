// What the read-outs offer besides their text: a tooltip with the whole of a clipped one, and
// the identity copied to the clipboard by Ctrl+C and by the context menu.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <optional>
#include <thread>

#include "window/identity_copy.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

using Tooltips = WindowTest;

// The tooltip's text for a control; nullopt when the control has none.
std::optional<std::wstring> TipOf(HWND tooltips, HWND control) {
  std::wstring text(4096, L'\0');
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  if (!SendMessageW(tooltips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return std::nullopt;
  tool.lpszText = text.data();
  SendMessageW(tooltips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
  text.resize(wcslen(text.c_str()));
  return text;
}

TEST_F(Tooltips, OnlyAClippedReadoutHasOneAndItHoldsTheWholeText) {
  newFake.numDevices = 1;
  newFake.product = "CP2102N USB to UART Bridge Controller, revision A01, made for the Kavren bench";
  newFake.listStrings[2] = "\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  Open();
  const HWND tips = window->Tooltips();
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(TipOf(tips, window->Control("Rprodstr")), Field("Rprodstr"));
  EXPECT_EQ(TipOf(tips, window->Control("ProdString")), Field("ProdString"));
  EXPECT_NE(Field("ProdString").find(L"{a5dcbf10"), std::wstring::npos);
  for (const char* fits : {"Rvid", "Rpid", "Rsernum", "DriverType"})
    EXPECT_EQ(TipOf(tips, window->Control(fits)), std::nullopt) << fits;

  // Once the text fits again, the tooltip goes with it.
  newFake.product = "CP2102N";
  ASSERT_TRUE(PumpUntilField("Rprodstr", L"CP2102N"));
  EXPECT_EQ(TipOf(tips, window->Control("Rprodstr")), std::nullopt);
}

// The pointer resting on a clipped read-out, as the user's: the tooltip shows, and the ticks,
// which set the same text again, leave it showing.
TEST_F(Tooltips, ShowsUnderTheRestingPointerAndStaysOverTicks) {
  newFake.numDevices = 1;
  newFake.product = "CP2102N USB to UART Bridge Controller, revision A01, made for the Kavren bench";
  Open();
  SetForegroundWindow(Hwnd());
  RECT field{};
  GetWindowRect(window->Control("Rprodstr"), &field);
  ASSERT_TRUE(SetCursorPos((field.left + field.right) / 2, (field.top + field.bottom) / 2));
  Pump(50);
  SetCursorPos((field.left + field.right) / 2 + 1, (field.top + field.bottom) / 2);
  const HWND tips = window->Tooltips();
  ASSERT_TRUE(Pump(3000, [&] { return IsWindowVisible(tips) != FALSE; })) << "no tooltip under the pointer";
  const std::size_t ticks = newLib.countTimes.size();
  ASSERT_TRUE(Pump(1500, [&] { return newLib.countTimes.size() > ticks; }));
  Pump(100);
  EXPECT_TRUE(IsWindowVisible(tips)) << "a tick took the tooltip away";
  SetCursorPos(4, 4);
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

void PutOnClipboard(const std::wstring& text) { ASSERT_TRUE(CopyToClipboard(nullptr, text)); }

class Copy : public WindowTest {
 protected:
  // Ctrl+C pressed on the window's focused button, through the program's own loop step.
  void PressCtrlC() {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    BYTE withControl[256];
    std::copy(std::begin(keys), std::end(keys), withControl);
    withControl[VK_CONTROL] = 0x80;
    SetKeyboardState(withControl);
    const UniqueAccelerators accelerators = CreateCopyAccelerators();
    MSG message{GetFocus(), WM_KEYDOWN, 'C', 0x002E0001, GetTickCount(), {}};
    if (!TranslateWindowMessage(Hwnd(), accelerators.Get(), message)) ADD_FAILURE() << "Ctrl+C not taken as a shortcut";
    SetKeyboardState(keys);
  }

  // Opens the context menu as the click or key would and picks an item with the arrow keys, as
  // the user does; a helper closes the menu should it not react, so that the test cannot hang.
  void ChooseFromMenu(HWND clicked, LPARAM where, int downs) {
    for (int i = 0; i < downs; ++i) PostMessageW(Hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(Hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    const HWND target = Hwnd();
    std::atomic<bool> closed{false};
    std::thread guard([target, &closed] {
      for (int waited = 0; !closed && waited < 5000; waited += 20) Sleep(20);
      if (!closed) PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const DWORD start = GetTickCount();
    SendMessageW(Hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(clicked), where);
    closed = true;
    guard.join();
    EXPECT_LT(GetTickCount() - start, 4000u) << "the menu did not take the keys";
    Pump(0);
  }

  static LPARAM CentreOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }

  static constexpr wchar_t kAll[] =
      L"VID: 10C4\r\nPID: EA60\r\nSerial number: 0001\r\n"
      L"Product string: CP2102N USB to UART Bridge Controller\r\n"
      L"Device list entry: 0001 CP2102N USB to UART Bridge Controller \\\\?\\usb#vid_10c4&pid_ea60#0001\r\n"
      L"Driver Type: New driver";
};

TEST_F(Copy, CtrlCAndCopyAllGiveEveryReadoutWithItsCaption) {
  newFake.numDevices = 1;
  Open();
  PutOnClipboard(L"before");
  PressCtrlC();
  EXPECT_EQ(ClipboardText(), kAll);

  PutOnClipboard(L"before");
  ChooseFromMenu(window->Control("Rsernum"), CentreOf(window->Control("Rsernum")), 2);
  EXPECT_EQ(ClipboardText(), kAll);

  // From the keyboard no read-out is meant: the first item is greyed, and Copy all still works.
  PutOnClipboard(L"before");
  ChooseFromMenu(Hwnd(), -1, 2);
  EXPECT_EQ(ClipboardText(), kAll);
}

TEST_F(Copy, TheMenuOfAReadoutCopiesItsValueAlone) {
  newFake.numDevices = 1;
  newFake.serial = "SN-4711";
  Open();
  for (const char* name : {"Rsernum", "Rpid", "ProdString"}) {
    SCOPED_TRACE(name);
    PutOnClipboard(L"before");
    ChooseFromMenu(window->Control(name), CentreOf(window->Control(name)), 1);
    EXPECT_EQ(ClipboardText(), Field(name));
  }
  EXPECT_EQ(Field("Rsernum"), L"SN-4711");
}

TEST_F(Copy, WithNoDeviceTheCopySaysSoWithTheValuesEmpty) {
  Open();
  PutOnClipboard(L"before");
  PressCtrlC();
  EXPECT_EQ(ClipboardText(),
            L"VID: \r\nPID: \r\nSerial number: \r\nProduct string: \r\nDevice list entry: \r\nDriver Type: No device");
}

}  // namespace
}  // namespace tornak::testing
