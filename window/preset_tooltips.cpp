#include "window/preset_tooltips.hpp"

#include <commctrl.h>

#include <climits>
#include <optional>
#include <utility>

#include "system/text_conversions_win.hpp"
#include "window/layout.hpp"

namespace tornak {
namespace {

// The lines wrap at three and a half inches, about the width of a button, at any DPI.
constexpr int kTipWidthTwips = 5040;

HWND Button(HWND window, const IdentityPreset& preset) { return GetDlgItem(window, ControlId(preset.button)); }

TTTOOLINFOW ToolOf(HWND window, HWND button) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  return tool;
}

}  // namespace

void PresetTooltips::Create(HWND window, std::wstring packagesFolder) {
  window_ = window;
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (tooltip_ != nullptr) {
    // Long enough to read a whole tooltip.
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(SHRT_MAX, 0));
    for (std::size_t i = 0; i < kIdentityPresets.size(); ++i) {
      texts_[i] = Wide(PresetTipText(kIdentityPresets[i], PresetTipFacts{}));
      TTTOOLINFOW tool = ToolOf(window, Button(window, kIdentityPresets[i]));
      tool.lpszText = texts_[i].data();
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  watch_.Start(std::move(packagesFolder), window, kPackagesReadMessage);
}

void PresetTooltips::ApplyDpi(unsigned dpi, HFONT font) const {
  if (tooltip_ == nullptr) return;
  SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, TwipsToPixels(kTipWidthTwips, dpi));
}

void PresetTooltips::Update(bool singleBridge) {
  if (tooltip_ == nullptr) return;
  const std::optional<PackageSurvey> packages = watch_.Latest();
  const bool vendorShown = WindowText(GetDlgItem(window_, ControlId(DisplayField::Rvid))) == Wide(kVendorIdText);
  const std::wstring productShown = WindowText(GetDlgItem(window_, ControlId(DisplayField::Rpid)));
  for (std::size_t i = 0; i < kIdentityPresets.size(); ++i) {
    const IdentityPreset& preset = kIdentityPresets[i];
    PresetTipFacts facts;
    facts.singleBridge = singleBridge;
    facts.bridgeHasIdentity = vendorShown && productShown == Wide(preset.pidText);
    facts.packages = packages ? &(*packages)[i] : nullptr;
    std::wstring text = Wide(PresetTipText(preset, facts));
    if (text == texts_[i]) continue;
    texts_[i] = std::move(text);
    // The tooltip keeps a copy; one showing now shows the new text at once.
    TTTOOLINFOW tool = ToolOf(window_, Button(window_, preset));
    tool.lpszText = texts_[i].data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace tornak
