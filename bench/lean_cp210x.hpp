#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "sim/state/state.hpp"
#include "vendor/cp210x.hpp"

namespace tornak::bench {

// A bridge held in memory that answers with a copy and nothing else: no recording, no strings
// built per call, so that a benchmark against it times the caller's own work.
class LeanCp210x final : public Cp210x {
 public:
  std::uint32_t numDevices = 1;

  CP210x_STATUS CP210x_GetNumDevices(std::uint32_t* count) override {
    *count = numDevices;
    return 0;
  }
  CP210x_STATUS CP210x_GetProductString(std::uint32_t, void* buffer, std::uint32_t selector) override {
    Copy(buffer, bridge_.list[selector < 3 ? selector : 0], true);
    return 0;
  }
  CP210x_STATUS CP210x_Open(std::uint32_t, CP210x_HANDLE* handle) override {
    *handle = reinterpret_cast<CP210x_HANDLE>(kHandle);
    return 0;
  }
  CP210x_STATUS CP210x_Close(CP210x_HANDLE) override { return 0; }
  CP210x_STATUS CP210x_Reset(CP210x_HANDLE) override { return 0; }
  CP210x_STATUS CP210x_GetDeviceVid(CP210x_HANDLE, std::uint16_t* vid) override {
    *vid = bridge_.vid;
    return 0;
  }
  CP210x_STATUS CP210x_GetDevicePid(CP210x_HANDLE, std::uint16_t* pid) override {
    *pid = bridge_.pid;
    return 0;
  }
  CP210x_STATUS CP210x_GetDeviceSerialNumber(CP210x_HANDLE, void* buffer, std::uint8_t* length, int) override {
    *length = Copy(buffer, bridge_.serial, false);
    return 0;
  }
  CP210x_STATUS CP210x_GetDeviceProductString(CP210x_HANDLE, void* buffer, std::uint8_t* length, int) override {
    *length = Copy(buffer, bridge_.product, false);
    return 0;
  }
  CP210x_STATUS CP210x_SetPid(CP210x_HANDLE, std::uint32_t pid) override {
    pendingPid = pid;
    return 0;
  }
  CP210x_STATUS CP210x_SetVid(CP210x_HANDLE, std::uint32_t vid) override {
    pendingVid = vid;
    return 0;
  }

  std::uint32_t pendingPid = 0;
  std::uint32_t pendingVid = 0;

 private:
  static constexpr std::uintptr_t kHandle = 0x7E57'0001;
  // What `tornak-sim attach` makes, its strings built once.
  const sim::Bridge bridge_ = sim::DefaultBridge("bridge1");

  static std::uint8_t Copy(void* buffer, std::string_view text, bool terminate) {
    std::memcpy(buffer, text.data(), text.size());
    if (terminate) static_cast<char*>(buffer)[text.size()] = '\0';
    return static_cast<std::uint8_t>(text.size());
  }
};

}  // namespace tornak::bench
