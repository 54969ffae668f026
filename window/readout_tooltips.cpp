#include "window/readout_tooltips.hpp"

#include <commctrl.h>

#include <string>

#include "window/window_text.hpp"

namespace tornak {
namespace {

// Measured the way the static control draws it: one line, in its own font.
bool IsClipped(HWND control, const std::wstring& text) {
  if (text.empty()) return false;
  RECT client{};
  GetClientRect(control, &client);
  HDC dc = GetDC(control);
  const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT needed{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return needed.right > client.right;
}

}  // namespace

void ReadoutTooltips::Create(HWND window) {
  const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  // A device path has no spaces to wrap at; let the tip be as wide as the screen.
  if (tooltip_ != nullptr) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
}

void ReadoutTooltips::Update(HWND control) const {
  if (tooltip_ == nullptr || control == nullptr) return;
  std::wstring text = WindowText(control);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  const bool present = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
  const bool clipped = IsClipped(control, text);
  // Every tick sets the read-outs again, mostly to the same text: the tool is left alone then,
  // or a tooltip being read would vanish at each tick, and one waiting to show would never show.
  if (!clipped) {
    if (present) SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  // The tooltip keeps a copy of the text.
  tool.lpszText = text.data();
  SendMessageW(tooltip_, present ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace tornak
