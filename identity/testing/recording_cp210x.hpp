#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/hex_digits.hpp"
#include "cp210x/cp210x.hpp"
#include "fault/fault.hpp"
#include "sim/library/bridge_model.hpp"

namespace tornak::testing {

// One library generation in-process: the simulated bridge's model, every call recorded with its
// arguments as a line of text ("Open 0", "SetPid EA60"). The fake is itself the bridge the model
// reports (sim::DefaultBridge at first), attached numDevices times; what the model changes in it,
// such as a reset's new IDs, stays. Around the model a test can fail an operation with a status
// after it answered, throw a Fault instead, or answer without the model and so write nothing; and
// it chooses the handle value the caller is given.
class RecordingCp210x final : public Cp210x, public sim::Bridge {
 public:
  explicit RecordingCp210x(std::string library = "lib")
      : sim::Bridge(sim::DefaultBridge("bridge1")), library_(std::move(library)) {}

  std::uint32_t numDevices = 1;
  std::uintptr_t handle = HandleValue(0x42);

  // By operation ("Open"): a status returned in place of the model's, a Fault thrown, no answer.
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
    return Answer("GetNumDevices", [&](Cp210x& model) { return model.CP210x_GetNumDevices(count); });
  }
  CP210x_STATUS CP210x_GetProductString(std::uint32_t index, void* buffer, std::uint32_t selector) override {
    return Answer("GetProductString " + std::to_string(index) + " " + std::to_string(selector),
                  [&](Cp210x& model) { return model.CP210x_GetProductString(index, buffer, selector); });
  }
  CP210x_STATUS CP210x_Open(std::uint32_t index, CP210x_HANDLE* out) override {
    return Answer("Open " + std::to_string(index), [&](Cp210x& model) {
      const CP210x_STATUS status = model.CP210x_Open(index, &opened_);
      if (status == 0) *out = reinterpret_cast<CP210x_HANDLE>(handle);
      return status;
    });
  }
  CP210x_STATUS CP210x_Close(CP210x_HANDLE h) override {
    return Answer("Close" + Of(h), [&](Cp210x& model) { return model.CP210x_Close(Model(h)); });
  }
  CP210x_STATUS CP210x_Reset(CP210x_HANDLE h) override {
    return Answer("Reset" + Of(h), [&](Cp210x& model) { return model.CP210x_Reset(Model(h)); });
  }
  CP210x_STATUS CP210x_GetDeviceVid(CP210x_HANDLE h, std::uint16_t* out) override {
    return Answer("GetDeviceVid" + Of(h), [&](Cp210x& model) { return model.CP210x_GetDeviceVid(Model(h), out); });
  }
  CP210x_STATUS CP210x_GetDevicePid(CP210x_HANDLE h, std::uint16_t* out) override {
    return Answer("GetDevicePid" + Of(h), [&](Cp210x& model) { return model.CP210x_GetDevicePid(Model(h), out); });
  }
  CP210x_STATUS CP210x_GetDeviceSerialNumber(CP210x_HANDLE h, void* buffer, std::uint8_t* length, int ascii) override {
    return Answer("GetDeviceSerialNumber" + Of(h) + " " + std::to_string(ascii), [&](Cp210x& model) {
      return model.CP210x_GetDeviceSerialNumber(Model(h), buffer, length, ascii);
    });
  }
  CP210x_STATUS CP210x_GetDeviceProductString(CP210x_HANDLE h, void* buffer, std::uint8_t* length, int ascii) override {
    return Answer("GetDeviceProductString" + Of(h) + " " + std::to_string(ascii), [&](Cp210x& model) {
      return model.CP210x_GetDeviceProductString(Model(h), buffer, length, ascii);
    });
  }
  CP210x_STATUS CP210x_SetPid(CP210x_HANDLE h, std::uint32_t value) override {
    return Answer("SetPid" + Of(h) + " " + HexDigits(value),
                  [&](Cp210x& model) { return model.CP210x_SetPid(Model(h), value); });
  }
  CP210x_STATUS CP210x_SetVid(CP210x_HANDLE h, std::uint32_t value) override {
    return Answer("SetVid" + Of(h) + " " + HexDigits(value),
                  [&](Cp210x& model) { return model.CP210x_SetVid(Model(h), value); });
  }

 private:
  template <typename Ask>
  CP210x_STATUS Answer(const std::string& call, Ask ask) {
    calls.push_back(call);
    const std::string operation = call.substr(0, call.find(' '));
    if (throwing.count(operation) != 0) throw Fault::MissingEntryPoint("CP210x_" + operation, library_);
    CP210x_STATUS status = 0;
    if (silent.count(operation) == 0) {
      state_.bridges.assign(numDevices, *this);
      sim::BridgeModel model(state_, LibraryGeneration::New);
      status = ask(model);
      if (numDevices > 0) static_cast<sim::Bridge&>(*this) = state_.bridges.front();
    }
    const auto forced = statuses.find(operation);
    return forced == statuses.end() ? status : forced->second;
  }

  bool HandedOut(CP210x_HANDLE h) const { return reinterpret_cast<std::uintptr_t>(h) == handle; }

  // The model's own handle for the one this fake handed out; any other goes to it unchanged.
  CP210x_HANDLE Model(CP210x_HANDLE h) const { return HandedOut(h) ? opened_ : h; }

  // The handle is shown only when it is not the one this fake handed out.
  std::string Of(CP210x_HANDLE h) const {
    return HandedOut(h) ? std::string{} : " handle?" + HexDigits(reinterpret_cast<std::uintptr_t>(h));
  }

  sim::State state_;  // the model's: the bridges (copies of this one), the open handles
  CP210x_HANDLE opened_ = nullptr;
  std::string library_;
};

}  // namespace tornak::testing
