#include "cp210x/cp210x_api.hpp"

#ifdef _WIN32
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TEST_EXPORT CP210x_STATUS CP210X_CALL CP210x_GetNumDevices(std::uint32_t* numDevices) {
  *numDevices = TEST_LIBRARY_COUNT;
  return 0;
}

#if TEST_LIBRARY_HAS_OPEN
TEST_EXPORT CP210x_STATUS CP210X_CALL CP210x_Open(std::uint32_t, CP210x_HANDLE*) { return 0x55; }
#endif
