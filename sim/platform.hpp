#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace tornak::sim {

// A state file (or its folder, lock or temporary file) that could not be read or written.
class StateIoError : public std::runtime_error {
 public:
  StateIoError(const std::string& action, const std::string& path, const std::string& reason)
      : std::runtime_error("cannot " + action + " " + path + ": " + reason) {}
};

// The few file operations the state file needs, with the platform's own sharing rules; paths
// are UTF-8. The halves are platform_posix.cpp and platform_win.cpp.
namespace platform {

// Whether paths are Windows paths (either slash separates, a drive letter may start them).
extern const bool kWindows;

// Unset and empty read the same.
std::optional<std::string> EnvironmentVariable(const char* name);

// The whole file; nullopt when it does not exist. Throws StateIoError on any other failure.
// Never blocks a writer replacing the file meanwhile.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Creates a file that does not exist yet and writes all of `bytes` to it.
void WriteNewFile(const std::string& path, const std::string& bytes);
// Puts `from` in the place of `to` in one step: a reader sees the old file or the new one.
void RenameOver(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path) noexcept;

// Creates `path` and any missing parents, as far as it can: a failure shows when the caller
// then uses the folder, with the name of what it could not create.
void MakeFolders(const std::string& path) noexcept;
// True when this call created the folder, false when it existed already. Atomic: of several
// callers at once, exactly one gets true.
bool MakeFolder(const std::string& path);
void RemoveFolder(const std::string& path) noexcept;
// Seconds since the file or folder last changed; nullopt when it does not exist.
std::optional<double> SecondsSinceModified(const std::string& path);

unsigned long ProcessId();
void SleepMilliseconds(int milliseconds);

// Tells the top-level windows that a device came, went or changed, as Windows does for a real
// one (WM_DEVICECHANGE, DBT_DEVNODES_CHANGED), so that they look at once rather than at their
// next poll. Waits on no window. Nothing on POSIX, which has no such windows to tell, nor while
// kQuietVariable is set (to compare with a window that has only its timer to go by).
void AnnounceDeviceChange() noexcept;
// The same `milliseconds` from now, from a thread of its own that keeps this module loaded until
// it has spoken: the caller may unload the library in the meantime.
void AnnounceDeviceChangeLater(std::uint32_t milliseconds) noexcept;
inline constexpr char kQuietVariable[] = "TORNAK_SIM_QUIET";

}  // namespace platform
}  // namespace tornak::sim
