#include "window/main_window.hpp"

#include <optional>
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

// The program's icon, `size` pixels square; shared (LR_SHARED) ones are never destroyed.
HICON LoadProgramIcon(int size, UINT flags) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TORNAK), IMAGE_ICON, size, size, flags));
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
  wc.hIcon = LoadProgramIcon(GetSystemMetrics(SM_CXICON), LR_SHARED);
  wc.hIconSm = LoadProgramIcon(GetSystemMetrics(SM_CXSMICON), LR_SHARED);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = CarriedIn<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterWindowClass(wc)) return false;
  if (CreateWindowOfClass(kWindowClassName, kWindowCaption, kWindowStyle, kWindowExStyle) == nullptr) return false;

  // Created where Windows chose, perhaps on a monitor of another DPI: once centred on the
  // primary monitor, laid out again for that one's DPI where it differs, and centred at that size.
  const unsigned laidOutFor = Dpi();
  CentreOnScreen();
  if (const unsigned dpi = dpiCompatibility_.WindowDpi(hwnd_); dpi != laidOutFor) {
    LayOut(dpi, std::nullopt);
    CentreOnScreen();
  }

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
    case WM_NCCREATE:
      dpiCompatibility_.ScaleFramePerMonitor(hwnd_);
      return DefWindowProcW(hwnd_, message, wParam, lParam);
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
    case kGetDpiScaledSizeMessage:
      // Windows' suggestion on a DPI change is then the layout's own size (Windows 10 1703 on).
      *CarriedIn<SIZE*>(lParam) = FrameSize(static_cast<unsigned>(wParam));
      return TRUE;
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
  presetTooltips_.Create(hwnd_, packagesFolder_);
  LayOut(dpiCompatibility_.WindowDpi(hwnd_), std::nullopt);
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

// Where Windows asked WM_GETDPISCALEDSIZE first, the suggested rectangle has the layout's size
// and is taken as it is. Where it did not (Windows 8.1, 10 before 1703), Windows scaled the
// frame with the client area and the size is the layout's own instead, at the suggested
// top-left: either way the client area stays exactly 7710 x 1710 twips.
void MainWindow::OnDpiChanged(unsigned dpi, const RECT& suggested) {
  LayOut(dpi, POINT{suggested.left, suggested.top});
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

void MainWindow::LayOut(unsigned dpi, std::optional<POINT> topLeft) {
  controls_.ApplyDpi(dpi);
  presetTooltips_.ApplyDpi(Dpi(), controls_.Font());
  LOGFONTW tooltipFont{};
  if (dpiCompatibility_.TooltipFont(Dpi(), tooltipFont)) controls_.SetTooltipFont(tooltipFont);
  LoadIcons();
  const SIZE frame = FrameSize(Dpi());
  SetWindowPos(hwnd_, nullptr, topLeft ? topLeft->x : 0, topLeft ? topLeft->y : 0, frame.cx, frame.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | (topLeft ? 0 : SWP_NOMOVE));
}

// The sizes the caption and the taskbar ask for at the window's DPI, drawn for that size
// (window/res/tornak.ico holds one image per common scale) rather than stretched.
void MainWindow::LoadIcons() {
  UniqueIcon forCaption(LoadProgramIcon(dpiCompatibility_.SystemMetric(SM_CXSMICON, Dpi()), 0));
  UniqueIcon forTaskbar(LoadProgramIcon(dpiCompatibility_.SystemMetric(SM_CXICON, Dpi()), 0));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(forCaption.Get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(forTaskbar.Get()));
  // The window let go of the old ones above, so they can go now.
  smallIcon_ = std::move(forCaption);
  bigIcon_ = std::move(forTaskbar);
}

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
