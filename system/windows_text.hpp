#pragma once

#include <string>
#include <string_view>

// Text between this code's UTF-8 and the UTF-16 of the Windows W functions, and the system's
// own words for an error. Windows only (windows_text_win.cpp); the header needs no system header.
namespace tornak {

// Characters that have no encoding in the other form (an unpaired surrogate, an invalid byte
// sequence) become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The system's message for an error code (GetLastError's), in UTF-8, without the line break and
// closing full stop it comes with, so that it fits into a sentence of the caller's. Places for
// further text ("%1") are left as they are. "error N" for a code the system has no text for.
std::string SystemErrorText(unsigned long error);

}  // namespace tornak
