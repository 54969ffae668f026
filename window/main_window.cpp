#include "window/main_window.hpp"

#include <windowsx.h>

#include <new>
#include <utility>

#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "window/fault_message.hpp"
#include "window/identity_copy.hpp"
#include "window/resource_ids.h"
#include "window/window_text.hpp"

namespace tornak {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Text is handed to the W functions as it is");

constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kDeviceChangeTimerId = 2;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

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

HWND CreateControl(HWND parent, std::size_t index, int id) {
  const ControlRow& row = kControls[index];
  const bool button = row.kind == ControlKind::PushButton;
  // Labels clip a long line rather than wrap it out of sight below their one visible line.
  // A read-out hears the mouse, for its tooltip and its copy menu; the captions let it pass.
  const bool readout = FieldOfRow(index).has_value();
  const DWORD style = WS_CHILD | WS_VISIBLE |
                      (button ? WS_TABSTOP | BS_PUSHBUTTON
                              : SS_LEFTNOWORDWRAP | SS_NOPREFIX | (readout ? SS_NOTIFY : 0));
  const DWORD exStyle = row.border ? WS_EX_STATICEDGE : 0;
  const std::wstring caption(row.caption);
  return CreateWindowExW(exStyle, button ? L"Button" : L"Static", caption.c_str(), style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

MainWindow::MainWindow(const VendorLibraries& libraries, MessageBoxFunction messageBox)
    : libraries_(libraries), messageBox_(std::move(messageBox)) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool MainWindow::Open(int showCommand) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.lpszClassName = kWindowClassName;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TORNAK), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TORNAK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterWindowClass(wc)) return false;
  if (CreateWindowOfClass(kWindowClassName, kWindowCaption, kWindowStyle, kWindowExStyle) == nullptr) return false;

  const unsigned createdAt = dpi_;
  CentreOnScreen();
  // Moving onto another monitor may have changed the size; centre with the final one.
  if (dpi_ != createdAt) CentreOnScreen();

  Form_Load();
  if (hwnd_ == nullptr) return false;
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

HWND MainWindow::Control(std::string_view name) const {
  return hwnd_ != nullptr ? GetDlgItem(hwnd_, ControlId(name)) : nullptr;
}

void MainWindow::SetFieldText(DisplayField field, const Text& text) {
  if (hwnd_ == nullptr) return;
  HWND control = GetDlgItem(hwnd_, ControlId(field));
  // Every tick sets every read-out, nearly always to what it shows already. Setting a text again,
  // even the same one, makes the control repaint itself: under Wine most of the window's polling
  // cost (bench/README.md). Measuring the text for the tooltip would cost more than the probe.
  if (WindowText(control) == Wide(text)) return;
  SetWindowTextW(control, Wide(text));
  tooltips_.Update(control);
}

void MainWindow::ShowWarning(const Text& text) { ShowBox(text, nullptr); }

void MainWindow::ShowBox(const Text& text, const wchar_t* caption) {
  messageBox_(hwnd_, Wide(text), caption, MB_OK | MB_ICONERROR);
}

// Events ------------------------------------------------------------------------------------

void MainWindow::Form_Load() {
  RunEvent(Origin::User, [this] {
    state_.DeviceHandle = -1;
    RefreshDeviceInfo(state_, libraries_, *this);
    lastReportedFault_.reset();
  });
}

void MainWindow::Timer1_Timer() {
  RunEvent(Origin::Timer, [this] {
    RefreshDeviceInfo(state_, libraries_, *this);
    lastReportedFault_.reset();
  });
}

// Windows announced a device change a moment ago: probe now rather than at the next tick.
void MainWindow::DeviceChange_Timer() { Timer1_Timer(); }

void MainWindow::SetKavrenPID_Click() {
  RunEvent(Origin::User, [this] { ApplyIdentityPreset(kKavrenPidText, state_, libraries_); });
}

void MainWindow::SetSilabsPID_Click() {
  RunEvent(Origin::User, [this] { ApplyIdentityPreset(kSilabsVcpPidText, state_, libraries_); });
}

void MainWindow::SetSilabsPIDxpress_Click() {
  RunEvent(Origin::User, [this] { ApplyIdentityPreset(kSilabsXpressPidText, state_, libraries_); });
}

// Every event runs through here: nothing thrown by the core gets past it, and no event starts
// while another is still running. A box runs a message loop of its own, so the timer keeps
// ticking while one is open; those ticks are dropped rather than queued, so that boxes never
// stack up and no probe runs while the user has not yet answered the last one.
void MainWindow::RunEvent(Origin origin, const std::function<void()>& work) {
  if (eventRunning_) return;
  eventRunning_ = true;
  std::optional<Text> fault;
  try {
    work();
  } catch (const std::exception& e) {
    fault = FaultMessage(e);
  } catch (...) {
    fault = UnknownFaultMessage();
  }
  if (fault) {
    try {
      ReportFault(origin, *fault);
    } catch (...) {
      // Out of memory while reporting: nothing better to show, and the program goes on.
    }
  }
  eventRunning_ = false;
}

// The read-outs no longer describe any bridge once a probe broke off. A fault that stays (a
// library still missing) is reported once, not on every tick; a press of a button always gets
// its answer.
void MainWindow::ReportFault(Origin origin, const Text& message) {
  ShowNoDevice(*this);
  const bool repeated = origin == Origin::Timer && lastReportedFault_ == message;
  lastReportedFault_ = message;
  if (!repeated) ShowBox(message, kWindowCaption);
}

// Messages ----------------------------------------------------------------------------------

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam, lParam);
      return TRUE;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

LRESULT MainWindow::OnCreate() {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (CreateControl(hwnd_, i, kFirstControlId + static_cast<int>(i)) == nullptr) return -1;
  }
  tooltips_.Create(hwnd_);
  deviceNotification_ = RegisterForUsbDeviceInterfaces(hwnd_);
  lastFocus_ = Control("SetKavrenPID");
  ApplyDpi(GetDpiForWindow(hwnd_));
  const SIZE frame = FrameSize(dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetTimer(hwnd_, kTimer1Id, kTimer1PeriodMs, nullptr);
  return 0;
}

void MainWindow::OnTimer(UINT_PTR id) {
  if (id == kTimer1Id) {
    Timer1_Timer();
  } else if (id == kDeviceChangeTimerId) {
    KillTimer(hwnd_, kDeviceChangeTimerId);
    DeviceChange_Timer();
  }
}

void MainWindow::OnCommand(int id, int code) {
  if (id == kCopyAllCommand) {
    Copy(std::nullopt);
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == ControlId("SetKavrenPID")) SetKavrenPID_Click();
  else if (id == ControlId("SetSilabsPID")) SetSilabsPID_Click();
  else if (id == ControlId("SetSilabsPIDxpress")) SetSilabsPIDxpress_Click();
}

// Only arms the timer, and each message re-arms it: a burst ends in one probe, and a message
// that arrives in the middle of an event (a press whose reset announces itself, from inside the
// press) starts nothing there. Timer1 runs on regardless, so a stream of messages never holds
// the tick off.
void MainWindow::OnDeviceChange(WPARAM event, LPARAM data) {
  if (AnnouncesDeviceChange(event, data)) SetTimer(hwnd_, kDeviceChangeTimerId, kDeviceChangeSettleMs, nullptr);
}

// lParam -1 comes from the keyboard (Shift+F10, the menu key): no read-out is meant then, and the
// menu opens at the window's corner.
void MainWindow::OnContextMenu(HWND clicked, LPARAM where) {
  std::optional<DisplayField> field;
  if (clicked != hwnd_ && IsChild(hwnd_, clicked)) {
    const int index = GetDlgCtrlID(clicked) - kFirstControlId;
    if (index >= 0) field = FieldOfRow(static_cast<std::size_t>(index));
  }
  POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (where == -1) {
    at = POINT{0, 0};
    ClientToScreen(hwnd_, &at);
  }
  const UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  const std::wstring fieldItem = field ? L"&Copy " + std::wstring(CopyCaption(*field)) : std::wstring(L"&Copy value");
  AppendMenuW(menu.Get(), MF_STRING | (field ? 0 : MF_GRAYED), kCopyFieldCommand, fieldItem.c_str());
  AppendMenuW(menu.Get(), MF_STRING, kCopyAllCommand, L"Copy &all");
  const int chosen = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd_,
                                    nullptr);
  if (chosen == kCopyFieldCommand) Copy(field);
  else if (chosen == kCopyAllCommand) Copy(std::nullopt);
}

// What the read-outs show, as the user sees it; nullopt copies them all.
void MainWindow::Copy(std::optional<DisplayField> field) {
  try {
    auto valueOf = [this](DisplayField shown) { return WindowText(GetDlgItem(hwnd_, ControlId(shown))); };
    CopyToClipboard(hwnd_, field ? valueOf(*field) : IdentityCopyText(valueOf));
  } catch (const std::bad_alloc&) {
    // Nothing copied; the clipboard keeps what it had.
  }
}

void MainWindow::OnDpiChanged(unsigned dpi, const RECT& suggested) {
  ApplyDpi(dpi);
  // The suggested rectangle keeps the window where the user dragged it; the size is the
  // layout's own, so the client area stays exactly 7710 x 1710 twips.
  const SIZE frame = FrameSize(dpi);
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnActivate(WPARAM state) {
  if (LOWORD(state) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
  } else {
    OnSetFocus();
  }
}

void MainWindow::OnSetFocus() {
  if (lastFocus_ != nullptr) SetFocus(lastFocus_);
}

void MainWindow::OnDestroy() {
  KillTimer(hwnd_, kTimer1Id);
  KillTimer(hwnd_, kDeviceChangeTimerId);
  deviceNotification_.Reset();
  PostQuitMessage(0);
}

// Layout ------------------------------------------------------------------------------------

void MainWindow::ApplyDpi(unsigned dpi) {
  dpi_ = dpi == 0 ? kDefaultDpi : dpi;
  UniqueFont font = CreateDialogFont(dpi_);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    HWND control = Control(kControls[i].name);
    const LayoutRect r = ScaleToDpi(kControls[i].twips, dpi_);
    MoveWindow(control, r.left, r.top, r.width, r.height, TRUE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    if (FieldOfRow(i)) tooltips_.Update(control);
  }
  // The controls let go of the old font above, so it can go now.
  font_ = std::move(font);
}

SIZE MainWindow::FrameSize(unsigned dpi) const {
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void MainWindow::CentreOnScreen() {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT window{};
  GetWindowRect(hwnd_, &window);
  const RECT& area = monitor.rcWork;
  const int left = area.left + ((area.right - area.left) - (window.right - window.left)) / 2;
  const int top = area.top + ((area.bottom - area.top) - (window.bottom - window.top)) / 2;
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TranslateWindowMessage(HWND window, HACCEL accelerators, MSG& message) {
  if (window == nullptr || !IsWindow(window)) return false;
  const bool ours = message.hwnd == window || IsChild(window, message.hwnd);
  if (ours && accelerators != nullptr && TranslateAcceleratorW(window, accelerators, &message)) return true;
  return IsDialogMessageW(window, &message) != FALSE;
}

int RunMessageLoop(HWND window) {
  const UniqueAccelerators accelerators = CreateCopyAccelerators();
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TranslateWindowMessage(window, accelerators.Get(), message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace tornak
