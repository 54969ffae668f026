#include "window/controls.hpp"

#include <commctrl.h>

#include <utility>

#include "system/text_conversions_win.hpp"
#include "window/carried_value.hpp"

namespace tornak {
namespace {

// The classic dialog font (Tahoma 8 pt where it exists) rather than the larger message font
// of newer systems: the design's 195-twip labels hold one line of it without clipping.
UniqueFont CreateDialogFont(unsigned dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
  return UniqueFont(CreateFontIndirectW(&font));
}

HWND CreateControl(HWND parent, std::size_t index) {
  const ControlRow& row = kControls[index];
  const bool button = row.kind == ControlKind::PushButton;
  // Labels clip a long line rather than wrap it out of sight below their one visible line.
  // A read-out hears the mouse, for its tooltip and its copy menu; the captions let it pass.
  const bool readout = FieldOfRow(index).has_value();
  const DWORD style = WS_CHILD | WS_VISIBLE |
                      (button ? WS_TABSTOP | BS_PUSHBUTTON
                              : SS_LEFTNOWORDWRAP | SS_NOPREFIX | (readout ? SS_NOTIFY : 0));
  const DWORD exStyle = row.border ? WS_EX_STATICEDGE : 0;
  const int id = kFirstControlId + static_cast<int>(index);
  return CreateWindowExW(exStyle, button ? L"Button" : L"Static", Wide(row.caption).c_str(), style, 0, 0, 0, 0, parent,
                         CarriedIn<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// Measured the way the static control draws it: one line, in its own font.
bool IsClipped(HWND control, const std::wstring& text) {
  if (text.empty()) return false;
  RECT client{};
  GetClientRect(control, &client);
  HDC dc = GetDC(control);
  const HGDIOBJ previous = SelectObject(dc, CarriedIn<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT needed{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return needed.right > client.right;
}

}  // namespace

bool Controls::Create(HWND window) {
  window_ = window;
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (CreateControl(window, i) == nullptr) return false;
  }
  const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  // A device path has no spaces to wrap at; let the tip be as wide as the screen.
  if (tooltip_ != nullptr) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  return true;
}

void Controls::ApplyDpi(unsigned dpi) {
  dpi_ = dpi == 0 ? kDefaultDpi : dpi;
  UniqueFont font = CreateDialogFont(dpi_);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    HWND control = Control(kControls[i].name);
    const LayoutRect r = ScaleToDpi(kControls[i].twips, dpi_);
    MoveWindow(control, r.left, r.top, r.width, r.height, TRUE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    if (FieldOfRow(i)) UpdateTooltip(control);
  }
  // The controls let go of the old font above, so it can go now.
  font_ = std::move(font);
}

void Controls::SetTooltipFont(const LOGFONTW& font) {
  if (tooltip_ == nullptr) return;
  UniqueFont created(CreateFontIndirectW(&font));
  if (!created) return;
  SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(created.Get()), FALSE);
  tooltipFont_ = std::move(created);
}

HWND Controls::Control(std::string_view name) const {
  return window_ != nullptr ? GetDlgItem(window_, ControlId(name)) : nullptr;
}

void Controls::SetText(DisplayField field, const std::wstring& text) const {
  HWND control = GetDlgItem(window_, ControlId(field));
  // Every tick sets every read-out, nearly always to what it shows already. Setting a text again,
  // even the same one, makes the control repaint itself: under Wine most of the window's polling
  // cost (bench/README.md). Measuring the text for the tooltip would cost more than the probe.
  if (WindowText(control) == text) return;
  SetWindowTextW(control, text.c_str());
  UpdateTooltip(control);
}

void Controls::UpdateTooltip(HWND control) const {
  if (tooltip_ == nullptr || control == nullptr) return;
  std::wstring text = WindowText(control);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  const bool present = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
  // A tool already there is updated in place, not removed and added again: a tooltip being read
  // would vanish, and one waiting to show would never show.
  if (!IsClipped(control, text)) {
    if (present) SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  // The tooltip keeps a copy of the text.
  tool.lpszText = text.data();
  SendMessageW(tooltip_, present ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace tornak
