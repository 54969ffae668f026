#include "window/driver_package_watch.hpp"

#include <system_error>
#include <utility>

#include "window/driver_package_reader.hpp"
#include "window/timing.hpp"

namespace tornak {
namespace {

constexpr DWORD kWhatChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

}  // namespace

bool DriverPackageWatch::Start(std::wstring folder, HWND window, UINT message) {
  folder_ = std::move(folder);
  window_ = window;
  message_ = message;
  wake_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!wake_) return false;
  try {
    worker_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void DriverPackageWatch::Stop() {
  stopping_ = true;
  if (wake_) SetEvent(wake_.Get());
  if (worker_.joinable()) worker_.join();
}

std::optional<PackageSurvey> DriverPackageWatch::Latest() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

void DriverPackageWatch::Run() {
  UniqueChangeNotification change;
  while (!stopping_) {
    // Watching before reading: a change while the reading is under way is not missed.
    if (!change) change.Reset(FindFirstChangeNotificationW(folder_.c_str(), FALSE, kWhatChanges));
    PackageSurvey survey = ReadDriverPackages(folder_, &stopping_);
    if (stopping_) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      latest_ = std::move(survey);
    }
    PostMessageW(window_, message_, 0, 0);
    if (!AwaitChange(change)) return;
  }
}

bool DriverPackageWatch::AwaitChange(UniqueChangeNotification& change) const {
  const HANDLE handles[] = {wake_.Get(), change.Get()};
  // Without a watch (the folder missing or barred), the folder is read again after a while.
  DWORD result = WaitForMultipleObjects(change ? 2 : 1, handles, FALSE, change ? INFINITE : kPackageFolderRetryMs);
  while (result == WAIT_OBJECT_0 + 1) {
    if (!FindNextChangeNotification(change.Get())) {
      change.Reset();
      break;
    }
    result = WaitForMultipleObjects(2, handles, FALSE, kPackageFolderSettleMs);
  }
  if (result == WAIT_FAILED) {
    change.Reset();
    result = WaitForSingleObject(wake_.Get(), kPackageFolderRetryMs);
  }
  return result != WAIT_OBJECT_0;
}

}  // namespace tornak
