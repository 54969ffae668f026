#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "identity/identity_display.hpp"
#include "system/handles_win.hpp"

namespace tornak {

// The command identifiers of the copy menu and of Ctrl+C; clear of the controls' identifiers.
inline constexpr int kCopyFieldCommand = 200;
inline constexpr int kCopyAllCommand = 201;

// Puts Unicode text on the clipboard in place of what was there. False when the clipboard stays
// busy with another program or memory runs out.
bool CopyToClipboard(HWND owner, const std::wstring& text);

// Copies what the window's read-outs show: one of them, or for nullopt all of them, one per line
// with its caption ("VID: 10C4"), lines ended by CR LF.
void CopyIdentity(HWND window, std::optional<DisplayField> field);

// The window's WM_CONTEXTMENU: the copy menu, "Copy <field>" for the read-out clicked and "Copy
// all", then the copy chosen. False for a right-click outside the client area (the title bar),
// which is the system menu's: the caller passes it on.
bool OpenCopyMenu(HWND window, HWND clicked, LPARAM where);

// Ctrl+C as kCopyAllCommand.
UniqueAccelerators CreateCopyAccelerators();

// What the message loop does with a message before dispatching it: Ctrl+C, then the dialog keys
// (which would take the C for themselves). True when the message was handled so.
bool TranslateWindowMessage(HWND window, HACCEL accelerators, MSG& message);

}  // namespace tornak
