#include "window/dpi_compatibility.hpp"

#include "system/system_folders_win.hpp"

namespace tornak {
namespace {

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the DPI the user chose for the monitor

// An entry point of a module already loaded, as the function type the caller names; null where
// this Windows lacks it.
template <typename Function>
Function EntryPoint(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the type that stands for any function: FARPROC's own would not convert cleanly.
  using AnyFunction = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
}

unsigned ScreenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 0;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 0;
}

}  // namespace

DpiCompatibility::DpiCompatibility(DpiTier newest) {
  if (newest == DpiTier::PerMonitorV2) {
    // user32.dll is loaded already: the program links against it.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    getDpiForWindow_ = EntryPoint<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
    adjustWindowRectExForDpi_ = EntryPoint<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
    if (getDpiForWindow_ != nullptr && adjustWindowRectExForDpi_ != nullptr) {
      tier_ = DpiTier::PerMonitorV2;
      return;
    }
    getDpiForWindow_ = nullptr;
    adjustWindowRectExForDpi_ = nullptr;
  }
  if (newest != DpiTier::System) {
    // Windows 7 has no shcore.dll; by full path, so that no file of that name elsewhere stands in.
    const std::wstring folder = SystemFolder();
    if (!folder.empty()) shcore_ = UniqueModule(LoadLibraryExW((folder + L"shcore.dll").c_str(), nullptr, 0));
    getDpiForMonitor_ = EntryPoint<GetDpiForMonitorFunction>(shcore_.Get(), "GetDpiForMonitor");
    if (getDpiForMonitor_ != nullptr) {
      tier_ = DpiTier::PerMonitor;
      return;
    }
    shcore_.Reset();
  }
  tier_ = DpiTier::System;
}

unsigned DpiCompatibility::WindowDpi(HWND window) const {
  switch (tier_) {
    case DpiTier::PerMonitorV2:
      return getDpiForWindow_(window);
    case DpiTier::PerMonitor: {
      UINT x = 0;
      UINT y = 0;
      if (SUCCEEDED(getDpiForMonitor_(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)))
        return x;
      return ScreenDpi();
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

}  // namespace tornak
