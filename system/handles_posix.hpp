#pragma once

#include <unistd.h>

#include "system/unique_handle.hpp"

// The owners of the POSIX handles this code holds, for the POSIX halves.
namespace tornak {

using UniqueDescriptor = UniqueHandle<int, ::close, -1>;

}  // namespace tornak
