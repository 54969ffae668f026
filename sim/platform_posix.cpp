#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "sim/platform.hpp"
#include "system/handles_posix.hpp"

namespace tornak::sim::platform {
namespace {

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace

const bool kWindows = false;

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  const UniqueDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) {
    if (errno == ENOENT) return std::nullopt;
    throw StateIoError("open", path, ErrorText(errno));
  }
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t count = ::read(file.Get(), chunk, sizeof chunk);
    if (count == 0) return bytes;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw StateIoError("read", path, ErrorText(errno));
    }
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
}

void WriteNewFile(const std::string& path, const std::string& bytes) {
  UniqueDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!file) throw StateIoError("create", path, ErrorText(errno));
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(file.Get(), bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw StateIoError("write", path, ErrorText(errno));
    }
    written += static_cast<std::size_t>(count);
  }
  // A delayed write error surfaces only at close.
  if (file.Close() != 0) throw StateIoError("write", path, ErrorText(errno));
}

void RenameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw StateIoError("replace", to, ErrorText(errno));
}

void RemoveFile(const std::string& path) noexcept { ::unlink(path.c_str()); }

void MakeFolders(const std::string& path) noexcept {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  ::mkdir(path.c_str(), 0755);
}

bool MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  if (errno == EEXIST) return false;
  throw StateIoError("create folder", path, ErrorText(errno));
}

void RemoveFolder(const std::string& path) noexcept { ::rmdir(path.c_str()); }

std::optional<double> SecondsSinceModified(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec - info.st_mtim.tv_sec) +
         static_cast<double>(now.tv_nsec - info.st_mtim.tv_nsec) / 1e9;
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

void SleepMilliseconds(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void AnnounceDeviceChange() noexcept {}

void AnnounceDeviceChangeLater(std::uint32_t) noexcept {}

}  // namespace tornak::sim::platform
