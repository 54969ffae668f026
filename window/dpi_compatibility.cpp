#include "window/dpi_compatibility.hpp"

#include <utility>

#include "system/system_folders_win.hpp"

namespace tornak {
namespace {

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the DPI the user chose for the monitor

// An entry point the source found, as the function type the caller names.
template <typename Function>
Function Find(DpiFunctionSource& functions, const std::wstring& library, const char* name) {
  return reinterpret_cast<Function>(functions.Find(library, name));
}

unsigned ScreenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 0;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 0;
}

}  // namespace

DpiFunctionSource::AnyFunction SystemDpiFunctions::Find(const std::wstring& library, const char* name) {
  UniqueModule& module = libraries_[library];
  if (!module) module = UniqueModule(LoadLibraryExW(library.c_str(), nullptr, 0));
  return EntryPointOf(module.Get(), name);
}

DpiCompatibility::DpiCompatibility(std::unique_ptr<DpiFunctionSource> functions) : functions_(std::move(functions)) {
  // By full path, so that no file of that name elsewhere stands in; Windows 7 has no shcore.dll.
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return;
  const std::wstring user32 = folder + L"user32.dll";
  getDpiForWindow_ = Find<GetDpiForWindowFunction>(*functions_, user32, "GetDpiForWindow");
  adjustWindowRectExForDpi_ = Find<AdjustWindowRectExForDpiFunction>(*functions_, user32, "AdjustWindowRectExForDpi");
  enableNonClientDpiScaling_ =
      Find<EnableNonClientDpiScalingFunction>(*functions_, user32, "EnableNonClientDpiScaling");
  getSystemMetricsForDpi_ = Find<GetSystemMetricsForDpiFunction>(*functions_, user32, "GetSystemMetricsForDpi");
  systemParametersInfoForDpi_ =
      Find<SystemParametersInfoForDpiFunction>(*functions_, user32, "SystemParametersInfoForDpi");
  if (getDpiForWindow_ != nullptr && adjustWindowRectExForDpi_ != nullptr && enableNonClientDpiScaling_ != nullptr) {
    tier_ = DpiTier::PerMonitorV2;
    return;
  }
  getDpiForMonitor_ = Find<GetDpiForMonitorFunction>(*functions_, folder + L"shcore.dll", "GetDpiForMonitor");
  tier_ = getDpiForMonitor_ != nullptr ? DpiTier::PerMonitor : DpiTier::System;
}

void DpiCompatibility::ScaleFramePerMonitor(HWND window) const {
  if (enableNonClientDpiScaling_ != nullptr) enableNonClientDpiScaling_(window);
}

unsigned DpiCompatibility::WindowDpi(HWND window) const {
  switch (tier_) {
    case DpiTier::PerMonitorV2:
      // 0 for a window that is not (or no longer) there.
      if (const UINT dpi = getDpiForWindow_(window); dpi != 0) return dpi;
      break;
    case DpiTier::PerMonitor: {
      UINT x = 0;
      UINT y = 0;
      if (SUCCEEDED(getDpiForMonitor_(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)))
        return x;
      break;
    }
    case DpiTier::System:
      break;
  }
  return ScreenDpi();
}

SIZE DpiCompatibility::FrameSize(SIZE client, DWORD style, DWORD exStyle, unsigned dpi) const {
  RECT frame{0, 0, client.cx, client.cy};
  if (tier_ == DpiTier::PerMonitorV2)
    adjustWindowRectExForDpi_(&frame, style, FALSE, exStyle, dpi);
  else
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

int DpiCompatibility::SystemMetric(int index, unsigned dpi) const {
  if (tier_ == DpiTier::PerMonitorV2 && getSystemMetricsForDpi_ != nullptr)
    return getSystemMetricsForDpi_(index, dpi);
  return GetSystemMetrics(index);
}

bool DpiCompatibility::TooltipFont(unsigned dpi, LOGFONTW& font) const {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (systemParametersInfoForDpi_ != nullptr &&
      systemParametersInfoForDpi_(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    font = metrics.lfStatusFont;
    return true;
  }
  const unsigned screen = ScreenDpi();
  if (screen == 0 || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
  font = metrics.lfStatusFont;
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(screen));
  return true;
}

}  // namespace tornak
