#pragma once

#include <cstdint>

#include "sim/state.hpp"
#include "vendor/cp210x_api.hpp"

namespace tornak::sim {

// What each library operation does to the state, for the generation that calls it at `now`
// (NowMilliseconds). The operations that change the state want it written back only when they
// return kSuccess. Buffers are written within their contract sizes and nowhere else; on failure
// no output is touched.

CP210x_STATUS CountDevices(const State& state, Generation generation, std::int64_t now, std::uint32_t* count);
CP210x_STATUS ReadListString(const State& state, Generation generation, std::int64_t now, std::uint32_t deviceIndex,
                             void* buffer, std::uint32_t selector);
CP210x_STATUS OpenDevice(State& state, Generation generation, std::int64_t now, std::uint32_t deviceIndex,
                         CP210x_HANDLE* handle);
CP210x_STATUS CloseDevice(State& state, CP210x_HANDLE handle);
// Puts written IDs into effect; a bridge with a re-enumeration time is then away for that long,
// which goes to *awayMs.
CP210x_STATUS ResetDevice(State& state, CP210x_HANDLE handle, std::int64_t now, std::uint32_t* awayMs = nullptr);
CP210x_STATUS ReadVid(const State& state, CP210x_HANDLE handle, std::uint16_t* vid);
CP210x_STATUS ReadPid(const State& state, CP210x_HANDLE handle, std::uint16_t* pid);
CP210x_STATUS ReadSerial(const State& state, CP210x_HANDLE handle, void* buffer, std::uint8_t* length);
CP210x_STATUS ReadProduct(const State& state, CP210x_HANDLE handle, void* buffer, std::uint8_t* length);
CP210x_STATUS WriteVid(State& state, CP210x_HANDLE handle, std::uint32_t vid);
CP210x_STATUS WritePid(State& state, CP210x_HANDLE handle, std::uint32_t pid);

// The handle value the library gives out for the sequence number nextHandle. On 64-bit builds
// it has bits set above bit 31, so a caller that cut a handle down to 32 bits (or sign-extended
// such a cut) hands back a value no open handle has. Never 0, never -1.
std::uint64_t HandleValue(std::uint64_t sequence);

// Filler after an unterminated list string's text, up to the end of the buffer.
inline constexpr char kUnterminatedFiller = '#';

}  // namespace tornak::sim
