#pragma once

#include "cp210x/cp210x_api.hpp"

namespace tornak::sim {

// Statuses the simulated bridge returns. Each is nonzero in its low 16 bits, so a caller that
// looks only at those still sees a failure; the 0x53 prefix marks them as the simulation's own.
inline constexpr CP210x_STATUS kSuccess = 0;
inline constexpr CP210x_STATUS kDeviceNotFound = 0x5301;    // no such device index, or it went away
inline constexpr CP210x_STATUS kInvalidHandle = 0x5302;     // never opened, closed, or truncated
inline constexpr CP210x_STATUS kInvalidParameter = 0x5303;  // null pointer or unknown selector
inline constexpr CP210x_STATUS kIoError = 0x5304;           // the state file could not be read or written
inline constexpr CP210x_STATUS kStateMalformed = 0x5305;    // the state file is not one this build reads

// The name of one of the statuses above, or nullptr for any other value.
constexpr const char* StatusName(CP210x_STATUS status) {
  switch (status) {
    case kSuccess: return "success";
    case kDeviceNotFound: return "device not found";
    case kInvalidHandle: return "invalid handle";
    case kInvalidParameter: return "invalid parameter";
    case kIoError: return "state file I/O error";
    case kStateMalformed: return "state file malformed";
    default: return nullptr;
  }
}

}  // namespace tornak::sim
