#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace tornak {

// Owns one handle of the system and gives it back through Closer when it goes; move-only. Every
// kind of handle is one alias of this template, in handles_win.hpp and handles_posix.hpp (or
// beside the one platform file that closes it, as the loader's library handle):
//
//   using UniqueFile = UniqueHandle<HANDLE, CloseHandle, -1>;
//   using UniqueDescriptor = UniqueHandle<int, ::close, -1>;
//
// Empty is the value that holds nothing, as the system spells it for that kind of handle: null
// for most, -1 for a file descriptor or a Windows file handle. Closer is called once for every
// value other than Empty that the owner took, and never for Empty.
template <typename Handle, auto Closer, std::intptr_t Empty = 0>
class UniqueHandle {
 public:
  static Handle EmptyValue() noexcept {
    if constexpr (std::is_pointer_v<Handle>)
      // NOLINTNEXTLINE(performance-no-int-to-ptr): Windows spells some empty handles as the integer -1.
      return reinterpret_cast<Handle>(Empty);
    else
      return static_cast<Handle>(Empty);
  }

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != EmptyValue(); }

  // Closes what it holds and takes `handle` instead.
  void Reset(Handle handle = EmptyValue()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != EmptyValue()) Closer(old);
  }

  // Gives the handle up without closing it; the caller owns it from here.
  [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, EmptyValue()); }

  // Closes now and returns what Closer returned, for the handles whose closing can fail and be
  // worth hearing about (a delayed write error shows when a file is closed). Only when it holds
  // a handle; empty afterwards.
  decltype(auto) Close() noexcept { return Closer(Release()); }

 private:
  Handle handle_ = EmptyValue();
};

}  // namespace tornak
