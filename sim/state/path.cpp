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

}  // namespace tornak::sim
