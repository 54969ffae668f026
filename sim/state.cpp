#include "sim/state.hpp"

#include <algorithm>
#include <chrono>

#include "convert/hex_digits.hpp"

namespace tornak::sim {
namespace {

template <typename Self>
auto* FindBridgeIn(Self& state, std::string_view name) {
  auto found = std::find_if(state.bridges.begin(), state.bridges.end(),
                            [&](const Bridge& bridge) { return bridge.name == name; });
  return found == state.bridges.end() ? nullptr : &*found;
}

template <typename Self>
auto VisibleBridgeIn(Self& state, Generation generation, std::uint32_t index, std::int64_t now)
    -> decltype(&state.bridges.front()) {
  for (auto& bridge : state.bridges) {
    if (!bridge.SeenBy(generation, now)) continue;
    if (index == 0) return &bridge;
    --index;
  }
  return nullptr;
}

template <typename Self>
auto* FindHandleIn(Self& state, std::uint64_t value) {
  auto found = std::find_if(state.handles.begin(), state.handles.end(),
                            [&](const OpenHandle& handle) { return handle.value == value; });
  return found == state.handles.end() ? nullptr : &*found;
}

constexpr std::array<std::string_view, kListStringCount> kListStringNames = {"list-serial", "list-description",
                                                                           "list-path"};

}  // namespace

bool Bridge::SeenBy(Generation generation, std::int64_t now) const noexcept {
  if (awayUntil > now) return false;
  if (seenBy == Visibility::Both) return true;
  return (seenBy == Visibility::New) == (generation == Generation::New);
}

Bridge* State::FindBridge(std::string_view name) { return FindBridgeIn(*this, name); }
const Bridge* State::FindBridge(std::string_view name) const { return FindBridgeIn(*this, name); }

Bridge* State::VisibleBridge(Generation generation, std::uint32_t index, std::int64_t now) {
  return VisibleBridgeIn(*this, generation, index, now);
}
const Bridge* State::VisibleBridge(Generation generation, std::uint32_t index, std::int64_t now) const {
  return VisibleBridgeIn(*this, generation, index, now);
}

std::uint32_t State::VisibleCount(Generation generation, std::int64_t now) const {
  return static_cast<std::uint32_t>(std::count_if(bridges.begin(), bridges.end(), [&](const Bridge& bridge) {
    return bridge.SeenBy(generation, now);
  }));
}

OpenHandle* State::FindHandle(std::uint64_t value) { return FindHandleIn(*this, value); }
const OpenHandle* State::FindHandle(std::uint64_t value) const { return FindHandleIn(*this, value); }

std::optional<CP210x_STATUS> State::InjectedFailure(std::string_view operation, Generation generation) const {
  std::optional<CP210x_STATUS> forBoth;
  for (const Failure& failure : failures) {
    if (failure.operation != operation) continue;
    if (failure.generation == generation) return failure.status;
    if (!failure.generation) forBoth = failure.status;
  }
  return forBoth;
}

bool State::Detach(std::string_view name) {
  auto found = std::find_if(bridges.begin(), bridges.end(), [&](const Bridge& bridge) { return bridge.name == name; });
  if (found == bridges.end()) return false;
  for (OpenHandle& handle : handles)
    if (handle.bridge == name) handle.bridge.clear();
  bridges.erase(found);
  return true;
}

std::string_view GenerationName(Generation generation) { return generation == Generation::New ? "new" : "old"; }

std::optional<Generation> ParseGeneration(std::string_view text) {
  if (text == "new") return Generation::New;
  if (text == "old") return Generation::Old;
  return std::nullopt;
}

std::string_view VisibilityName(Visibility visibility) {
  switch (visibility) {
    case Visibility::New: return "new";
    case Visibility::Old: return "old";
    case Visibility::Both: return "both";
  }
  return "?";
}

std::optional<Visibility> ParseVisibility(std::string_view text) {
  if (text == "new") return Visibility::New;
  if (text == "old") return Visibility::Old;
  if (text == "both") return Visibility::Both;
  return std::nullopt;
}

std::string_view ListStringName(ListString which) { return kListStringNames[Index(which)]; }

std::optional<ListString> ParseListString(std::string_view text) {
  for (std::size_t i = 0; i < kListStringNames.size(); ++i)
    if (kListStringNames[i] == text) return static_cast<ListString>(i);
  return std::nullopt;
}

Bridge DefaultBridge(std::string name, std::string serial) {
  Bridge bridge;
  bridge.name = std::move(name);
  bridge.seenBy = Visibility::New;
  bridge.vid = 0x10C4;
  bridge.pid = 0xEA60;
  bridge.serial = std::move(serial);
  bridge.product = "CP2102 USB to UART Bridge Controller";
  bridge.list = SystemListStrings(bridge);
  return bridge;
}

std::int64_t NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::array<std::string, kListStringCount> SystemListStrings(const Bridge& bridge) {
  return {bridge.serial, bridge.product,
          "\\\\?\\usb#vid_" + HexDigits(bridge.vid, 4, HexCase::Lower) + "&pid_" +
              HexDigits(bridge.pid, 4, HexCase::Lower) + "#" + bridge.serial +
              "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"};
}

void ChangeBridge(Bridge& bridge, const std::function<void(Bridge&)>& change) {
  const auto before = SystemListStrings(bridge);
  change(bridge);
  const auto after = SystemListStrings(bridge);
  for (std::size_t i = 0; i < kListStringCount; ++i)
    if (bridge.list[i] == before[i]) bridge.list[i] = after[i];
}

const std::vector<std::string_view>& EntryPointNames() {
#define SIM_ENTRY_POINT_NAME(name, params, args) #name,
  static const std::vector<std::string_view> names = {CP210X_ENTRY_POINTS(SIM_ENTRY_POINT_NAME)};
#undef SIM_ENTRY_POINT_NAME
  return names;
}

bool IsEntryPointName(std::string_view name) {
  const auto& names = EntryPointNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsValidBridgeName(std::string_view name) {
  auto isAlnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  if (name.empty() || name.size() > 64 || !isAlnum(name.front())) return false;
  return std::all_of(name.begin(), name.end(),
                     [&](char c) { return isAlnum(c) || c == '_' || c == '.' || c == '-'; });
}

}  // namespace tornak::sim
