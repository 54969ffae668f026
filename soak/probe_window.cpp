// The soak test's hands and eyes inside Wine: starts tornak.exe, then answers one command per
// line on standard input with one line on standard output, so that the script driving it needs
// only one Wine start for the whole run.
//
//   start PROGRAM     starts the program and waits for its window   -> ok PID | error TEXT
//   fields            the read-outs                                   -> {"Rvid": "10C4", ...}
//                     (null while the program is in the middle of an event)
//   boxes             the message boxes the program has open         -> ["text", ...]
//   dismiss           answers the first open box with OK              -> "text" | null
//   click NAME        presses one of the three buttons                -> ok | error TEXT
//   menu              opens the copy menu as Shift+F10 does and      -> ok | error TEXT
//                     closes it again, choosing nothing
//   tooltip NAME      rests the pointer on a read-out until its      -> ok | error TEXT
//                     tooltip shows, then moves it away
//   stats             handles, GUI objects and memory of the program -> {"alive": true, ...}
//   quit              closes the program's window and ends           -> {"exitCode": N}
//
// Texts are JSON strings: a box or a read-out can hold any character.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "identity/presets.hpp"
#include "system/handles_win.hpp"
#include "system/text_conversions_win.hpp"
#include "window/testing/program_window.hpp"

namespace {

using tornak::testing::kMessageBoxClass;
using tornak::kWindowClassName;
using tornak::Utf8ToWide;

constexpr DWORD kBusyMs = 50;         // how long a look at a read-out waits for the program
constexpr DWORD kShowMs = 3000;       // how long a menu or a tooltip may take to show or to go
constexpr wchar_t kMenuClass[] = L"#32768";
constexpr int kBoxTextId = 0xFFFF;  // the static control holding a message box's text
constexpr const char* kReadouts[] = {"ProdString", "Rvid", "Rpid", "Rsernum", "Rprodstr", "DriverType"};

tornak::testing::ProgramProcess program;
HWND mainWindow = nullptr;

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out + "\"";
}

// The program's shown windows of one class.
std::vector<HWND> TopLevelWindows(const wchar_t* className) {
  if (!program.Started()) return {};
  return tornak::testing::WindowsOfProcess(program.Id(), className, true);
}

// Windows of the program, its controls included: what Wine can say about its USER objects.
int WindowCount() {
  struct Count {
    int windows = 0;
  } count;
  EnumWindows(
      [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
        if (!program.Owns(window)) return TRUE;
        auto& c = *reinterpret_cast<Count*>(parameter);
        ++c.windows;
        EnumChildWindows(
            window,
            [](HWND, LPARAM inner) CALLBACK -> BOOL {
              ++reinterpret_cast<Count*>(inner)->windows;
              return TRUE;
            },
            parameter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.windows;
}

// Wine answers GetGuiResources and GetProcessHandleCount with 0, so the probe counts for itself.

// Handles: every value the process could hold (multiples of 4, handed out lowest first) that
// can be duplicated out of it. Stops after a long run of unused values.
int HandleCount(HANDLE process) {
  int count = 0;
  int unused = 0;
  for (std::uintptr_t value = 4; unused < 4096; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      const tornak::UniqueKernelHandle closedAtOnce(copy);
      ++count;
      unused = 0;
    } else {
      ++unused;
    }
  }
  return count;
}

// GDI objects: the used entries of the process's GDI handle table, which Windows and Wine alike
// point to from the 64-bit PEB (GdiSharedHandleTable). Each entry is 24 bytes; a free one has
// type 0. -1 when the table cannot be read.
//
// A 32-bit program keeps the pointer in its 64-bit PEB too, not in the 32-bit one, and only a
// 64-bit caller is given that PEB's address; so this probe is 64-bit, and serves both.
static_assert(sizeof(void*) == 8, "the probe reads 64-bit PEBs");

int GdiObjectCount(HANDLE process) {
  constexpr std::size_t kTableOffsetInPeb = 0xF8;
  constexpr std::size_t kEntries = 0x10000;
  constexpr std::size_t kEntrySize = 24;
  constexpr std::size_t kTypeOffset = 14;
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
  std::uintptr_t table = 0;
  const auto* tableField = reinterpret_cast<const char*>(basic.PebBaseAddress) + kTableOffsetInPeb;
  if (!ReadProcessMemory(process, tableField, &table, sizeof table, nullptr) || table == 0) return -1;
  std::vector<unsigned char> entries(kEntries * kEntrySize);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(), entries.size(), nullptr))
    return -1;
  int used = 0;
  for (std::size_t i = 0; i < kEntries; ++i) used += entries[i * kEntrySize + kTypeOffset] != 0 ? 1 : 0;
  return used;
}

// Both counts on this process first: five more brushes and five more handles must show, or
// the counts are reported as unknown rather than as flat.
bool countsWork = false;

void CheckCounts() {
  const int gdiBefore = GdiObjectCount(GetCurrentProcess());
  const int handlesBefore = HandleCount(GetCurrentProcess());
  std::vector<tornak::UniqueBrush> brushes;
  std::vector<tornak::UniqueKernelHandle> events;
  brushes.reserve(5);
  events.reserve(5);
  for (int i = 0; i < 5; ++i) {
    brushes.emplace_back(CreateSolidBrush(RGB(i, 0, 0)));
    events.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  }
  const int gdiWith = GdiObjectCount(GetCurrentProcess());
  const int handlesWith = HandleCount(GetCurrentProcess());
  brushes.clear();
  events.clear();
  countsWork = gdiBefore > 0 && gdiWith == gdiBefore + 5 && handlesWith == handlesBefore + 5 &&
               GdiObjectCount(GetCurrentProcess()) == gdiBefore && HandleCount(GetCurrentProcess()) == handlesBefore;
}

std::wstring BoxText(HWND box) {
  wchar_t text[2048]{};
  GetDlgItemTextW(box, kBoxTextId, text, 2048);
  return text;
}

std::string Start(const std::string& path) {
  if (program.Started()) return "error already started";
  if (!program.Start(Utf8ToWide(path))) return "error CreateProcess failed with " + std::to_string(GetLastError());
  // Boxes of the first probe come before the window, so the wait is for either.
  for (int waited = 0; waited < 30000; waited += 50) {
    for (HWND window : TopLevelWindows(kWindowClassName)) mainWindow = window;
    if (mainWindow != nullptr || !TopLevelWindows(kMessageBoxClass).empty()) break;
    if (!program.Alive()) return "error the program ended at once";
    Sleep(50);
  }
  return "ok " + std::to_string(program.Id());
}

HWND MainWindow() {
  if (mainWindow == nullptr || !IsWindow(mainWindow)) mainWindow = program.MainWindow();
  return mainWindow;
}

// null while the program is in the middle of an event: the script asks again rather than
// waiting, so that it answers the next box in good time.
std::string Fields() {
  HWND window = MainWindow();
  if (window == nullptr) return "null";
  std::string out = "{";
  for (const char* name : kReadouts) {
    const std::optional<std::wstring> text = tornak::testing::TryReadOut(window, name, kBusyMs);
    if (!text) return "null";
    if (out.size() > 1) out += ", ";
    out += Json(Utf8ToWide(name)) + ": " + Json(*text);
  }
  return out + "}";
}

std::string Boxes() {
  std::string out = "[";
  for (HWND box : TopLevelWindows(kMessageBoxClass)) {
    if (out.size() > 1) out += ", ";
    out += Json(BoxText(box));
  }
  return out + "]";
}

std::string Dismiss() {
  const std::vector<HWND> open = TopLevelWindows(kMessageBoxClass);
  if (open.empty()) return "null";
  const std::wstring text = BoxText(open.front());
  PostMessageW(open.front(), WM_COMMAND, IDOK, 0);
  // Until it is gone, so that the next look does not find it again.
  for (int waited = 0; waited < 5000 && IsWindow(open.front()) && IsWindowVisible(open.front()); waited += 10)
    Sleep(10);
  return Json(text);
}

std::string Click(const std::string& name) {
  HWND window = MainWindow();
  if (window == nullptr) return "error no window";
  for (const tornak::IdentityPreset& preset : tornak::kIdentityPresets) {
    if (name == preset.button && tornak::testing::Press(window, preset.button)) return "ok";
  }
  return "error no button " + name;
}

// Whether condition() holds within kShowMs.
template <typename Condition>
bool InTime(Condition condition) {
  return tornak::testing::PollUntil(GetTickCount() + kShowMs, condition);
}

// Wine makes some of the GDI objects of a menu and of a tooltip the first time one shows, and
// keeps them: the soak shows each once before it takes its baseline.
std::string Menu() {
  HWND window = MainWindow();
  if (window == nullptr) return "error no window";
  // Posted: the menu runs its own loop inside the program until it is closed.
  PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), -1);
  if (!InTime([] { return !TopLevelWindows(kMenuClass).empty(); })) return "error no menu";
  // The menu's loop reads the keys of the program's thread, whichever of its windows they are for.
  PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  if (!InTime([] { return TopLevelWindows(kMenuClass).empty(); })) return "error the menu stayed open";
  return "ok";
}

std::string Tooltip(const std::string& name) {
  HWND window = MainWindow();
  HWND control = window != nullptr ? GetDlgItem(window, tornak::ControlId(name)) : nullptr;
  if (control == nullptr) return "error no read-out " + name;
  RECT field{};
  GetWindowRect(control, &field);
  // The pointer arrives and then rests: each move over a tool that is not showing yet starts its
  // wait again. A second arrival in case the first move went unseen.
  bool shown = false;
  for (int rest = 0; rest < 2 && !shown; ++rest) {
    for (int nudge : {0, 1}) {
      SetCursorPos((field.left + field.right) / 2 + nudge, (field.top + field.bottom) / 2);
      Sleep(50);
    }
    shown = InTime([] { return !TopLevelWindows(TOOLTIPS_CLASSW).empty(); });
  }
  // Away from the window, so that no tooltip shows again while the run goes on.
  SetCursorPos(0, 0);
  InTime([] { return TopLevelWindows(TOOLTIPS_CLASSW).empty(); });
  return shown ? "ok" : "error no tooltip over " + name;
}

std::string Stats() {
  const bool alive = program.Alive();
  auto number = [](bool known, long long value) { return known ? std::to_string(value) : std::string("null"); };
  const int gdi = alive && countsWork ? GdiObjectCount(program.Handle()) : -1;
  const int handles = alive && countsWork ? HandleCount(program.Handle()) : -1;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (alive)
    GetProcessMemoryInfo(program.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  return "{\"alive\": " + std::string(alive ? "true" : "false") + ", \"handles\": " + number(handles >= 0, handles) +
         ", \"gdi\": " + number(gdi >= 0, gdi) + ", \"windows\": " + number(alive, WindowCount()) +
         ", \"private\": " + number(memory.PrivateUsage != 0, static_cast<long long>(memory.PrivateUsage)) + "}";
}

std::string Quit() {
  const std::optional<DWORD> code = program.Close(10000);
  return "{\"exitCode\": " + (code ? std::to_string(*code) : std::string("null")) + "}";
}

}  // namespace

int main() {
  CheckCounts();
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string{} : line.substr(space + 1);
    std::string answer;
    if (command == "start") answer = Start(argument);
    else if (command == "fields") answer = Fields();
    else if (command == "boxes") answer = Boxes();
    else if (command == "dismiss") answer = Dismiss();
    else if (command == "click") answer = Click(argument);
    else if (command == "menu") answer = Menu();
    else if (command == "tooltip") answer = Tooltip(argument);
    else if (command == "stats") answer = Stats();
    else if (command == "quit") answer = Quit();
    else answer = "error unknown command " + command;
    std::cout << answer << std::endl;
    if (command == "quit") break;
  }
  return 0;
}
