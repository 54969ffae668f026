#include "system/program_folder.hpp"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tornak {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, IsTheFolderThisTestRunsFromWithItsSeparator) {
  const auto folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\') << fs::path(folder).string();
  EXPECT_TRUE(fs::path(folder).is_absolute()) << fs::path(folder).string();
  bool found = false;
  for (const auto& entry : fs::directory_iterator(folder))
    found = found || entry.path().stem() == "system_tests";
  EXPECT_TRUE(found) << fs::path(folder).string();
}

}  // namespace
}  // namespace tornak
