#include "sim/library/bridge_model.hpp"

#include <algorithm>
#include <cstring>

#include "sim/sim_status.hpp"

namespace tornak::sim {
namespace {

std::uint64_t ValueOf(CP210x_HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The handle value for a sequence number. On 64-bit builds it has bits set above bit 31, so a
// caller that cut a handle down to 32 bits (or sign-extended such a cut) hands back a value no
// open handle has. Never 0, never -1.
std::uint64_t HandleValue(std::uint64_t sequence) {
  if constexpr (sizeof(CP210x_HANDLE) >= 8) return 0x7E57'0000'0000ull | (sequence & 0xFFFF'FFFFull);
  return 0x7E57'0000ull | (sequence & 0xFFFFull);
}

template <typename T>
CP210x_STATUS Put(T* out, T value) {
  if (out == nullptr) return kInvalidParameter;
  *out = value;
  return kSuccess;
}

// A device string into its buffer of `capacity` bytes, and its length. The convert-to-ASCII
// flag is not looked at: the program asks for single-byte characters only, and the strings are
// held as bytes already.
CP210x_STATUS PutString(void* buffer, std::uint8_t* length, const std::string& bytes,
                        std::optional<std::uint8_t> reported, int capacity) {
  if (buffer == nullptr || length == nullptr) return kInvalidParameter;
  const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(capacity));
  std::memcpy(buffer, bytes.data(), count);
  *length = reported.value_or(static_cast<std::uint8_t>(count));
  return kSuccess;
}

// An ID written to the bridge, pending until the next reset. The bridge keeps 16 bits; the rest
// of the parameter is the calling convention's.
CP210x_STATUS Written(std::optional<std::uint16_t>& pending, std::uint32_t id) {
  return Put(&pending.emplace(), static_cast<std::uint16_t>(id & 0xFFFFu));
}

// The index-th bridge `generation` counts now, in attach order (the order devices are indexed in),
// or nullptr. One that is off the bus after a reset, or has no driver, counts for neither
// generation.
const Bridge* Visible(const State& state, LibraryGeneration generation, std::uint32_t index) {
  const std::int64_t now = NowMilliseconds();
  for (const Bridge& bridge : state.bridges) {
    const bool seen = bridge.seenBy == Visibility::Both ||
                      (bridge.seenBy == Visibility::New) == (generation == LibraryGeneration::New);
    if (seen && bridge.awayUntil <= now && state.HasDriverPackage(bridge.Id()) && index-- == 0) return &bridge;
  }
  return nullptr;
}

// look(bridge) for the bridge behind an open handle, or the status telling why there is none:
// it went away, or has no driver now.
template <typename Look>
CP210x_STATUS WithBridge(State& state, CP210x_HANDLE handle, Look look) {
  const OpenHandle* open = state.FindHandle(ValueOf(handle));
  if (open == nullptr) return kInvalidHandle;
  Bridge* bridge = open->bridge.empty() ? nullptr : state.FindBridge(open->bridge);
  return bridge == nullptr || !state.HasDriverPackage(bridge->Id()) ? kDeviceNotFound : look(*bridge);
}

}  // namespace

CP210x_STATUS BridgeModel::CP210x_GetNumDevices(std::uint32_t* numDevices) {
  std::uint32_t count = 0;
  while (Visible(state_, generation_, count) != nullptr) ++count;
  return Put(numDevices, count);
}

CP210x_STATUS BridgeModel::CP210x_GetProductString(std::uint32_t deviceIndex, void* buffer, std::uint32_t selector) {
  const Bridge* bridge = Visible(state_, generation_, deviceIndex);
  if (bridge == nullptr) return kDeviceNotFound;
  if (buffer == nullptr || selector >= kListStringCount) return kInvalidParameter;
  const std::string& text = bridge->list[selector];
  auto* out = static_cast<char*>(buffer);
  constexpr auto kCapacity = static_cast<std::size_t>(kListStringBufferSize);
  // An unterminated string fills the whole buffer, '#' after its text, with no NUL anywhere.
  const bool terminated = !bridge->unterminated[selector];
  const std::size_t count = std::min(text.size(), kCapacity - (terminated ? 1 : 0));
  std::memcpy(out, text.data(), count);
  if (terminated) out[count] = '\0';
  else std::fill(out + count, out + kCapacity, '#');
  return kSuccess;
}

CP210x_STATUS BridgeModel::CP210x_Open(std::uint32_t deviceIndex, CP210x_HANDLE* handle) {
  const Bridge* bridge = Visible(state_, generation_, deviceIndex);
  if (bridge == nullptr) return kDeviceNotFound;
  if (handle == nullptr) return kInvalidParameter;
  std::uint64_t value = HandleValue(state_.nextHandle++);
  // Only after the sequence wrapped (billions of opens) could a value still be in use.
  while (state_.FindHandle(value) != nullptr) value = HandleValue(state_.nextHandle++);
  state_.handles.push_back({value, generation_, bridge->name});
  ++state_.opens[Index(generation_)];
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the library's handles are numbers it hands out.
  *handle = reinterpret_cast<CP210x_HANDLE>(static_cast<std::uintptr_t>(value));
  return kSuccess;
}

CP210x_STATUS BridgeModel::CP210x_Close(CP210x_HANDLE handle) {
  const OpenHandle* open = state_.FindHandle(ValueOf(handle));
  if (open == nullptr) return kInvalidHandle;
  // A handle to a bridge that went away still closes, as a real one does: releasing it is
  // the one thing left to do with it.
  ++state_.closes[Index(open->generation)];
  state_.handles.erase(state_.handles.begin() + (open - state_.handles.data()));
  return kSuccess;
}

CP210x_STATUS BridgeModel::CP210x_Reset(CP210x_HANDLE handle) {
  return WithBridge(state_, handle, [&](Bridge& bridge) {
    ChangeBridge(bridge, [](Bridge& changed) {
      if (changed.pendingVid) changed.vid = *changed.pendingVid;
      if (changed.pendingPid) changed.pid = *changed.pendingPid;
      changed.pendingVid.reset();
      changed.pendingPid.reset();
    });
    awayAfterReset_ = bridge.reenumerationMs;
    // Off the bus: nothing counts it until it is back. Back under an identity that no driver
    // package names: nothing counts it until one is installed. Either way what was open on it
    // stays dead.
    if (bridge.reenumerationMs > 0) bridge.awayUntil = NowMilliseconds() + bridge.reenumerationMs;
    if (bridge.reenumerationMs > 0 || !state_.HasDriverPackage(bridge.Id())) state_.OrphanHandles(bridge.name);
    return kSuccess;
  });
}

CP210x_STATUS BridgeModel::CP210x_GetDeviceVid(CP210x_HANDLE handle, std::uint16_t* vid) {
  return WithBridge(state_, handle, [&](const Bridge& bridge) { return Put(vid, bridge.vid); });
}

CP210x_STATUS BridgeModel::CP210x_GetDevicePid(CP210x_HANDLE handle, std::uint16_t* pid) {
  return WithBridge(state_, handle, [&](const Bridge& bridge) { return Put(pid, bridge.pid); });
}

CP210x_STATUS BridgeModel::CP210x_GetDeviceSerialNumber(CP210x_HANDLE handle, void* buffer, std::uint8_t* length,
                                                        int /*convertToAscii*/) {
  return WithBridge(state_, handle, [&](const Bridge& bridge) {
    return PutString(buffer, length, bridge.serial, bridge.serialLength, kSerialBufferSize);
  });
}

CP210x_STATUS BridgeModel::CP210x_GetDeviceProductString(CP210x_HANDLE handle, void* buffer, std::uint8_t* length,
                                                         int /*convertToAscii*/) {
  return WithBridge(state_, handle, [&](const Bridge& bridge) {
    return PutString(buffer, length, bridge.product, bridge.productLength, kProductBufferSize);
  });
}

CP210x_STATUS BridgeModel::CP210x_SetPid(CP210x_HANDLE handle, std::uint32_t pid) {
  return WithBridge(state_, handle, [&](Bridge& bridge) { return Written(bridge.pendingPid, pid); });
}

CP210x_STATUS BridgeModel::CP210x_SetVid(CP210x_HANDLE handle, std::uint32_t vid) {
  return WithBridge(state_, handle, [&](Bridge& bridge) { return Written(bridge.pendingVid, vid); });
}

}  // namespace tornak::sim
