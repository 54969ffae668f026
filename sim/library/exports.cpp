// The entry points of the simulated manufacturing library. One source serves both
// generations; TORNAK_SIM_GENERATION (New or Old) says which one this build is.

#include <mutex>
#include <type_traits>

#include "sim/library/bridge_operations.hpp"
#include "sim/platform.hpp"
#include "sim/sim_status.hpp"
#include "sim/state_path.hpp"
#include "sim/state_store.hpp"

#ifndef TORNAK_SIM_GENERATION
#error "TORNAK_SIM_GENERATION must be New or Old"
#endif

#ifdef _WIN32
#define SIM_EXPORT __declspec(dllexport)
#else
#define SIM_EXPORT __attribute__((visibility("default")))
#endif

// Declared from the one list of shapes: a definition below that strays from it is a second
// C function of the same name, which does not compile.
#define SIM_DECLARE_EXPORT(name, params, args) extern "C" SIM_EXPORT CP210x_STATUS CP210X_CALL name params;
CP210X_ENTRY_POINTS(SIM_DECLARE_EXPORT)
#undef SIM_DECLARE_EXPORT

#define SIM_CHECK_SHAPE(name, params, args) \
  static_assert(std::is_same_v<decltype(&name), Cp210xSig_##name>, #name " does not have the library's shape");
CP210X_ENTRY_POINTS(SIM_CHECK_SHAPE)
#undef SIM_CHECK_SHAPE

namespace {

using namespace tornak::sim;

constexpr Generation kGeneration = Generation::TORNAK_SIM_GENERATION;

// The program calls from one thread, but nothing stops a test or a tool from using more.
std::mutex& Serialised() {
  static std::mutex mutex;
  return mutex;
}

StateCache& Cache() {
  static StateCache cache;
  return cache;
}

CP210x_STATUS StatusOfFault() noexcept {
  try {
    throw;
  } catch (const MalformedState&) {
    return kStateMalformed;
  } catch (...) {
    return kIoError;
  }
}

// An operation that only looks: served from the cached state.
template <typename Look>
CP210x_STATUS Query(const char* operation, Look look) noexcept {
  try {
    std::lock_guard guard(Serialised());
    const auto path = StatePath();
    if (!path) return kIoError;
    const State& state = Cache().Current(*path);
    if (auto failure = state.InjectedFailure(operation, kGeneration)) return *failure;
    return look(state);
  } catch (...) {
    return StatusOfFault();
  }
}

// An operation that changes the state: a read-modify-write under the file's lock, written
// back only when it succeeded.
template <typename Change>
CP210x_STATUS Modify(const char* operation, Change change) noexcept {
  try {
    std::lock_guard guard(Serialised());
    const auto path = StatePath();
    if (!path) return kIoError;
    // With no state file there is nothing to change and no reason to create its folder: the
    // operation fails on the empty state.
    const State& cached = Cache().Current(*path);
    if (!Cache().FileExists()) {
      if (auto failure = cached.InjectedFailure(operation, kGeneration)) return *failure;
      State empty;
      return change(empty);
    }
    CP210x_STATUS status = kIoError;
    UpdateState(*path, [&](State& state) {
      if (auto failure = state.InjectedFailure(operation, kGeneration)) {
        status = *failure;
        return false;
      }
      status = change(state);
      return status == kSuccess;
    });
    return status;
  } catch (...) {
    return StatusOfFault();
  }
}

}  // namespace

extern "C" {

CP210x_STATUS CP210X_CALL CP210x_GetNumDevices(std::uint32_t* numDevices) {
  return Query(__func__,
               [&](const State& state) { return CountDevices(state, kGeneration, NowMilliseconds(), numDevices); });
}

CP210x_STATUS CP210X_CALL CP210x_GetProductString(std::uint32_t deviceIndex, void* buffer, std::uint32_t selector) {
  return Query(__func__, [&](const State& state) {
    return ReadListString(state, kGeneration, NowMilliseconds(), deviceIndex, buffer, selector);
  });
}

CP210x_STATUS CP210X_CALL CP210x_Open(std::uint32_t deviceIndex, CP210x_HANDLE* handle) {
  return Modify(__func__,
                [&](State& state) { return OpenDevice(state, kGeneration, NowMilliseconds(), deviceIndex, handle); });
}

CP210x_STATUS CP210X_CALL CP210x_Close(CP210x_HANDLE handle) {
  return Modify(__func__, [&](State& state) { return CloseDevice(state, handle); });
}

// A real bridge drops off the bus at a reset and comes back under its new identity, and Windows
// announces both; so does the simulated one, once the state file holds the new identity.
CP210x_STATUS CP210X_CALL CP210x_Reset(CP210x_HANDLE handle) {
  std::uint32_t away = 0;
  const CP210x_STATUS status =
      Modify(__func__, [&](State& state) { return ResetDevice(state, handle, NowMilliseconds(), &away); });
  if (status == kSuccess) {
    platform::AnnounceDeviceChange();
    if (away > 0) platform::AnnounceDeviceChangeLater(away);
  }
  return status;
}

CP210x_STATUS CP210X_CALL CP210x_GetDeviceVid(CP210x_HANDLE handle, std::uint16_t* vid) {
  return Query(__func__, [&](const State& state) { return ReadVid(state, handle, vid); });
}

CP210x_STATUS CP210X_CALL CP210x_GetDevicePid(CP210x_HANDLE handle, std::uint16_t* pid) {
  return Query(__func__, [&](const State& state) { return ReadPid(state, handle, pid); });
}

CP210x_STATUS CP210X_CALL CP210x_GetDeviceSerialNumber(CP210x_HANDLE handle, void* buffer, std::uint8_t* length,
                                                      int /*convertToAscii*/) {
  return Query(__func__, [&](const State& state) { return ReadSerial(state, handle, buffer, length); });
}

CP210x_STATUS CP210X_CALL CP210x_GetDeviceProductString(CP210x_HANDLE handle, void* buffer, std::uint8_t* length,
                                                       int /*convertToAscii*/) {
  return Query(__func__, [&](const State& state) { return ReadProduct(state, handle, buffer, length); });
}

CP210x_STATUS CP210X_CALL CP210x_SetPid(CP210x_HANDLE handle, std::uint32_t pid) {
  return Modify(__func__, [&](State& state) { return WritePid(state, handle, pid); });
}

CP210x_STATUS CP210X_CALL CP210x_SetVid(CP210x_HANDLE handle, std::uint32_t vid) {
  return Modify(__func__, [&](State& state) { return WriteVid(state, handle, vid); });
}

}  // extern "C"
