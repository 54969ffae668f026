#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "identity/driver_packages.hpp"
#include "window/driver_package_watch.hpp"

namespace tornak {

// The tooltips of the preset buttons: what a press writes, and which of this PC's driver packages
// name the identity it writes (identity/driver_packages.hpp), kept current by a
// DriverPackageWatch. A tooltip window of their own, its lines wrapped at a width of their own,
// apart from the read-outs' one-line tooltips; their texts stay in buffers the window owns.
class PresetTooltips {
 public:
  // The message the watch posts to the window after each reading of the packages.
  static constexpr UINT kPackagesReadMessage = WM_APP + 1;

  // Creates the tooltip window over the buttons of `window` and starts watching `packagesFolder`
  // (a trailing separator). The tooltip window goes with `window`; the watch, at Stop.
  void Create(HWND window, std::wstring packagesFolder);
  // Stops the watch: before the window goes.
  void Stop() { watch_.Stop(); }

  // The window's font at its DPI, and the width the lines wrap at for that DPI.
  void ApplyDpi(unsigned dpi, HFONT font) const;

  // Tells each button's tooltip again from what the window shows now and the latest reading of
  // the packages: after every event, and at kPackagesReadMessage. `singleBridge`: the last count
  // found exactly one bridge. A text that stays the same is not sent again.
  void Update(bool singleBridge);

  HWND Tooltips() const noexcept { return tooltip_; }

 private:
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  DriverPackageWatch watch_;
  std::array<std::wstring, kIdentityPresets.size()> texts_;
};

}  // namespace tornak
