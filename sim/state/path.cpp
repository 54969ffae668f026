#include "sim/state/path.hpp"

#include "sim/platform.hpp"

namespace tornak::sim {

std::string NativeStatePath(const std::string& setting, bool windows) {
  if (windows && !setting.empty() && setting.front() == '/' && setting.rfind("//", 0) != 0) return "Z:" + setting;
  return setting;
}

std::optional<std::string> StatePath(const EnvironmentLookup& environment, bool windows) {
  if (auto setting = environment(kStateVariable)) return NativeStatePath(*setting, windows);
  if (windows) {
    if (auto local = environment("LOCALAPPDATA")) return *local + "\\tornak-sim\\state.json";
    return std::nullopt;
  }
  // Only an absolute XDG_STATE_HOME counts; a relative one is to be ignored.
  if (auto stateHome = environment("XDG_STATE_HOME"); stateHome && stateHome->front() == '/')
    return *stateHome + "/tornak-sim/state.json";
  if (auto home = environment("HOME")) return *home + "/.local/state/tornak-sim/state.json";
  return std::nullopt;
}

std::optional<std::string> StatePath() { return StatePath(platform::EnvironmentVariable, platform::kWindows); }

std::optional<std::string> DriverPackageFolder(const EnvironmentLookup& environment, bool windows,
                                               const std::optional<std::string>& wineWindowsFolder) {
  if (windows && !wineWindowsFolder) return std::nullopt;
  const std::string inPrefix = "/drive_c/windows/inf";
  if (auto prefix = environment("WINEPREFIX")) return NativeStatePath(*prefix, windows) + inPrefix;
  if (windows) return *wineWindowsFolder + "inf";
  if (auto prefix = environment("TORNAK_WINEPREFIX")) return *prefix + inPrefix;
  auto cache = environment("XDG_CACHE_HOME");
  if (!cache) {
    const auto home = environment("HOME");
    if (!home) return std::nullopt;
    cache = *home + "/.cache";
  }
  const auto dpi = environment("TORNAK_WINE_DPI");
  return *cache + "/tornak/wineprefix" + (dpi ? "-dpi" + *dpi : std::string()) + inPrefix;
}

std::optional<std::string> DriverPackageFolder() {
  return DriverPackageFolder(platform::EnvironmentVariable, platform::kWindows, platform::WineWindowsFolder());
}

}  // namespace tornak::sim
