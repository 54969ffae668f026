#include <algorithm>
#include <atomic>
#include <filesystem>

#include "sim/platform.hpp"
#include "sim/state/path.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::sim::test {

TempStateFile::TempStateFile() {
  static std::atomic<int> count{0};
  const auto folder = std::filesystem::temp_directory_path() /
                      ("tornak-sim-test-" + std::to_string(platform::ProcessId()) + "-" + std::to_string(++count));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  folder_ = folder.string();
  path_ = (folder / "state.json").string();
  SetEnvironment(kStateVariable, path_);
}

TempStateFile::~TempStateFile() {
  UnsetEnvironment(kStateVariable);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> TempStateFile::FolderEntries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tornak::sim::test
