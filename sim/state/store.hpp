#pragma once

#include <functional>
#include <optional>
#include <string>

#include "sim/state/state.hpp"
#include "sim/state/state_file.hpp"

namespace tornak::sim {

struct LockTiming {
  // A lock this old was left by a process that died holding it; a holder keeps it only for
  // one read-modify-write, a few milliseconds.
  int staleAfterMilliseconds = 5000;
  int giveUpAfterMilliseconds = 15000;
};

// Serialises the read-modify-write of one state file among all processes, on either platform:
// the lock is the folder `<state file>.lock`, since creating a folder is atomic on both and on
// Wine's mapping of one onto the other. Held from construction until destruction. Throws
// StateIoError when the lock stays taken past timing.giveUpAfterMilliseconds, or the folder
// cannot be created at all.
class StateLock {
 public:
  explicit StateLock(const std::string& statePath, LockTiming timing = {});
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

 private:
  std::string lockPath_;
};

// The state in the file at `path`; a missing file is the empty state (no bridges attached).
// Throws MalformedState or StateIoError.
State ReadState(const std::string& path);

// Replaces the file at `path` in one step, through a temporary file in the same folder: a
// reader sees the old state or the new one, never part of either. Does not take the lock.
void WriteState(const std::string& path, const State& state);
// The same for any file's bytes. The temporary file's name is `path` and a suffix ending in ".tmp".
void ReplaceFile(const std::string& path, const std::string& bytes);

// Reads, changes and writes the state under the lock, so that concurrent changes all count.
// `change` returns whether there is anything to write; what it throws passes through, with
// nothing written.
void UpdateState(const std::string& path, const std::function<bool(State&)>& change, LockTiming timing = {});

// Writes the empty state under the lock, without reading: the way out of a malformed file.
void ResetState(const std::string& path);

// The state of one file for a caller that asks often. Reading a small file is cheap; parsing
// it every time is what this saves. The bytes are compared rather than the size and time
// stamp: file times move in steps of milliseconds, and a change of one PID digit within one
// step keeps the size, so the stamp would let a stale state through.
class StateCache {
 public:
  // Throws StateIoError, or MalformedState again and again while the file stays malformed.
  const State& Current(const std::string& path);
  // Whether the file existed at the last Current().
  bool FileExists() const noexcept { return bytes_.has_value(); }
  // How often the text was parsed so far.
  int Parses() const noexcept { return parses_; }

 private:
  bool loaded_ = false;
  std::string path_;
  std::optional<std::string> bytes_;  // nullopt: there was no file
  State state_;
  std::optional<MalformedState> malformed_;
  int parses_ = 0;
};

}  // namespace tornak::sim
