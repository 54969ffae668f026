#include "sim/library/bridge_operations.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "sim/sim_status.hpp"

namespace tornak::sim {
namespace {

std::uint64_t ValueOf(CP210x_HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The bridge behind an open handle, or the status telling why there is none.
template <typename Self>
auto BridgeOf(Self& state, CP210x_HANDLE handle, CP210x_STATUS& why) -> decltype(state.FindBridge("")) {
  const OpenHandle* open = state.FindHandle(ValueOf(handle));
  if (open == nullptr) {
    why = kInvalidHandle;
    return nullptr;
  }
  auto* bridge = open->bridge.empty() ? nullptr : state.FindBridge(open->bridge);
  if (bridge == nullptr) why = kDeviceNotFound;
  return bridge;
}

CP210x_STATUS ReadId(const State& state, CP210x_HANDLE handle, std::uint16_t* id, std::uint16_t Bridge::*field) {
  CP210x_STATUS why = kSuccess;
  const Bridge* bridge = BridgeOf(state, handle, why);
  if (bridge == nullptr) return why;
  if (id == nullptr) return kInvalidParameter;
  *id = bridge->*field;
  return kSuccess;
}

CP210x_STATUS WriteId(State& state, CP210x_HANDLE handle, std::uint32_t id,
                      std::optional<std::uint16_t> Bridge::*pending) {
  CP210x_STATUS why = kSuccess;
  Bridge* bridge = BridgeOf(state, handle, why);
  if (bridge == nullptr) return why;
  // The bridge keeps 16 bits; the rest of the parameter is the calling convention's.
  bridge->*pending = static_cast<std::uint16_t>(id & 0xFFFFu);
  return kSuccess;
}

// The convert-to-ASCII flag is not looked at: the program asks for single-byte characters
// only, and the strings are held as bytes already.
CP210x_STATUS ReadDeviceString(const State& state, CP210x_HANDLE handle, void* buffer, std::uint8_t* length,
                               std::string Bridge::*text, std::optional<std::uint8_t> Bridge::*reported,
                               int capacity) {
  CP210x_STATUS why = kSuccess;
  const Bridge* bridge = BridgeOf(state, handle, why);
  if (bridge == nullptr) return why;
  if (buffer == nullptr || length == nullptr) return kInvalidParameter;
  const std::string& bytes = bridge->*text;
  const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(capacity));
  std::memcpy(buffer, bytes.data(), count);
  *length = (bridge->*reported).value_or(static_cast<std::uint8_t>(count));
  return kSuccess;
}

}  // namespace

CP210x_STATUS CountDevices(const State& state, Generation generation, std::int64_t now, std::uint32_t* count) {
  if (count == nullptr) return kInvalidParameter;
  *count = state.VisibleCount(generation, now);
  return kSuccess;
}

CP210x_STATUS ReadListString(const State& state, Generation generation, std::int64_t now, std::uint32_t deviceIndex,
                             void* buffer, std::uint32_t selector) {
  const Bridge* bridge = state.VisibleBridge(generation, deviceIndex, now);
  if (bridge == nullptr) return kDeviceNotFound;
  if (buffer == nullptr || selector >= kListStringCount) return kInvalidParameter;
  const std::string& text = bridge->list[selector];
  auto* out = static_cast<char*>(buffer);
  constexpr auto kCapacity = static_cast<std::size_t>(kListStringBufferSize);
  if (bridge->unterminated[selector]) {
    const std::size_t count = std::min(text.size(), kCapacity);
    std::memcpy(out, text.data(), count);
    std::fill(out + count, out + kCapacity, kUnterminatedFiller);
    return kSuccess;
  }
  const std::size_t count = std::min(text.size(), kCapacity - 1);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
  return kSuccess;
}

CP210x_STATUS OpenDevice(State& state, Generation generation, std::int64_t now, std::uint32_t deviceIndex,
                         CP210x_HANDLE* handle) {
  const Bridge* bridge = state.VisibleBridge(generation, deviceIndex, now);
  if (bridge == nullptr) return kDeviceNotFound;
  if (handle == nullptr) return kInvalidParameter;
  std::uint64_t value = HandleValue(state.nextHandle++);
  // Only after the sequence wrapped (billions of opens) could a value still be in use.
  while (state.FindHandle(value) != nullptr) value = HandleValue(state.nextHandle++);
  state.handles.push_back({value, generation, bridge->name});
  ++state.opens[Index(generation)];
  *handle = reinterpret_cast<CP210x_HANDLE>(static_cast<std::uintptr_t>(value));
  return kSuccess;
}

CP210x_STATUS CloseDevice(State& state, CP210x_HANDLE handle) {
  auto open = std::find_if(state.handles.begin(), state.handles.end(),
                           [&](const OpenHandle& candidate) { return candidate.value == ValueOf(handle); });
  if (open == state.handles.end()) return kInvalidHandle;
  // A handle to a bridge that went away still closes, as a real one does: releasing it is
  // the one thing left to do with it.
  ++state.closes[Index(open->generation)];
  state.handles.erase(open);
  return kSuccess;
}

CP210x_STATUS ResetDevice(State& state, CP210x_HANDLE handle, std::int64_t now, std::uint32_t* awayMs) {
  CP210x_STATUS why = kSuccess;
  Bridge* bridge = BridgeOf(state, handle, why);
  if (bridge == nullptr) return why;
  ChangeBridge(*bridge, [](Bridge& changed) {
    if (changed.pendingVid) changed.vid = *changed.pendingVid;
    if (changed.pendingPid) changed.pid = *changed.pendingPid;
    changed.pendingVid.reset();
    changed.pendingPid.reset();
  });
  if (awayMs != nullptr) *awayMs = bridge->reenumerationMs;
  if (bridge->reenumerationMs > 0) {
    // Off the bus: nothing counts it until it is back, and what was open on it stays dead.
    bridge->awayUntil = now + bridge->reenumerationMs;
    for (OpenHandle& open : state.handles)
      if (open.bridge == bridge->name) open.bridge.clear();
  }
  return kSuccess;
}

CP210x_STATUS ReadVid(const State& state, CP210x_HANDLE handle, std::uint16_t* vid) {
  return ReadId(state, handle, vid, &Bridge::vid);
}

CP210x_STATUS ReadPid(const State& state, CP210x_HANDLE handle, std::uint16_t* pid) {
  return ReadId(state, handle, pid, &Bridge::pid);
}

CP210x_STATUS ReadSerial(const State& state, CP210x_HANDLE handle, void* buffer, std::uint8_t* length) {
  return ReadDeviceString(state, handle, buffer, length, &Bridge::serial, &Bridge::serialLength, kSerialBufferSize);
}

CP210x_STATUS ReadProduct(const State& state, CP210x_HANDLE handle, void* buffer, std::uint8_t* length) {
  return ReadDeviceString(state, handle, buffer, length, &Bridge::product, &Bridge::productLength,
                          kProductBufferSize);
}

CP210x_STATUS WriteVid(State& state, CP210x_HANDLE handle, std::uint32_t vid) {
  return WriteId(state, handle, vid, &Bridge::pendingVid);
}

CP210x_STATUS WritePid(State& state, CP210x_HANDLE handle, std::uint32_t pid) {
  return WriteId(state, handle, pid, &Bridge::pendingPid);
}

std::uint64_t HandleValue(std::uint64_t sequence) {
  if constexpr (sizeof(CP210x_HANDLE) >= 8) return 0x7E57'0000'0000ull | (sequence & 0xFFFF'FFFFull);
  return 0x7E57'0000ull | (sequence & 0xFFFFull);
}

}  // namespace tornak::sim
