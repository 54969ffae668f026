#include "sim/state/state.hpp"

#include <algorithm>
#include <chrono>

#include "convert/hex_digits.hpp"

namespace tornak::sim {

Bridge* State::FindBridge(std::string_view name) {
  return const_cast<Bridge*>(static_cast<const State&>(*this).FindBridge(name));
}

const Bridge* State::FindBridge(std::string_view name) const {
  auto found = std::find_if(bridges.begin(), bridges.end(), [&](const Bridge& bridge) { return bridge.name == name; });
  return found == bridges.end() ? nullptr : &*found;
}

const OpenHandle* State::FindHandle(std::uint64_t value) const {
  auto found =
      std::find_if(handles.begin(), handles.end(), [&](const OpenHandle& handle) { return handle.value == value; });
  return found == handles.end() ? nullptr : &*found;
}

std::optional<CP210x_STATUS> State::InjectedFailure(std::string_view operation, LibraryGeneration generation) const {
  std::optional<CP210x_STATUS> forBoth;
  for (const Failure& failure : failures) {
    if (failure.operation != operation) continue;
    if (failure.generation == generation) return failure.status;
    if (!failure.generation) forBoth = failure.status;
  }
  return forBoth;
}

bool State::Detach(std::string_view name) {
  const auto before = bridges.size();
  std::erase_if(bridges, [&](const Bridge& bridge) { return bridge.name == name; });
  OrphanHandles(name);
  return bridges.size() != before;
}

void State::OrphanHandles(std::string_view name) {
  for (OpenHandle& handle : handles)
    if (handle.bridge == name) handle.bridge.clear();
}

void State::SetDriverPackage(UsbId id, bool installed) {
  if (installed) {
    withoutDriverPackage.erase(id);
    return;
  }
  withoutDriverPackage.insert(id);
  for (const Bridge& bridge : bridges)
    if (bridge.Id() == id) OrphanHandles(bridge.name);
}

Bridge DefaultBridge(std::string name, std::string serial) {
  Bridge bridge;
  bridge.name = std::move(name);
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

std::optional<std::string> ParseEntryPoint(std::string_view text) {
  if (std::find(std::begin(kEntryPointNames), std::end(kEntryPointNames), text) == std::end(kEntryPointNames))
    return std::nullopt;
  return std::string(text);
}

std::optional<std::string> ParseBridgeName(std::string_view text) {
  auto isAlnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  if (text.empty() || text.size() > 64 || !isAlnum(text.front())) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [&](char c) { return isAlnum(c) || c == '_' || c == '.' || c == '-'; }))
    return std::nullopt;
  return std::string(text);
}

}  // namespace tornak::sim
