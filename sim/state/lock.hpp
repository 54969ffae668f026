#pragma once

#include <string>

namespace tornak::sim {

struct LockTiming {
  // A lock this old was left by a process that died holding it; a holder keeps it only for
  // one read-modify-write, a few milliseconds.
  int staleAfterMilliseconds = 5000;
  int giveUpAfterMilliseconds = 15000;
};

// Serialises the read-modify-write of one state file among all processes, on either platform:
// the lock is the folder `<state file>.lock`, since creating a folder is atomic on both and on
// Wine's mapping of one onto the other. Held from construction until destruction.
class StateLock {
 public:
  // Throws StateIoError when the lock stays taken past timing.giveUpAfterMilliseconds, or the
  // folder cannot be created at all.
  explicit StateLock(const std::string& statePath, LockTiming timing = {});
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

 private:
  std::string lockPath_;
};

}  // namespace tornak::sim
