#include "sim/state/store.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sim/platform.hpp"

namespace tornak::sim {
namespace {

namespace fs = std::filesystem;

// Writes a file that no other writer names.
void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream file(platform::FilePath(path), std::ios::binary | std::ios::trunc);
  if (!file) throw StateIoError("create", path, std::strerror(errno));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();  // a delayed write error surfaces only here
  if (!file) throw StateIoError("write", path, std::strerror(errno));
}

std::string TemporaryPath(const std::string& path) {
  // Unique among all writers: the process id tells processes apart, the count this process's
  // own threads.
  static std::atomic<unsigned long> count{0};
  return path + "." + std::to_string(platform::ProcessId()) + "." + std::to_string(++count) + ".tmp";
}

}  // namespace

StateLock::StateLock(const std::string& statePath, LockTiming timing) : lockPath_(statePath + ".lock") {
  const fs::path lock = platform::FilePath(lockPath_);
  std::error_code error;
  fs::create_directories(lock.parent_path(), error);  // what it cannot make, the lock names
  const auto start = std::chrono::steady_clock::now();
  for (int pause = 1; !fs::create_directory(lock, error); pause = std::min(pause * 2, 16)) {
    // The holder may remove it as it is found there; and on Windows a folder that its last
    // holder is removing refuses a new one for a moment.
    if (error && error != std::errc::file_exists && !(platform::kWindows && error == std::errc::permission_denied))
      throw StateIoError("create folder", lockPath_, error.message());
    // Breaking a stale lock races with another process breaking it too and then taking it
    // anew; the window is one stale lock wide, which only a crash leaves behind.
    const auto modified = fs::last_write_time(lock, error);
    if (!error && fs::file_time_type::clock::now() - modified > std::chrono::milliseconds(timing.staleAfterMilliseconds)) {
      fs::remove(lock, error);
      continue;
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timing.giveUpAfterMilliseconds))
      throw StateIoError("lock", statePath, "another process holds " + lockPath_ + " and does not let go");
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
  }
}

StateLock::~StateLock() {
  std::error_code ignored;
  fs::remove(platform::FilePath(lockPath_), ignored);
}

State ReadState(const std::string& path) {
  const auto bytes = platform::ReadFileBytes(path);
  return bytes ? ParseState(*bytes, path) : State{};
}

void WriteState(const std::string& path, const State& state) { ReplaceFile(path, FormatState(state)); }

void ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = TemporaryPath(path);
  try {
    WriteWhole(temporary, bytes);
    platform::RenameOver(temporary, path);
  } catch (...) {
    std::error_code ignored;
    fs::remove(platform::FilePath(temporary), ignored);
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
    loaded_ = false;  // until the text is known, whatever the parse throws
    malformed_.reset();
    parses_ += bytes ? 1 : 0;
    try {
      state_ = bytes ? ParseState(*bytes, path) : State{};
    } catch (const MalformedState& error) {
      malformed_ = error;
    }
    path_ = path;
    bytes_ = std::move(bytes);
    loaded_ = true;
  }
  if (malformed_) throw *malformed_;
  return state_;
}

}  // namespace tornak::sim
