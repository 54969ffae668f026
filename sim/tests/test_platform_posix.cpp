#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "sim/tests/test_support.hpp"

extern char** environ;

namespace tornak::sim::test {

void SetEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void UnsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) throw std::runtime_error("cannot find the test program's folder");
  const std::string text(path, static_cast<std::size_t>(length));
  return text.substr(0, text.find_last_of('/') + 1);
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
  process_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(pid));
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait();
}

int ChildProcess::Wait() {
  if (waited_) return exitCode_;
  int status = 0;
  const auto pid = static_cast<pid_t>(reinterpret_cast<std::intptr_t>(process_));
  while (::waitpid(pid, &status, 0) < 0) {
  }
  waited_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return exitCode_;
}

}  // namespace tornak::sim::test
