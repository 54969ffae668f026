#pragma once

#include <cstdint>
#include <filesystem>
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

// The file operations of the state file that need the platform's own sharing rules; paths
// are UTF-8. The halves are platform_posix.cpp and platform_win.cpp.
namespace platform {

// Whether paths are Windows paths (either slash separates, a drive letter may start them).
extern const bool kWindows;

// Unset and empty read the same.
std::optional<std::string> EnvironmentVariable(const char* name);

// The whole file; nullopt when it does not exist. Throws StateIoError on any other failure.
// Never blocks a writer replacing the file meanwhile.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Puts `from` in the place of `to` in one step: a reader sees the old file or the new one.
void RenameOver(const std::string& from, const std::string& to);

unsigned long ProcessId();

// Under Wine, its Windows folder (C:\windows\, with the trailing separator); nullopt on a real
// Windows and on POSIX.
std::optional<std::string> WineWindowsFolder();

// A UTF-8 path as the standard library takes it on either platform.
inline std::filesystem::path FilePath(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

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
