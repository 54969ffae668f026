#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "system/handles_win.hpp"

namespace tornak::bench {

// A Windows program started for measuring: its start-up time, CPU time and memory as the
// system reports them from outside. Closed (or, failing that, ended) when the object goes.
class MeasuredProcess {
 public:
  // Starts `program` (a full path) in its own folder with this process's environment, and
  // waits until its first window of `windowClass` is painted and it waits for input. Throws
  // std::runtime_error when it cannot start or does not get there within 30 s.
  MeasuredProcess(const std::wstring& program, const wchar_t* windowClass);
  ~MeasuredProcess();
  MeasuredProcess(const MeasuredProcess&) = delete;
  MeasuredProcess& operator=(const MeasuredProcess&) = delete;

  // From just before CreateProcess until the painted window waited for input.
  double StartupMilliseconds() const noexcept { return startupMilliseconds_; }
  HWND Window() const noexcept { return window_; }
  // User and kernel time of all its threads so far.
  double CpuSeconds() const;
  // Memory committed for this process alone: PrivateUsage on Windows.
  std::size_t PrivateBytes() const;

  // Asks the window to close and waits for the process to end.
  void Close();

 private:
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  double startupMilliseconds_ = 0;
};

// Under Wine: CPU time so far of the wineserver of this program's prefix, which does the
// system's side of every file, timer and window call of the programs measured here (on
// Windows the kernel's share shows in the caller's own kernel time). Read from Linux's
// /proc through drive Z:, in steps of 10 ms. nullopt when there is no such process to read.
std::optional<double> WineServerCpuSeconds();

// Seconds on the high-resolution counter.
double Now();

}  // namespace tornak::bench
