#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tornak {

// The portable core's text as the W functions take it: the same UTF-16 code units, copied one
// by one. The one place where the two string types meet.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 on Windows");
inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The text of a window or control, whatever its length.
inline std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace tornak
