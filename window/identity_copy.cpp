#include "window/identity_copy.hpp"

#include <windowsx.h>

#include <cstring>
#include <new>

#include "system/text_conversions_win.hpp"
#include "window/layout.hpp"

namespace tornak {
namespace {

struct CopyRow {
  DisplayField field;
  std::wstring_view caption;
};

// In the order the eye reads the window: the IDs, then the strings, then what answered.
constexpr CopyRow kCopyRows[] = {
    {DisplayField::Rvid, L"VID"},
    {DisplayField::Rpid, L"PID"},
    {DisplayField::Rsernum, L"Serial number"},
    {DisplayField::Rprodstr, L"Product string"},
    {DisplayField::ProdString, L"Device list entry"},
    {DisplayField::DriverType, L"Driver Type"},
};

// Another program may hold the clipboard for a moment (a clipboard manager reading it).
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenPauseMs = 20;

// The caption a read-out's value carries when copied: what a person pasting it into records
// expects to read beside it ("Serial number", "Driver Type").
std::wstring_view CopyCaption(DisplayField field) {
  for (const CopyRow& row : kCopyRows)
    if (row.field == field) return row.caption;
  return {};
}

// What a read-out shows, as the user sees it.
std::wstring ValueOf(HWND window, DisplayField field) { return WindowText(GetDlgItem(window, ControlId(field))); }

// Every read-out, one per line with its caption, lines ended by CR LF.
std::wstring IdentityCopyText(HWND window) {
  std::wstring text;
  for (const CopyRow& row : kCopyRows) {
    if (!text.empty()) text += L"\r\n";
    text.append(row.caption).append(L": ").append(ValueOf(window, row.field));
  }
  return text;
}

}  // namespace

bool CopyToClipboard(HWND owner, const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return false;
  void* target = GlobalLock(memory.Get());
  if (target == nullptr) return false;
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory.Get());

  bool opened = false;
  for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
    if (attempt > 0) Sleep(kOpenPauseMs);
    opened = OpenClipboard(owner) != FALSE;
  }
  if (!opened) return false;
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr;
  // From here on the memory is the system's.
  if (placed) static_cast<void>(memory.Release());
  CloseClipboard();
  return placed;
}

void CopyIdentity(HWND window, std::optional<DisplayField> field) {
  try {
    CopyToClipboard(window, field ? ValueOf(window, *field) : IdentityCopyText(window));
  } catch (const std::bad_alloc&) {
    // Nothing copied; the clipboard keeps what it had.
  }
}

// lParam -1 comes from the keyboard (Shift+F10, the menu key): no read-out is meant then, and the
// menu opens at the window's corner. A right-click anywhere in the client area, over a control
// or not, is the copy menu's.
bool OpenCopyMenu(HWND window, HWND clicked, LPARAM where) {
  POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (where == -1) {
    at = POINT{0, 0};
    ClientToScreen(window, &at);
  } else if (SendMessageW(window, WM_NCHITTEST, 0, where) != HTCLIENT) {
    return false;
  }
  std::optional<DisplayField> field;
  if (clicked != window && IsChild(window, clicked)) {
    const int index = GetDlgCtrlID(clicked) - kFirstControlId;
    if (index >= 0) field = FieldOfRow(static_cast<std::size_t>(index));
  }
  const UniqueMenu menu(CreatePopupMenu());
  if (!menu) return true;
  const std::wstring fieldItem = field ? L"&Copy " + std::wstring(CopyCaption(*field)) : std::wstring(L"&Copy value");
  AppendMenuW(menu.Get(), MF_STRING | (field ? 0 : MF_GRAYED), kCopyFieldCommand, fieldItem.c_str());
  AppendMenuW(menu.Get(), MF_STRING, kCopyAllCommand, L"Copy &all");
  const int chosen = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window,
                                    nullptr);
  if (chosen == kCopyFieldCommand) CopyIdentity(window, field);
  else if (chosen == kCopyAllCommand) CopyIdentity(window, std::nullopt);
  return true;
}

UniqueAccelerators CreateCopyAccelerators() {
  ACCEL copy{FCONTROL | FVIRTKEY, 'C', kCopyAllCommand};
  return UniqueAccelerators(CreateAcceleratorTableW(&copy, 1));
}

bool TranslateWindowMessage(HWND window, HACCEL accelerators, MSG& message) {
  if (window == nullptr || !IsWindow(window)) return false;
  const bool ours = message.hwnd == window || IsChild(window, message.hwnd);
  if (ours && accelerators != nullptr && TranslateAcceleratorW(window, accelerators, &message)) return true;
  return IsDialogMessageW(window, &message) != FALSE;
}

}  // namespace tornak
