#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "identity/identity_display.hpp"
#include "identity/presets.hpp"

namespace tornak {

// The window's class, by the design's name: tests, the soak probe and the benchmark find the
// running program's window by it.
inline constexpr wchar_t kWindowClassName[] = L"tornakf";

enum class ControlKind { Label, PushButton };

// A rectangle in twips (1/1440 inch) or in pixels: position within the client area and size.
struct LayoutRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

struct ControlRow {
  std::string_view name;  // the design's control name, as ControlName(DisplayField) gives it
  ControlKind kind;
  std::u16string_view caption;
  LayoutRect twips;
  bool border;  // single-line sunken border
};

inline constexpr int kClientWidthTwips = 7710;
inline constexpr int kClientHeightTwips = 1710;
inline constexpr unsigned kDefaultDpi = 96;

// Every control of the window, in creation order, which is also the tab order. The buttons are
// the presets', in the presets' order.
inline constexpr std::array<ControlRow, 12> kControls{{
    {"Label1", ControlKind::Label, u"VID  /  PID", {60, 600, 1095, 195}, false},
    {"Rvid", ControlKind::Label, u"", {1320, 570, 555, 255}, true},
    {"Rpid", ControlKind::Label, u"", {1920, 570, 555, 255}, true},
    {"Label2", ControlKind::Label, u"Serial number", {60, 1020, 1095, 195}, false},
    {"Rsernum", ControlKind::Label, u"", {1320, 975, 2415, 255}, true},
    {"Label3", ControlKind::Label, u"Product string", {60, 1440, 1095, 195}, false},
    {"Rprodstr", ControlKind::Label, u"", {1320, 1395, 2415, 255}, true},
    {"ProdString", ControlKind::Label, u"", {60, 60, 7575, 255}, true},
    {kIdentityPresets[0].button, ControlKind::PushButton, kIdentityPresets[0].caption, {3840, 420, 3795, 375}, false},
    {kIdentityPresets[1].button, ControlKind::PushButton, kIdentityPresets[1].caption, {3840, 840, 3795, 375}, false},
    {kIdentityPresets[2].button, ControlKind::PushButton, kIdentityPresets[2].caption, {3840, 1260, 3795, 375}, false},
    {"DriverType", ControlKind::Label, u"Driver Type", {2580, 600, 1095, 195}, false},
}};

// The push buttons of kControls are the presets' buttons, one each, in the presets' order: a
// preset added to its table needs a row here too.
constexpr bool EveryPresetHasItsButtonRow() {
  std::size_t preset = 0;
  for (const ControlRow& row : kControls) {
    if (row.kind != ControlKind::PushButton) continue;
    if (preset == kIdentityPresets.size() || row.name != kIdentityPresets[preset].button ||
        row.caption != kIdentityPresets[preset].caption)
      return false;
    ++preset;
  }
  return preset == kIdentityPresets.size();
}
static_assert(EveryPresetHasItsButtonRow(), "kControls' push buttons are not the presets', one each, in their order");

// Every control lies inside the client area: a row added below the last (a fourth preset's
// button) must make room for itself.
constexpr bool EveryControlInsideTheClientArea() {
  for (const ControlRow& row : kControls) {
    if (row.twips.left < 0 || row.twips.top < 0 || row.twips.left + row.twips.width > kClientWidthTwips ||
        row.twips.top + row.twips.height > kClientHeightTwips)
      return false;
  }
  return true;
}
static_assert(EveryControlInsideTheClientArea(), "a control of kControls runs past the client area");

// Position of a control in kControls; kControls.size() for an unknown name.
constexpr std::size_t ControlIndex(std::string_view name) {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (kControls[i].name == name) return i;
  return kControls.size();
}

// Child window identifiers: the table position plus this base, so that 0 and the dialog
// manager's IDOK/IDCANCEL are never used.
inline constexpr int kFirstControlId = 100;

constexpr int ControlId(std::string_view name) { return kFirstControlId + static_cast<int>(ControlIndex(name)); }

// The row of kControls that shows each read-out field, by DisplayField; worked out while
// compiling, and every field has a label of its own.
inline constexpr std::array<std::size_t, kDisplayFields.size()> kFieldRows = [] {
  std::array<std::size_t, kDisplayFields.size()> rows{};
  for (DisplayField field : kDisplayFields) rows[static_cast<std::size_t>(field)] = ControlIndex(ControlName(field));
  return rows;
}();

constexpr bool EveryFieldHasItsOwnLabel() {
  for (std::size_t i = 0; i < kFieldRows.size(); ++i) {
    if (kFieldRows[i] >= kControls.size() || kControls[kFieldRows[i]].kind != ControlKind::Label) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (kFieldRows[j] == kFieldRows[i]) return false;
  }
  return true;
}
static_assert(EveryFieldHasItsOwnLabel(), "a DisplayField without a label of that name in kControls");

constexpr int ControlId(DisplayField field) {
  return kFirstControlId + static_cast<int>(kFieldRows[static_cast<std::size_t>(field)]);
}

// The read-out field a row of kControls shows; nullopt for the captions and the buttons.
constexpr std::optional<DisplayField> FieldOfRow(std::size_t row) {
  for (DisplayField field : kDisplayFields)
    if (kFieldRows[static_cast<std::size_t>(field)] == row) return field;
  return std::nullopt;
}
static_assert(FieldOfRow(ControlIndex("Rsernum")) == DisplayField::Rsernum && !FieldOfRow(ControlIndex("Label2")) &&
              !FieldOfRow(ControlIndex("SetKavrenPID")));

// Twips at the given DPI, rounded to the nearest pixel.
int TwipsToPixels(int twips, unsigned dpi);
LayoutRect ScaleToDpi(const LayoutRect& twips, unsigned dpi);

}  // namespace tornak
