#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tornak::sim {

inline constexpr char kStateVariable[] = "TORNAK_SIM_STATE";

// Reads one environment variable; unset and empty give nullopt.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// A path as the user gave it, made usable on this platform. On Windows a path starting with
// '/' is a Unix path reaching a program under Wine, which maps Z: to the Unix root; so one
// TORNAK_SIM_STATE serves the native tool and the libraries under Wine alike.
std::string NativeStatePath(const std::string& setting, bool windows);

// Where the state file is: TORNAK_SIM_STATE if set, else the per-user default
// (%LOCALAPPDATA%\tornak-sim\state.json on Windows, ${XDG_STATE_HOME:-$HOME/.local/state}/
// tornak-sim/state.json elsewhere). nullopt when neither the variable nor the default's own
// variables are set. The platform is a parameter so that both rule sets can be tested anywhere.
std::optional<std::string> StatePath(const EnvironmentLookup& environment, bool windows);

// The same for this process on this platform.
std::optional<std::string> StatePath();

// The INF folder of the Wine prefix the simulated libraries run in, where tornak-sim keeps the
// simulated PC's driver packages. Found as scripts/wine-env finds the prefix: WINEPREFIX when
// set, as for Wine itself; else, for a Windows program under Wine (wineWindowsFolder: its Windows
// folder, with a trailing separator), that folder's INF; else TORNAK_WINEPREFIX, else
// ${XDG_CACHE_HOME:-$HOME/.cache}/tornak/wineprefix (-dpiN after it for TORNAK_WINE_DPI=N).
// nullopt on a real Windows, where packages are not simulated, and with none of the variables.
std::optional<std::string> DriverPackageFolder(const EnvironmentLookup& environment, bool windows,
                                               const std::optional<std::string>& wineWindowsFolder);
// The same for this process.
std::optional<std::string> DriverPackageFolder();

}  // namespace tornak::sim
