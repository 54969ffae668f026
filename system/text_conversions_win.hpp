#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Every conversion between the program's three forms of text, and a window's text:
//   - UTF-8 (std::string): faults' messages, file names, the simulator's state;
//   - the portable core's UTF-16 Text (std::u16string, convert/text.hpp): what the read-outs show;
//   - Windows' UTF-16 wchar_t (std::wstring): what the W functions take.
// And the system's own words for an error. Windows only (text_conversions_win.cpp).
namespace tornak {

// The core's text as the W functions take it: the same UTF-16 code units, copied one by one.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 on Windows");
inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
// And back: what a W function gave, as the core's Text.
inline std::u16string CoreText(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// Characters that have no encoding in the other form (an unpaired surrogate, an invalid byte
// sequence) become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The text of a window or control, whatever its length.
std::wstring WindowText(HWND window);

// The system's message for an error code (GetLastError's), in UTF-8, without the line break and
// closing full stop it comes with, so that it fits into a sentence of the caller's. Places for
// further text ("%1") are left as they are. "error N" for a code the system has no text for.
std::string SystemErrorText(unsigned long error);

}  // namespace tornak
