#include "window/main_window.hpp"

#include <utility>

#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "system/text_conversions_win.hpp"
#include "window/carried_value.hpp"
#include "window/device_change.hpp"
#include "window/identity_copy.hpp"
#include "window/resource_ids.h"
#include "window/timing.hpp"

namespace tornak {
namespace {

constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kDeviceChangeTimerId = 2;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TORNAK), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_SHARED));
}

}  // namespace

MainWindow::MainWindow(const VendorLibraries& libraries, const DpiCompatibility& dpi, MessageBoxFunction messageBox,
                       std::wstring packagesFolder)
    : libraries_(libraries),
      dpiCompatibility_(dpi),
      messageBox_(std::move(messageBox)),
      events_([this](const std::string& message, bool news) { ReportFault(message, news); }),
      packagesFolder_(std::move(packagesFolder)) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool MainWindow::Open(int showCommand) {
  WNDCLASSEXW wc{};
  wc.lpszClassName = kWindowClassName;
  wc.hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
  wc.hIconSm = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = CarriedIn<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterWindowClass(wc)) return false;
  if (CreateWindowOfClass(kWindowClassName, kWindowCaption, kWindowStyle, kWindowExStyle) == nullptr) return false;

  const unsigned createdAt = Dpi();
  CentreOnScreen();
  // Moving onto another monitor may have changed the size; centre with the final one.
  if (Dpi() != createdAt) CentreOnScreen();

  Form_Load();
  if (hwnd_ == nullptr) return false;
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

void MainWindow::SetFieldText(DisplayField field, const Text& text) {
  if (hwnd_ == nullptr) throw WindowClosed{};
  controls_.SetText(field, Wide(text));
}

void MainWindow::ShowWarning(const Text& text) { ShowBox(Wide(text), nullptr); }

void MainWindow::ShowBox(const std::wstring& text, const wchar_t* caption) {
  if (hwnd_ == nullptr) throw WindowClosed{};
  messageBox_(hwnd_, text.c_str(), caption, MB_OK | MB_ICONERROR);
  // The box runs the messages; one of them may have closed the window.
  if (hwnd_ == nullptr) throw WindowClosed{};
}

// Events ------------------------------------------------------------------------------------

void MainWindow::Form_Load() {
  events_.Run(EventKind::Probe, [this] {
    state_.DeviceHandle = -1;
    RefreshDeviceInfo(state_, libraries_, *this);
  });
  UpdatePresetTooltips();
}

void MainWindow::Timer1_Timer() {
  events_.Run(EventKind::Probe, [this] { RefreshDeviceInfo(state_, libraries_, *this); });
  UpdatePresetTooltips();
}

// Windows announced a device change a moment ago: probe now rather than at the next tick.
void MainWindow::DeviceChange_Timer() { Timer1_Timer(); }

void MainWindow::Preset_Click(const IdentityPreset& preset) {
  events_.Run(EventKind::Press, [&] { ApplyIdentityPreset(Text(preset.pidText), state_, libraries_); });
  UpdatePresetTooltips();
}

// The read-outs no longer describe any bridge once a probe broke off.
void MainWindow::ReportFault(const std::string& message, bool news) {
  ShowNoDevice(*this);
  if (news) ShowBox(Utf8ToWide(message), kWindowCaption);
}

// A press writes into the bridge only when its count finds exactly one.
void MainWindow::UpdatePresetTooltips() {
  if (hwnd_ != nullptr) presetTooltips_.Update(state_.NumDevices == 1);
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
      if (OpenCopyMenu(hwnd_, CarriedIn<HWND>(wParam), lParam)) return 0;
      return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), *CarriedIn<const RECT*>(lParam));
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
    case PresetTooltips::kPackagesReadMessage:
      UpdatePresetTooltips();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

LRESULT MainWindow::OnCreate() {
  if (!controls_.Create(hwnd_)) return -1;
  deviceNotification_ = RegisterForUsbDeviceInterfaces(hwnd_);
  lastFocus_ = Control(kIdentityPresets[0].button);
  controls_.ApplyDpi(dpiCompatibility_.WindowDpi(hwnd_));
  presetTooltips_.Create(hwnd_, packagesFolder_);
  presetTooltips_.ApplyDpi(Dpi(), controls_.Font());
  const SIZE frame = FrameSize(Dpi());
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
    CopyIdentity(hwnd_, std::nullopt);
    return;
  }
  if (code != BN_CLICKED) return;
  for (const IdentityPreset& preset : kIdentityPresets) {
    if (id == ControlId(preset.button)) Preset_Click(preset);
  }
}

// Only arms the timer, and each message re-arms it: a burst ends in one probe, and a message
// that arrives in the middle of an event (a press whose reset announces itself, from inside the
// press) starts nothing there. Timer1 runs on regardless, so a stream of messages never holds
// the tick off.
void MainWindow::OnDeviceChange(WPARAM event, LPARAM data) {
  if (AnnouncesDeviceChange(event, data)) SetTimer(hwnd_, kDeviceChangeTimerId, kDeviceChangeSettleMs, nullptr);
}

void MainWindow::OnDpiChanged(unsigned dpi, const RECT& suggested) {
  controls_.ApplyDpi(dpi);
  presetTooltips_.ApplyDpi(Dpi(), controls_.Font());
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
  presetTooltips_.Stop();
  PostQuitMessage(0);
}

// Layout ------------------------------------------------------------------------------------

SIZE MainWindow::FrameSize(unsigned dpi) const {
  const SIZE client{TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  return dpiCompatibility_.FrameSize(client, kWindowStyle, kWindowExStyle, dpi);
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

}  // namespace tornak
