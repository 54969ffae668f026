#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/platform.hpp"
#include "system/handles_posix.hpp"

namespace tornak::sim::platform {

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
    throw StateIoError("open", path, std::strerror(errno));
  }
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t count = ::read(file.Get(), chunk, sizeof chunk);
    if (count == 0) return bytes;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw StateIoError("read", path, std::strerror(errno));
    }
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
}

void RenameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw StateIoError("replace", to, std::strerror(errno));
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

std::optional<std::string> WineWindowsFolder() { return std::nullopt; }

void AnnounceDeviceChange() noexcept {}

void AnnounceDeviceChangeLater(std::uint32_t) noexcept {}

}  // namespace tornak::sim::platform
