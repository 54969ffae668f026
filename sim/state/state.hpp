#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cp210x/cp210x.hpp"

namespace tornak::sim {

inline constexpr std::size_t kGenerationCount = 2;

// Which generations report a bridge.
enum class Visibility { New, Old, Both };

// The list strings of CP210x_GetProductString, indexed by their selector (kListSerialNumber ...).
inline constexpr std::size_t kListStringCount = 3;

// The names the state file and the command line give the generations, the visibilities and the
// list strings, in the order of their values.
inline constexpr std::array<std::string_view, kGenerationCount> kGenerationNames = {"new", "old"};
inline constexpr std::array<std::string_view, 3> kVisibilityNames = {"new", "old", "both"};
inline constexpr std::array<std::string_view, kListStringCount> kListStringNames = {"serial", "description", "path"};

constexpr std::size_t Index(LibraryGeneration generation) { return static_cast<std::size_t>(generation); }
constexpr std::string_view Name(LibraryGeneration generation) { return kGenerationNames[Index(generation)]; }
constexpr std::string_view Name(Visibility visibility) {
  return kVisibilityNames[static_cast<std::size_t>(visibility)];
}

// The value whose name is `text` in `names`, or nullopt.
template <typename Value, std::size_t N>
std::optional<Value> Named(const std::array<std::string_view, N>& names, std::string_view text) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == text) return static_cast<Value>(i);
  return std::nullopt;
}

// A real bridge is back within a few seconds; a longer time is a typing error.
inline constexpr std::uint32_t kMaxReenumerationMs = 60000;

// A USB identity, as a driver package names the devices it serves (USB\VID_10C4&PID_EA61).
struct UsbId {
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;

  auto operator<=>(const UsbId&) const = default;
};

// One simulated bridge. Strings are raw bytes: whatever the library hands out, unchanged.
struct Bridge {
  std::string name;
  Visibility seenBy = Visibility::New;
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  // Written by SetVid/SetPid; they replace vid/pid at the next reset.
  std::optional<std::uint16_t> pendingVid;
  std::optional<std::uint16_t> pendingPid;
  std::string serial;
  std::string product;
  std::array<std::string, kListStringCount> list;
  // Lengths reported in place of the real ones, for callers that trust them too far.
  std::optional<std::uint8_t> serialLength;
  std::optional<std::uint8_t> productLength;
  // A list string handed out with no NUL in the whole buffer.
  std::array<bool, kListStringCount> unterminated{};
  // How long the bridge is off the bus after a reset, and when it is back (milliseconds of the
  // system clock, which the tool and the libraries under Wine share; 0: it never left).
  std::uint32_t reenumerationMs = 0;  // at most kMaxReenumerationMs
  std::int64_t awayUntil = 0;

  UsbId Id() const { return {vid, pid}; }
  bool operator==(const Bridge&) const = default;
};

// A bridge as `tornak-sim attach` makes it when told nothing else: a CP2102 under the chip
// vendor's ID for its VCP driver (VID 10C4, PID EA60), seen by the new library generation, its
// list strings made by SystemListStrings.
Bridge DefaultBridge(std::string name, std::string serial = "0001");

// Milliseconds of the system clock since 1970.
std::int64_t NowMilliseconds();

// The list strings the system gives a bridge: its serial number, its product string and a
// device interface path made of its VID, PID and serial number.
std::array<std::string, kListStringCount> SystemListStrings(const Bridge& bridge);

// Changes what a bridge reports. The system names it anew, as it does a real bridge that comes
// back changed: a list string that is still the one the system made before follows to the one
// it makes now; any other was given and stays.
void ChangeBridge(Bridge& bridge, const std::function<void(Bridge&)>& change);

// An operation made to return `status` without doing anything; for one generation or both.
struct Failure {
  std::string operation;
  std::optional<LibraryGeneration> generation;
  CP210x_STATUS status = 0;

  bool operator==(const Failure&) const = default;
};

// A handle the library gave out and nobody closed yet.
struct OpenHandle {
  std::uint64_t value = 0;
  LibraryGeneration generation = LibraryGeneration::New;
  std::string bridge;  // empty once the bridge was detached or left the bus

  bool operator==(const OpenHandle&) const = default;
};

struct State {
  std::vector<Bridge> bridges;  // in attach order: the order devices are indexed in
  std::vector<Failure> failures;
  std::vector<OpenHandle> handles;
  std::array<std::uint64_t, kGenerationCount> opens{};
  std::array<std::uint64_t, kGenerationCount> closes{};
  std::uint64_t nextHandle = 1;  // a sequence number; the library turns it into a handle value
  // The identities the simulated PC has no driver package for; it has one for every other. A
  // bridge under one of them has no driver, as a real one that Windows bound none to: neither
  // generation sees it, and its handles fail.
  std::set<UsbId> withoutDriverPackage;

  Bridge* FindBridge(std::string_view name);
  const Bridge* FindBridge(std::string_view name) const;
  const OpenHandle* FindHandle(std::uint64_t value) const;
  // The status injected for an operation; one for this generation wins over one for both.
  std::optional<CP210x_STATUS> InjectedFailure(std::string_view operation, LibraryGeneration generation) const;
  // Removes the bridge; its open handles stay, but lead nowhere. False when there is none.
  bool Detach(std::string_view name);
  // The open handles on the bridge lead nowhere from now on, as when it leaves the bus.
  void OrphanHandles(std::string_view name);
  bool HasDriverPackage(UsbId id) const { return !withoutDriverPackage.contains(id); }
  // Installs or removes the package for `id`. A bridge under it loses its driver with the
  // package: what was open on it stays dead when the package comes back.
  void SetDriverPackage(UsbId id, bool installed);

  bool operator==(const State&) const = default;
};

// The library's entry point names, in the order the library documents them.
#define SIM_ENTRY_POINT_NAME(name, params, args) #name,
inline constexpr std::string_view kEntryPointNames[] = {CP210X_ENTRY_POINTS(SIM_ENTRY_POINT_NAME)};
#undef SIM_ENTRY_POINT_NAME

// The text when it names an entry point, else nullopt.
std::optional<std::string> ParseEntryPoint(std::string_view text);

// The text when it is a bridge name: a letter or digit, then letters, digits, '_', '.' or '-';
// at most 64 bytes.
std::optional<std::string> ParseBridgeName(std::string_view text);

}  // namespace tornak::sim
