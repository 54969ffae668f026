#pragma once

#include <windows.h>

#include "system/handles_win.hpp"

namespace tornak {

// How the running Windows lets a window follow the display's DPI, newest first.
enum class DpiTier {
  PerMonitorV2,  // Windows 10 1607 and later: GetDpiForWindow, AdjustWindowRectExForDpi
  PerMonitor,    // Windows 8.1 and 10 before 1607: GetDpiForMonitor (shcore.dll), WM_DPICHANGED
  System,        // Windows 7 and 8: one DPI for the session, the screen's; no WM_DPICHANGED
};

// What Windows after 7 SP1 adds for DPI, resolved at run time: the one place the program reaches
// those functions, each with the older way beside it. The build targets Windows 7 SP1, whose
// headers do not declare them, so nothing else can call them by accident.
class DpiCompatibility {
 public:
  // The best tier the running Windows offers.
  DpiCompatibility() : DpiCompatibility(DpiTier::PerMonitorV2) {}
  DpiCompatibility(const DpiCompatibility&) = delete;
  DpiCompatibility& operator=(const DpiCompatibility&) = delete;
  ~DpiCompatibility() = default;

  DpiTier Tier() const noexcept { return tier_; }

  // The DPI to lay the window out for: its monitor's on the per-monitor tiers, the screen's
  // otherwise; 0 when Windows cannot tell.
  unsigned WindowDpi(HWND window) const;

  // The outer size of a window whose client area is `client` pixels, with its frame drawn for
  // `dpi` where Windows scales frames per monitor, and for the session's DPI elsewhere.
  SIZE FrameSize(SIZE client, DWORD style, DWORD exStyle, unsigned dpi) const;

 protected:
  // No newer than `newest`, whatever the running Windows offers: for tests only. Wine offers the
  // functions of every tier, so this is the only way the older tiers can be tried there.
  explicit DpiCompatibility(DpiTier newest);

 private:
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

  DpiTier tier_ = DpiTier::System;
  GetDpiForWindowFunction getDpiForWindow_ = nullptr;
  AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi_ = nullptr;
  UniqueModule shcore_;
  GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
};

}  // namespace tornak
