#pragma once

#include <optional>
#include <string>
#include <vector>

#include "system/unique_handle.hpp"

namespace tornak::sim::test {

// Lets go of a started process (test_platform_win.cpp, test_platform_posix.cpp).
void ReleaseProcess(void* process) noexcept;

// A state file of the test's own, in a fresh temporary folder, with TORNAK_SIM_STATE pointing
// at it for this process and the ones it starts. The file does not exist at first; the folder
// goes, with everything in it, at the end.
class TempStateFile {
 public:
  TempStateFile();
  ~TempStateFile();
  TempStateFile(const TempStateFile&) = delete;
  TempStateFile& operator=(const TempStateFile&) = delete;

  const std::string& Path() const noexcept { return path_; }
  const std::string& Folder() const noexcept { return folder_; }
  // Names in the folder, sorted: what the store leaves lying about.
  std::vector<std::string> FolderEntries() const;

 private:
  std::string folder_;
  std::string path_;
};

void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

// The folder of the running test program, with a trailing separator; the tools and libraries
// are built beside it.
std::string ProgramFolder();
// A program file name as this platform spells it: "tornak-sim" or "tornak-sim.exe".
std::string ExecutableName(const std::string& stem);

// A hidden top-level window that notes the device-change announcements reaching this process.
// POSIX has no such windows, and none reach it there.
class AnnouncementWatcher {
 public:
  AnnouncementWatcher();
  ~AnnouncementWatcher();
  AnnouncementWatcher(const AnnouncementWatcher&) = delete;
  AnnouncementWatcher& operator=(const AnnouncementWatcher&) = delete;

  // Dispatches this thread's messages until `count` announcements have come or `milliseconds`
  // have passed; the time of each (milliseconds of the system's tick count).
  std::vector<unsigned long> Await(std::size_t count, int milliseconds);

 private:
  void* window_ = nullptr;
  std::vector<unsigned long> times_;
};

// Whether a library of this base name is loaded in this process (Windows only).
bool LibraryLoaded(const std::string& fileName);

// A line of a WIN4 INF as Windows' own parser (SetupAPI) reads it: its key, then its fields, with
// %strkey% resolved. The line whose key is `key`, or the section's first line. nullopt when the
// parser takes no such file, section or line, and always on POSIX, which has no parser.
std::optional<std::vector<std::string>> InfLine(const std::string& path, const std::string& section,
                                                const std::string& key = {});

// A program started with arguments; waited for on Wait() or, failing that, on destruction.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int Wait();  // the exit code

 private:
  UniqueHandle<void*, ReleaseProcess> process_;  // the platform's handle or id
  bool waited_ = false;
  int exitCode_ = -1;
};

}  // namespace tornak::sim::test
