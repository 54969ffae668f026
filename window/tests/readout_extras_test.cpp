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

// The pointer resting on a clipped read-out shows its tooltip, and the ticks, which set the same
// text again, leave it showing; a read-out that fits has none.
TEST_F(Tooltips, OnlyAClippedReadoutHasOneItHoldsTheWholeTextAndStaysOverTicks) {
  newFake.numDevices = 1;
  newFake.product = "CP2102N USB to UART Bridge Controller, revision A01, made for the Kavren bench";
  newFake.list[kListFullPath] = "\\\\?\\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  Open();
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
    ASSERT_TRUE(Pump(1500, [&] { return newLib.countTimes.size() > ticks; }));
    stayed = Pump(100) && IsWindowVisible(tips);
    SetCursorPos(4, 4);
    Pump(100, [&] { return !IsWindowVisible(tips); });
  }
  EXPECT_TRUE(stayed) << "a tick took the tooltip away";

  // Once the text fits again, the tooltip goes with it.
  newFake.product = "CP2102N";
  ASSERT_TRUE(PumpUntilField("Rprodstr", L"CP2102N"));
  EXPECT_EQ(TipOf(tips, window->Control("Rprodstr")), std::nullopt);
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

  // Opens the context menu as a right-click on the read-out would, or the menu key (no name),
  // and picks an item with the arrow keys; what it put on the clipboard. A helper closes a menu
  // that does not react, so that the test cannot hang.
  std::wstring ChooseFromMenu(const char* name, int downs) {
    EXPECT_TRUE(CopyToClipboard(nullptr, L"before"));
    RECT r{};
    GetWindowRect(window->Control(name ? name : ""), &r);
    const LPARAM where = name ? MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2) : -1;
    for (int i = 0; i < downs; ++i) PostMessageW(Hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(Hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    std::atomic<bool> closed{false};
    std::thread guard([target = Hwnd(), &closed] {
      for (int waited = 0; !closed && waited < 5000; waited += 20) Sleep(20);
      if (!closed) PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const DWORD start = GetTickCount();
    SendMessageW(Hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(name ? window->Control(name) : Hwnd()), where);
    closed = true;
    guard.join();
    EXPECT_LT(GetTickCount() - start, 4000u) << "the menu did not take the keys";
    return ClipboardText();
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
  // On a read-out, Copy all is the second item; from the keyboard the first is greyed.
  EXPECT_EQ(ChooseFromMenu("Rsernum", 2), all);
  EXPECT_EQ(ChooseFromMenu(nullptr, 2), all);
  for (const char* name : {"Rsernum", "Rpid", "ProdString"}) EXPECT_EQ(ChooseFromMenu(name, 1), Field(name)) << name;
}

}  // namespace
}  // namespace tornak::testing
