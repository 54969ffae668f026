#include "sim/state/store.hpp"

#include <atomic>

#include "sim/platform.hpp"

namespace tornak::sim {
namespace {

std::string TemporaryPath(const std::string& path) {
  // Unique among all writers: the process id tells processes apart, the count this process's
  // own threads.
  static std::atomic<unsigned long> count{0};
  return path + "." + std::to_string(platform::ProcessId()) + "." + std::to_string(++count) + ".tmp";
}

}  // namespace

State ReadState(const std::string& path) {
  auto bytes = platform::ReadFileBytes(path);
  if (!bytes) return State{};
  return ParseState(*bytes, path);
}

void WriteState(const std::string& path, const State& state) {
  const std::string temporary = TemporaryPath(path);
  try {
    platform::WriteNewFile(temporary, FormatState(state));
    platform::RenameOver(temporary, path);
  } catch (...) {
    platform::RemoveFile(temporary);
    throw;
  }
}

void UpdateState(const std::string& path, const std::function<bool(State&)>& change, LockTiming timing) {
  StateLock lock(path, timing);
  State state = ReadState(path);
  if (change(state)) WriteState(path, state);
}

void ResetState(const std::string& path) {
  StateLock lock(path);
  WriteState(path, State{});
}

const State& StateCache::Current(const std::string& path) {
  auto bytes = platform::ReadFileBytes(path);
  if (!loaded_ || path != path_ || bytes != bytes_) {
    loaded_ = false;
    malformed_.reset();
    state_ = State{};
    if (bytes) {
      ++parses_;
      try {
        state_ = ParseState(*bytes, path);
      } catch (const MalformedState& error) {
        malformed_ = error;
      }
    }
    path_ = path;
    bytes_ = std::move(bytes);
    loaded_ = true;
  }
  if (malformed_) throw *malformed_;
  return state_;
}

}  // namespace tornak::sim
