#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/handles_win.hpp"
#include "system/text_conversions_win.hpp"
#include "window/layout.hpp"
#include "window/testing/time_bounds.hpp"

// tornak's window as another process sees it: the soak probe and the window tests start the
// real program with these and read its read-outs and press its buttons through its windows.
namespace tornak::testing {

inline constexpr wchar_t kMessageBoxClass[] = L"#32770";

std::wstring ClassOf(HWND window);

// Asks done() every 20 ms until it holds or the deadline (a GetTickCount value) has passed;
// returns done(). For what another process does in its own time.
template <typename Done>
bool PollUntil(DWORD deadline, Done done) {
  for (;;) {
    if (done()) return true;
    if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return done();
    Sleep(20);
  }
}

// The top-level windows of one process that have the given class; with visibleOnly, only the
// shown ones.
std::vector<HWND> WindowsOfProcess(DWORD processId, const wchar_t* className, bool visibleOnly);

// The text of one of the program's controls, by its name in the layout ("Rpid"), as it stands
// between two of the program's events; nullopt when the program, busy with one, does not answer
// within waitMs.
std::optional<std::wstring> TryReadOut(HWND programWindow, std::string_view name, DWORD waitMs);
// The same, waiting up to 10 s; empty when the program does not answer.
std::wstring ReadOut(HWND programWindow, std::string_view name);

// Presses one of the program's buttons, by its name in the layout. Returns once the press has
// been handled, or after a moment when it opened a box (the press then goes on under the box,
// and its work is done by the time the box shows). False when the window has no such control.
bool Press(HWND programWindow, std::string_view name);

// A program started by its path, with this process's environment and current folder. Owns the
// process: one still running at destruction is ended, so that a test that stops half way leaves
// nothing behind in the Wine session.
class ProgramProcess {
 public:
  ProgramProcess() = default;
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // False, with GetLastError telling why, when the process could not be created.
  bool Start(const std::wstring& path);
  bool Started() const noexcept { return static_cast<bool>(process_); }
  bool Alive() const;
  DWORD Id() const noexcept { return id_; }
  HANDLE Handle() const noexcept { return process_.Get(); }
  // Whether the window belongs to this process.
  bool Owns(HWND window) const;
  // The program's main window, shown or still hidden, or nullptr.
  HWND MainWindow() const;
  // Asks the main window to close and waits up to waitMs for the process to end. The exit code;
  // nullopt when it did not end in time, and it is then ended with exit code 99.
  std::optional<DWORD> Close(DWORD waitMs);

 private:
  UniqueKernelHandle process_;
  DWORD id_ = 0;
};

}  // namespace tornak::testing
