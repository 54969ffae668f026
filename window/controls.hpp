#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "identity/identity_display.hpp"
#include "system/handles_win.hpp"
#include "window/layout.hpp"

namespace tornak {

// The window's controls, made from kControls: placed and given the dialog font for the window's
// DPI, with one tooltip window that shows a read-out too long for its field in full when the
// pointer rests on it (a read-out whose text fits has no tooltip).
class Controls {
 public:
  // Creates every control and the tooltip window in `window`, which destroys them with itself.
  // False when a control could not be created.
  bool Create(HWND window);

  // Places the controls and sets their font for `dpi` (0 counts as the default DPI).
  void ApplyDpi(unsigned dpi);
  unsigned Dpi() const noexcept { return dpi_; }
  // The controls' font at that DPI, for the window's other text.
  HFONT Font() const noexcept { return font_.Get(); }
  // The tooltip window's font, which follows the window's DPI as the controls' does.
  void SetTooltipFont(const LOGFONTW& font);

  HWND Control(std::string_view name) const;
  HWND Tooltips() const noexcept { return tooltip_; }

  // Sets a read-out's text and keeps its tooltip in step.
  void SetText(DisplayField field, const std::wstring& text) const;

 private:
  // Call after the control's text or font changed.
  void UpdateTooltip(HWND control) const;

  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  unsigned dpi_ = kDefaultDpi;
  UniqueFont font_;
  UniqueFont tooltipFont_;
};

}  // namespace tornak
