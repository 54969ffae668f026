#include <gtest/gtest.h>

#include <map>

#include "sim/state/path.hpp"

namespace tornak::sim {
namespace {

EnvironmentLookup Environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> std::optional<std::string> {
    auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(StatePath, VariableWinsOverTheDefault) {
  const auto environment = Environment({{"TORNAK_SIM_STATE", "/tmp/t/state.txt"},
                                        {"HOME", "/home/u"},
                                        {"XDG_STATE_HOME", "/xdg"},
                                        {"LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local"}});
  EXPECT_EQ(StatePath(environment, false), "/tmp/t/state.txt");
  // Under Wine the same Unix path reaches the Windows build, which finds it through Z:.
  EXPECT_EQ(StatePath(environment, true), "Z:/tmp/t/state.txt");
  EXPECT_EQ(StatePath(Environment({{"TORNAK_SIM_STATE", "C:\\sim\\state.txt"}}), true), "C:\\sim\\state.txt");
  EXPECT_EQ(StatePath(Environment({{"TORNAK_SIM_STATE", "relative.txt"}}), true), "relative.txt");
}

TEST(StatePath, PerUserDefaults) {
  EXPECT_EQ(StatePath(Environment({{"HOME", "/home/u"}, {"XDG_STATE_HOME", "/xdg"}}), false),
            "/xdg/tornak-sim/state.json");
  // A relative XDG_STATE_HOME is not to be used.
  EXPECT_EQ(StatePath(Environment({{"HOME", "/home/u"}, {"XDG_STATE_HOME", "xdg"}}), false),
            "/home/u/.local/state/tornak-sim/state.json");
  EXPECT_EQ(StatePath(Environment({{"LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local"}, {"HOME", "/home/u"}}), true),
            "C:\\Users\\u\\AppData\\Local\\tornak-sim\\state.json");
  EXPECT_EQ(StatePath(Environment({}), false), std::nullopt);
  EXPECT_EQ(StatePath(Environment({{"HOME", "/home/u"}}), true), std::nullopt);
}

// The simulated driver packages go where the scripts' Wine prefix keeps its installed ones.
TEST(DriverPackageFolder, IsThePrefixTheScriptsUse) {
  const std::optional<std::string> wine = "C:\\windows\\";
  const auto both = Environment({{"WINEPREFIX", "/p"}, {"TORNAK_WINEPREFIX", "/t"}, {"HOME", "/h"}});
  EXPECT_EQ(DriverPackageFolder(both, true, std::nullopt), std::nullopt) << "a real Windows";
  EXPECT_EQ(DriverPackageFolder(both, true, wine), "Z:/p/drive_c/windows/inf");
  EXPECT_EQ(DriverPackageFolder(both, false, std::nullopt), "/p/drive_c/windows/inf");
  EXPECT_EQ(DriverPackageFolder(Environment({{"TORNAK_WINEPREFIX", "/t"}}), true, wine), "C:\\windows\\inf");
  EXPECT_EQ(DriverPackageFolder(Environment({{"TORNAK_WINEPREFIX", "/t"}, {"XDG_CACHE_HOME", "/c"}}), false, {}),
            "/t/drive_c/windows/inf");
  EXPECT_EQ(DriverPackageFolder(Environment({{"XDG_CACHE_HOME", "/c"}, {"HOME", "/h"}, {"TORNAK_WINE_DPI", "144"}}),
                                false, {}),
            "/c/tornak/wineprefix-dpi144/drive_c/windows/inf");
  EXPECT_EQ(DriverPackageFolder(Environment({{"HOME", "/h"}}), false, {}),
            "/h/.cache/tornak/wineprefix/drive_c/windows/inf");
  EXPECT_EQ(DriverPackageFolder(Environment({}), false, {}), std::nullopt);
}

}  // namespace
}  // namespace tornak::sim
