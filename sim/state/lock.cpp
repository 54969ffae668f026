#include "sim/state/lock.hpp"

#include <algorithm>
#include <chrono>

#include "sim/platform.hpp"
#include "sim/state/path.hpp"

namespace tornak::sim {

StateLock::StateLock(const std::string& statePath, LockTiming timing) : lockPath_(statePath + ".lock") {
  const std::string folder = ParentFolder(statePath);
  if (!folder.empty()) platform::MakeFolders(folder);
  const auto start = std::chrono::steady_clock::now();
  int pause = 1;
  while (!platform::MakeFolder(lockPath_)) {
    // Breaking a stale lock races with another process breaking it too and then taking it
    // anew; the window is one stale lock wide, which only a crash leaves behind.
    const auto age = platform::SecondsSinceModified(lockPath_);
    if (age && *age * 1000 > timing.staleAfterMilliseconds) {
      platform::RemoveFolder(lockPath_);
      continue;
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited > std::chrono::milliseconds(timing.giveUpAfterMilliseconds))
      throw StateIoError("lock", statePath, "another process holds " + lockPath_ + " and does not let go");
    platform::SleepMilliseconds(pause);
    pause = std::min(pause * 2, 16);
  }
}

StateLock::~StateLock() { platform::RemoveFolder(lockPath_); }

}  // namespace tornak::sim
