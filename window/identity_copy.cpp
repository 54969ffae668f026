#include "window/identity_copy.hpp"

#include <cstring>

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

}  // namespace

std::wstring_view CopyCaption(DisplayField field) {
  for (const CopyRow& row : kCopyRows)
    if (row.field == field) return row.caption;
  return {};
}

std::wstring IdentityCopyText(const std::function<std::wstring(DisplayField)>& valueOf) {
  std::wstring text;
  for (const CopyRow& row : kCopyRows) {
    if (!text.empty()) text += L"\r\n";
    text.append(row.caption).append(L": ").append(valueOf(row.field));
  }
  return text;
}

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

UniqueAccelerators CreateCopyAccelerators() {
  ACCEL copy{FCONTROL | FVIRTKEY, 'C', kCopyAllCommand};
  return UniqueAccelerators(CreateAcceleratorTableW(&copy, 1));
}

}  // namespace tornak
