#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "identity/identity_display.hpp"
#include "system/handles_win.hpp"

namespace tornak {

// The command identifiers of the copy menu and of Ctrl+C; clear of the controls' identifiers.
inline constexpr int kCopyFieldCommand = 200;
inline constexpr int kCopyAllCommand = 201;

// The caption a read-out's value carries when copied: what a person pasting it into records
// expects to read beside it ("Serial number", "Driver Type").
std::wstring_view CopyCaption(DisplayField field);

// Every read-out, one per line with its caption, lines ended by CR LF. valueOf gives what
// the read-out shows.
std::wstring IdentityCopyText(const std::function<std::wstring(DisplayField)>& valueOf);

// Puts Unicode text on the clipboard in place of what was there. False when the clipboard stays
// busy with another program or memory runs out.
bool CopyToClipboard(HWND owner, const std::wstring& text);

// Ctrl+C as kCopyAllCommand.
UniqueAccelerators CreateCopyAccelerators();

}  // namespace tornak
