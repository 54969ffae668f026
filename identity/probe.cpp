#include "identity/probe.hpp"

#include <array>
#include <cstdint>

#include "convert/convert.hpp"
#include "identity/bridge_access.hpp"

namespace tornak {
namespace {

// Everything one run reads from the library. Zeroed once per run, not between the two
// attempts: what the first attempt wrote stays until the second overwrites it.
struct ProbeBuffers {
  std::array<std::uint8_t, kListStringBufferSize> listSerial{};
  std::array<std::uint8_t, kListStringBufferSize> listDescription{};
  std::array<std::uint8_t, kListStringBufferSize> listPath{};
  std::array<std::uint8_t, kSerialBufferSize> serial{};
  std::array<std::uint8_t, kProductBufferSize> product{};
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  std::uint8_t serialLength = 0;
  std::uint8_t productLength = 0;
};

void ClearBridgeFields(IdentityDisplay& display) {
  for (DisplayField field : kBridgeFields) display.SetFieldText(field, Text{});
}

// Reads the open device; false at the first query that fails.
bool ReadDevice(Cp210x& library, CP210x_HANDLE handle, ProbeBuffers& b) {
  return Succeeded(library.CP210x_GetDeviceVid(handle, &b.vid)) &&
         Succeeded(library.CP210x_GetDevicePid(handle, &b.pid)) &&
         Succeeded(library.CP210x_GetDeviceSerialNumber(handle, b.serial.data(), &b.serialLength, 1)) &&
         Succeeded(library.CP210x_GetDeviceProductString(handle, b.product.data(), &b.productLength, 1));
}

void ShowIdentity(LibraryGeneration generation, ProbeBuffers& b, BridgeState& state, IdentityDisplay& display) {
  const std::int32_t serialListLength = LenArray(b.listSerial);
  const std::int32_t descriptionLength = LenArray(b.listDescription);
  const std::int32_t pathLength = LenArray(b.listPath);
  const Text serialListText = ConvertToString(b.listSerial, serialListLength);
  const Text descriptionText = ConvertToString(b.listDescription, descriptionLength);
  const Text pathText = ConvertToString(b.listPath, pathLength);
  display.SetFieldText(DisplayField::ProdString, serialListText + u" " + descriptionText + u" " + pathText);

  display.SetFieldText(DisplayField::Rvid, HexText(b.vid));
  display.SetFieldText(DisplayField::Rpid, HexText(b.pid));
  display.SetFieldText(DisplayField::Rsernum, ConvertToString(b.serial, b.serialLength));
  display.SetFieldText(DisplayField::Rprodstr, ConvertToString(b.product, b.productLength));
  const bool isNew = generation == LibraryGeneration::New;
  state.NewDriverActive = isNew;
  display.SetFieldText(DisplayField::DriverType, isNew ? kNewDriverText : kOldDriverText);
}

void FailAttempt(LibraryGeneration generation, BridgeState& state, IdentityDisplay& display) {
  ClearBridgeFields(display);
  // Whichever call last counted the devices decides, even one of an earlier attempt.
  if (state.NumDevices > 1) display.ShowWarning(kSeveralBridgesWarning);
  // Only once the box is answered: while it is up, the slot holds what the last probe left.
  if (generation == LibraryGeneration::New) state.DeviceHandle = -1;
  display.SetFieldText(DisplayField::DriverType, kNoDeviceText);
}

bool ReadBridge(ProbeBuffers& b, BridgeState& state, Cp210x& library) {
  if (!CountOneBridge(library, state)) return false;

  library.CP210x_GetProductString(0, b.listSerial.data(), kListSerialNumber);
  library.CP210x_GetProductString(0, b.listDescription.data(), kListDescription);
  library.CP210x_GetProductString(0, b.listPath.data(), kListFullPath);

  if (!OpenBridge(library, state)) return false;
  const CP210x_HANDLE handle = SlotHandle(state);

  CloseOnFault guard(library, handle);
  const bool read = ReadDevice(library, handle, b);
  guard.Release();
  library.CP210x_Close(handle);
  return read;
}

// One attempt against one generation; true when it found exactly one bridge and read it.
bool ProbeGeneration(LibraryGeneration generation, ProbeBuffers& buffers, BridgeState& state,
                     const VendorLibraries& libraries, IdentityDisplay& display) {
  if (!ReadBridge(buffers, state, libraries[generation])) {
    FailAttempt(generation, state, display);
    return false;
  }
  ShowIdentity(generation, buffers, state, display);
  return true;
}

}  // namespace

void ShowNoDevice(IdentityDisplay& display) {
  ClearBridgeFields(display);
  display.SetFieldText(DisplayField::DriverType, kNoDeviceText);
}

void RefreshDeviceInfo(BridgeState& state, const VendorLibraries& libraries, IdentityDisplay& display) {
  ProbeBuffers buffers;
  ProbeGeneration(LibraryGeneration::New, buffers, state, libraries, display);
  // Only a failed new attempt leaves -1: a successful one leaves the handle it opened.
  if (state.DeviceHandle == -1) ProbeGeneration(LibraryGeneration::Old, buffers, state, libraries, display);
}

}  // namespace tornak
