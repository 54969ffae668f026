#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "system/entry_point_win.hpp"
#include "system/handles_win.hpp"

namespace tornak {

// How the running Windows lets a window follow the display's DPI, newest first. What each
// Windows does with this program's manifest (PerMonitorV2, then per-monitor):
//   Windows 11, 10 1703 and later: per-monitor v2; Windows scales the frame per monitor itself.
//   Windows 10 1607: per-monitor (v1); the frame scales per monitor because the window asks for
//     it (EnableNonClientDpiScaling) while it is created.
//   Windows 10 before 1607, 8.1: per-monitor; the frame stays drawn for the session's DPI.
//   Windows 8, 7: one DPI for the session, the screen's; no WM_DPICHANGED.
enum class DpiTier {
  PerMonitorV2,  // 1607 and later: GetDpiForWindow, AdjustWindowRectExForDpi, EnableNonClientDpiScaling
  PerMonitor,    // 8.1 and 10 before 1607: GetDpiForMonitor (shcore.dll), WM_DPICHANGED
  System,        // 7 and 8
};

// WM_GETDPISCALEDSIZE (Windows 10 1703 and later), which the Windows 7 headers do not declare:
// sent before WM_DPICHANGED, wParam the new DPI, lParam the SIZE to fill in with the window's
// outer size at that DPI; TRUE when filled in.
inline constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;

// Where DpiCompatibility finds the functions newer Windows adds; tests put fakes in its place.
class DpiFunctionSource {
 public:
  using AnyFunction = tornak::AnyFunction;

  DpiFunctionSource() = default;
  DpiFunctionSource(const DpiFunctionSource&) = delete;
  DpiFunctionSource& operator=(const DpiFunctionSource&) = delete;
  virtual ~DpiFunctionSource() = default;

  // The entry point `name` of the system library at the full path `library`, which stays loaded
  // as long as this source; null where this Windows lacks the library or the entry point.
  virtual AnyFunction Find(const std::wstring& library, const char* name) = 0;
};

// The running Windows' own functions.
class SystemDpiFunctions final : public DpiFunctionSource {
 public:
  SystemDpiFunctions() = default;
  AnyFunction Find(const std::wstring& library, const char* name) override;

 private:
  std::map<std::wstring, UniqueModule> libraries_;
};

// What Windows after 7 SP1 adds for DPI, resolved at run time: the one place the program reaches
// those functions, each with the older way beside it. The build targets Windows 7 SP1, whose
// headers do not declare them, so nothing else can call them by accident.
class DpiCompatibility {
 public:
  // The best tier the functions found offer.
  explicit DpiCompatibility(std::unique_ptr<DpiFunctionSource> functions = std::make_unique<SystemDpiFunctions>());
  DpiCompatibility(const DpiCompatibility&) = delete;
  DpiCompatibility& operator=(const DpiCompatibility&) = delete;
  ~DpiCompatibility() = default;

  DpiTier Tier() const noexcept { return tier_; }

  // Call while `window` handles WM_NCCREATE: on Windows 10 1607, where the manifest gives
  // per-monitor v1, Windows then scales the frame per monitor too. Later Windows refuses it, to
  // no effect, for a per-monitor v2 window; earlier Windows lacks it.
  void ScaleFramePerMonitor(HWND window) const;

  // The DPI to lay the window out for: its monitor's on the per-monitor tiers, the screen's
  // otherwise and where Windows cannot tell the monitor's; 0 when it cannot tell the screen's.
  unsigned WindowDpi(HWND window) const;

  // The outer size of a window whose client area is `client` pixels, with its frame drawn for
  // `dpi` where Windows scales frames per monitor, and for the session's DPI elsewhere.
  SIZE FrameSize(SIZE client, DWORD style, DWORD exStyle, unsigned dpi) const;

  // GetSystemMetrics' `index` where the frame is drawn for `dpi`: at that DPI where Windows
  // scales frames per monitor, the session's elsewhere.
  int SystemMetric(int index, unsigned dpi) const;

  // The font Windows gives tooltips (the status font of the non-client metrics) at `dpi`;
  // scaled from the session's where Windows has no metrics per DPI. False when it cannot tell.
  bool TooltipFont(unsigned dpi, LOGFONTW& font) const;

 private:
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
  using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

  std::unique_ptr<DpiFunctionSource> functions_;
  DpiTier tier_ = DpiTier::System;
  GetDpiForWindowFunction getDpiForWindow_ = nullptr;
  AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi_ = nullptr;
  EnableNonClientDpiScalingFunction enableNonClientDpiScaling_ = nullptr;
  GetSystemMetricsForDpiFunction getSystemMetricsForDpi_ = nullptr;
  SystemParametersInfoForDpiFunction systemParametersInfoForDpi_ = nullptr;
  GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
};

}  // namespace tornak
