#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/hex_digits.hpp"
#include "fault/fault.hpp"
#include "vendor/cp210x.hpp"

namespace tornak::testing {

// An in-process stand-in for one library generation: answers from the fields below and
// records every call, with its arguments, as a line of text ("Open 0", "SetPid EA60").
class RecordingCp210x final : public Cp210x {
 public:
  explicit RecordingCp210x(std::string name = "lib") : name_(std::move(name)) {}

  // What the fake bridge reports.
  std::uint32_t numDevices = 1;
  std::array<std::string, 3> listStrings{"0001", "CP2102N USB to UART Bridge Controller", "\\\\?\\usb#vid_10c4&pid_ea60#0001"};
  std::uintptr_t handle = HandleValue(0x42);
  std::uint16_t vid = 0x10C4;
  std::uint16_t pid = 0xEA60;
  std::string serial = "0001";
  std::string product = "CP2102N USB to UART Bridge Controller";
  int serialLength = -1;   // reported length when not -1
  int productLength = -1;  // reported length when not -1

  // Failures: a non-zero status for an operation ("Open"), or a Fault thrown by it; and
  // operations that fail without writing their out arguments.
  std::map<std::string, CP210x_STATUS> statuses;
  std::set<std::string> throwing;
  std::set<std::string> silent;

  std::vector<std::string> calls;

  // A handle with bits above 32 set where pointers are that wide.
  static std::uintptr_t HandleValue(std::uintptr_t low) {
    return sizeof(std::uintptr_t) > 4 ? (static_cast<std::uintptr_t>(0x5EULL << 36) | low) : low;
  }

  std::size_t Count(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& call : calls) n += call.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  CP210x_STATUS CP210x_GetNumDevices(std::uint32_t* count) override {
    return Answer("GetNumDevices", [&] { *count = numDevices; });
  }
  CP210x_STATUS CP210x_GetProductString(std::uint32_t index, void* buffer, std::uint32_t selector) override {
    return Answer("GetProductString " + std::to_string(index) + " " + std::to_string(selector), [&] {
      const std::string& text = listStrings.at(selector);
      Fill(buffer, kListStringBufferSize, text);
    });
  }
  CP210x_STATUS CP210x_Open(std::uint32_t index, CP210x_HANDLE* out) override {
    return Answer("Open " + std::to_string(index), [&] { *out = reinterpret_cast<CP210x_HANDLE>(handle); });
  }
  CP210x_STATUS CP210x_Close(CP210x_HANDLE h) override { return Answer("Close" + Of(h), [] {}); }
  CP210x_STATUS CP210x_Reset(CP210x_HANDLE h) override { return Answer("Reset" + Of(h), [] {}); }
  CP210x_STATUS CP210x_GetDeviceVid(CP210x_HANDLE h, std::uint16_t* out) override {
    return Answer("GetDeviceVid" + Of(h), [&] { *out = vid; });
  }
  CP210x_STATUS CP210x_GetDevicePid(CP210x_HANDLE h, std::uint16_t* out) override {
    return Answer("GetDevicePid" + Of(h), [&] { *out = pid; });
  }
  CP210x_STATUS CP210x_GetDeviceSerialNumber(CP210x_HANDLE h, void* buffer, std::uint8_t* length, int ascii) override {
    return Answer("GetDeviceSerialNumber" + Of(h) + " " + std::to_string(ascii), [&] {
      Fill(buffer, kSerialBufferSize, serial);
      *length = static_cast<std::uint8_t>(serialLength >= 0 ? serialLength : static_cast<int>(serial.size()));
    });
  }
  CP210x_STATUS CP210x_GetDeviceProductString(CP210x_HANDLE h, void* buffer, std::uint8_t* length, int ascii) override {
    return Answer("GetDeviceProductString" + Of(h) + " " + std::to_string(ascii), [&] {
      Fill(buffer, kProductBufferSize, product);
      *length = static_cast<std::uint8_t>(productLength >= 0 ? productLength : static_cast<int>(product.size()));
    });
  }
  CP210x_STATUS CP210x_SetPid(CP210x_HANDLE h, std::uint32_t value) override {
    return Answer("SetPid" + Of(h) + " " + HexDigits(value), [&] { pendingPid = value; });
  }
  CP210x_STATUS CP210x_SetVid(CP210x_HANDLE h, std::uint32_t value) override {
    return Answer("SetVid" + Of(h) + " " + HexDigits(value), [&] { pendingVid = value; });
  }

  std::uint32_t pendingPid = 0;
  std::uint32_t pendingVid = 0;

 private:
  template <typename Write>
  CP210x_STATUS Answer(const std::string& call, Write write) {
    calls.push_back(call);
    const std::string operation = call.substr(0, call.find(' '));
    if (throwing.count(operation) != 0)
      throw Fault::MissingEntryPoint("CP210x_" + operation, name_);
    if (silent.count(operation) == 0) write();
    const auto status = statuses.find(operation);
    return status == statuses.end() ? 0 : status->second;
  }

  // The handle is shown only when it is not the one this fake handed out.
  std::string Of(CP210x_HANDLE h) const {
    return reinterpret_cast<std::uintptr_t>(h) == handle ? std::string{} : " handle?" + HexDigits(reinterpret_cast<std::uintptr_t>(h));
  }

  static void Fill(void* buffer, int size, const std::string& text) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (int i = 0; i < size && i < static_cast<int>(text.size()); ++i) bytes[i] = static_cast<std::uint8_t>(text[static_cast<std::size_t>(i)]);
    if (static_cast<int>(text.size()) < size) bytes[text.size()] = 0;
  }

  std::string name_;
};

}  // namespace tornak::testing
