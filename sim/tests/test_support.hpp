#pragma once

#include <string>
#include <vector>

namespace tornak::sim::test {

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

// A program started with arguments; waited for on Wait() or, failing that, on destruction.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int Wait();  // the exit code

 private:
  void* process_ = nullptr;  // the platform's handle or id
  bool waited_ = false;
  int exitCode_ = -1;
};

}  // namespace tornak::sim::test
