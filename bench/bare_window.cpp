// The baseline of the start-up, CPU and memory figures: an empty window, painted by the system
// and nothing else, with tornak.exe's icon and manifest and its build flags.
//
// Built three times more, each adding one part of what tornak.exe does before its window shows:
// BARE_WINDOW_COMMON_CONTROLS loads Common Controls 6 as tornak.exe does, BARE_WINDOW_CONTROLS
// also creates tornak.exe's twelve controls with its dialog font, and
// BARE_WINDOW_DEVICE_NOTIFICATION also asks for the USB device notifications tornak.exe asks for.

#include <windows.h>

#if BARE_WINDOW_COMMON_CONTROLS
#include <commctrl.h>
#endif
#if BARE_WINDOW_CONTROLS
#include <string>

#include "system/text_conversions_win.hpp"
#include "window/layout.hpp"
#endif
#if BARE_WINDOW_DEVICE_NOTIFICATION
#include "window/device_change.hpp"
#endif

namespace {

constexpr wchar_t kClassName[] = L"tornakbare";

#if BARE_WINDOW_DEVICE_NOTIFICATION
// Kept for the window's lifetime, as tornak.exe keeps its own.
tornak::UniqueDeviceNotification deviceNotification;
#endif

#if BARE_WINDOW_CONTROLS
// As MainWindow creates them, at 96 DPI; their contents and events are left out.
void CreateControls(HWND window) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, 96, 72);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
  HFONT dialogFont = CreateFontIndirectW(&font);
  int id = tornak::kFirstControlId;
  for (const tornak::ControlRow& row : tornak::kControls) {
    const bool button = row.kind == tornak::ControlKind::PushButton;
    const DWORD style = WS_CHILD | WS_VISIBLE | (button ? WS_TABSTOP | BS_PUSHBUTTON : SS_LEFTNOWORDWRAP | SS_NOPREFIX);
    const std::wstring caption = tornak::Wide(row.caption);
    HWND control = CreateWindowExW(row.border ? WS_EX_STATICEDGE : 0, button ? L"Button" : L"Static", caption.c_str(),
                                   style, MulDiv(row.twips.left, 96, 1440), MulDiv(row.twips.top, 96, 1440),
                                   MulDiv(row.twips.width, 96, 1440), MulDiv(row.twips.height, 96, 1440), window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), FALSE);
  }
}
#endif

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
#if BARE_WINDOW_CONTROLS
    case WM_CREATE:
      CreateControls(window);
#if BARE_WINDOW_DEVICE_NOTIFICATION
      deviceNotification = tornak::RegisterForUsbDeviceInterfaces(window);
#endif
      return 0;
#endif
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#if BARE_WINDOW_COMMON_CONTROLS
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
#endif
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProcedure;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (RegisterClassExW(&wc) == 0) return 1;
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"bare window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                CW_USEDEFAULT, CW_USEDEFAULT, 520, 150, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
