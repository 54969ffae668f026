#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "sim/testing/test_support.hpp"
#include "system/program_folder.hpp"

extern char** environ;

namespace tornak::sim::test {

void SetEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void UnsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

std::string ProgramFolder() {
  std::string folder = tornak::ProgramFolder();
  if (folder.empty()) throw std::runtime_error("cannot find the test program's folder");
  return folder;
}

std::string ExecutableName(const std::string& stem) { return stem; }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + program);
  process_.Reset(reinterpret_cast<void*>(static_cast<std::intptr_t>(pid)));
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait();
}

// A process id holds nothing of the system's: waiting for the child reaped it.
void ReleaseProcess(void*) noexcept {}

int ChildProcess::Wait() {
  if (waited_) return exitCode_;
  int status = 0;
  const auto pid = static_cast<pid_t>(reinterpret_cast<std::intptr_t>(process_.Get()));
  while (::waitpid(pid, &status, 0) < 0) {
  }
  waited_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return exitCode_;
}

AnnouncementWatcher::AnnouncementWatcher() = default;
AnnouncementWatcher::~AnnouncementWatcher() = default;
std::vector<unsigned long> AnnouncementWatcher::Await(std::size_t, int) { return times_; }

bool LibraryLoaded(const std::string&) { return false; }

std::optional<std::vector<std::string>> InfLine(const std::string&, const std::string&, const std::string&) {
  return std::nullopt;
}

}  // namespace tornak::sim::test
