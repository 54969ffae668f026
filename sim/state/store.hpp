#pragma once

#include <functional>
#include <optional>
#include <string>

#include "sim/state/state.hpp"
#include "sim/state/lock.hpp"
#include "sim/state/state_file.hpp"

namespace tornak::sim {

// The state in the file at `path`; a missing file is the empty state (no bridges attached).
// Throws MalformedState or StateIoError.
State ReadState(const std::string& path);

// Replaces the file at `path` in one step, through a temporary file in the same folder: a
// reader sees the old state or the new one, never part of either. Does not take the lock.
void WriteState(const std::string& path, const State& state);

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
