#pragma once

#include <windows.h>

namespace tornak {

// The type that stands for any function: FARPROC's own would not convert cleanly to another.
using AnyFunction = void (*)();

// The entry point `name` of a loaded module, as the function type the caller names; null where
// the module, or the entry point, is missing. The one place the program turns GetProcAddress's
// answer into a function it can call.
template <typename Function = AnyFunction>
Function EntryPointOf(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
}

}  // namespace tornak
