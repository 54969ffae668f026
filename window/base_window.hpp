#pragma once

#include <windows.h>

#include "window/carried_value.hpp"

namespace tornak {

// Routes a window's messages to T::HandleMessage. The object is handed over as the creation
// parameter and kept in GWLP_USERDATA from WM_NCCREATE on; it must outlive the window.
template <typename T>
class BaseWindow {
 public:
  BaseWindow() = default;
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  HWND Handle() const noexcept { return hwnd_; }

 protected:
  ~BaseWindow() = default;

  // Registers the class on first use; the class outlives every window of it.
  static bool RegisterWindowClass(const WNDCLASSEXW& prototype) {
    WNDCLASSEXW wc = prototype;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) return true;
    return RegisterClassExW(&wc) != 0;
  }

  HWND CreateWindowOfClass(const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle) {
    return CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), static_cast<T*>(this));
  }

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<T*>(CarriedIn<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd_ = hwnd;
    } else {
      self = CarriedIn<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }
};

}  // namespace tornak
