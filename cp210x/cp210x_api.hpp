#pragma once

// The call shapes of the CP210x manufacturing library, written once. The binding uses them to
// type the entry points it looks up; the simulated bridge uses them to define its exports.

#include <cstdint>

// The library uses the platform API convention: stdcall on 32-bit x86 Windows.
#if defined(_WIN32) && defined(__i386__)
#define CP210X_CALL __stdcall
#else
#define CP210X_CALL
#endif

// Callers look only at the low 16 bits, as a signed value, and compare them with 0.
using CP210x_STATUS = int;
// Pointer-wide; an open that succeeds never yields -1.
using CP210x_HANDLE = void*;

// X(name, parameter list, argument list), in the order the library documents them.
// VID/PID come back in 16 bits and string lengths in one byte; buffers are caller-owned:
// 257 bytes for a list string, 64 for the serial number, 127 for the product string.
#define CP210X_ENTRY_POINTS(X)                                                                  \
  X(CP210x_GetNumDevices, (std::uint32_t * numDevices), (numDevices))                           \
  X(CP210x_GetProductString, (std::uint32_t deviceIndex, void* buffer, std::uint32_t selector), \
    (deviceIndex, buffer, selector))                                                            \
  X(CP210x_Open, (std::uint32_t deviceIndex, CP210x_HANDLE * handle), (deviceIndex, handle))    \
  X(CP210x_Close, (CP210x_HANDLE handle), (handle))                                             \
  X(CP210x_Reset, (CP210x_HANDLE handle), (handle))                                             \
  X(CP210x_GetDeviceVid, (CP210x_HANDLE handle, std::uint16_t * vid), (handle, vid))            \
  X(CP210x_GetDevicePid, (CP210x_HANDLE handle, std::uint16_t * pid), (handle, pid))            \
  X(CP210x_GetDeviceSerialNumber,                                                               \
    (CP210x_HANDLE handle, void* buffer, std::uint8_t* length, int convertToAscii),             \
    (handle, buffer, length, convertToAscii))                                                   \
  X(CP210x_GetDeviceProductString,                                                              \
    (CP210x_HANDLE handle, void* buffer, std::uint8_t* length, int convertToAscii),             \
    (handle, buffer, length, convertToAscii))                                                   \
  X(CP210x_SetPid, (CP210x_HANDLE handle, std::uint32_t pid), (handle, pid))                    \
  X(CP210x_SetVid, (CP210x_HANDLE handle, std::uint32_t vid), (handle, vid))

// The lists above come in parentheses of their own; CP210X_LIST(list) spells one without them,
// so that each use writes the parentheses of its declaration or call where they can be seen.
#define CP210X_LIST(...) __VA_ARGS__

// Function-pointer type of each entry point: Cp210xSig_CP210x_Open and so on.
#define CP210X_DECLARE_SIGNATURE(name, params, args) \
  using Cp210xSig_##name = CP210x_STATUS(CP210X_CALL*)(CP210X_LIST params);
CP210X_ENTRY_POINTS(CP210X_DECLARE_SIGNATURE)
#undef CP210X_DECLARE_SIGNATURE

namespace tornak {

// Sizes of the caller-owned buffers the library fills.
inline constexpr int kListStringBufferSize = 257;
inline constexpr int kSerialBufferSize = 64;
inline constexpr int kProductBufferSize = 127;

// Selectors of CP210x_GetProductString.
inline constexpr std::uint32_t kListSerialNumber = 0;
inline constexpr std::uint32_t kListDescription = 1;
inline constexpr std::uint32_t kListFullPath = 2;

// True when a status means success: its low 16 bits, read as a signed value, are 0.
constexpr bool Succeeded(CP210x_STATUS status) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(status) & 0xFFFFu) == 0;
}

}  // namespace tornak
