#pragma once

#include <windows.h>

#include <utility>

namespace tornak {

// Owns one handle and frees it with Traits::Close; move-only.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, Handle{}));
    return *this;
  }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Handle{}; }

  // Gives the handle up without closing it: it now belongs to whoever took it.
  Handle Release() noexcept { return std::exchange(handle_, Handle{}); }

  void Reset(Handle handle = Handle{}) noexcept {
    if (handle_ != Handle{}) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_{};
};

struct FontTraits {
  using Handle = HFONT;
  static void Close(HFONT font) noexcept { DeleteObject(font); }
};
using UniqueFont = UniqueHandle<FontTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static void Close(HMODULE module) noexcept { FreeLibrary(module); }
};
using UniqueModule = UniqueHandle<ModuleTraits>;

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static void Close(HGLOBAL memory) noexcept { GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static void Close(HMENU menu) noexcept { DestroyMenu(menu); }
};
using UniqueMenu = UniqueHandle<MenuTraits>;

struct AcceleratorTraits {
  using Handle = HACCEL;
  static void Close(HACCEL accelerators) noexcept { DestroyAcceleratorTable(accelerators); }
};
using UniqueAccelerators = UniqueHandle<AcceleratorTraits>;

}  // namespace tornak
