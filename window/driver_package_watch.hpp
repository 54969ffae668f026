#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "identity/driver_packages.hpp"
#include "system/handles_win.hpp"

namespace tornak {

// Keeps this PC's driver packages read without holding up the window: one worker thread, for as
// long as the watch runs, reads the packages' folder at start and again whenever something in it
// changes (installing a package while no bridge is attached sends no device-change message, so
// this watch is what notices it). After each reading it posts the window a message that carries
// nothing; the window then takes the latest reading. The watch holds the same three handles the
// whole time: the thread, an event that wakes it to stop, and one change notification.
class DriverPackageWatch {
 public:
  DriverPackageWatch() = default;
  ~DriverPackageWatch() { Stop(); }
  DriverPackageWatch(const DriverPackageWatch&) = delete;
  DriverPackageWatch& operator=(const DriverPackageWatch&) = delete;

  // Starts the worker over `folder` (a trailing separator); each reading posts `message` to
  // `window`. False when the worker could not be started: then no reading ever comes.
  bool Start(std::wstring folder, HWND window, UINT message);

  // Wakes the worker and waits for it to end, a reading under way broken off; nothing is posted
  // once it has returned. Call it before the window goes.
  void Stop();

  // The latest reading; nullopt until the first is done.
  std::optional<PackageSurvey> Latest() const;

 private:
  void Run();
  // Waits for the folder to change and then to stay quiet. False when asked to stop.
  bool AwaitChange(UniqueChangeNotification& change) const;

  std::wstring folder_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  UniqueKernelHandle wake_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::optional<PackageSurvey> latest_;
  std::thread worker_;
};

}  // namespace tornak
