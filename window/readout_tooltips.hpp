#pragma once

#include <windows.h>

namespace tornak {

// The one tooltip window of the read-outs: a read-out whose text is wider than the control
// shows the whole text when the pointer rests on it; one whose text fits has no tooltip.
class ReadoutTooltips {
 public:
  // Creates the tooltip window, owned by `window` and destroyed with it.
  void Create(HWND window);
  HWND Handle() const noexcept { return tooltip_; }

  // Call after the control's text or font changed. The control must have SS_NOTIFY, or the
  // pointer passes through it and the tooltip never hears of it.
  void Update(HWND control) const;

 private:
  HWND tooltip_ = nullptr;
};

}  // namespace tornak
