#pragma once

#include <type_traits>

namespace tornak {

// Win32 carries pointers and handles in integer-typed values: message parameters and results,
// a window's user data, a child window's identifier in CreateWindowExW's menu parameter, a
// system colour plus one as a class brush. This is the one place such a value is turned back
// into what it carries.
template <typename Carried, typename Integer>
Carried CarriedIn(Integer value) noexcept {
  static_assert(std::is_integral_v<Integer> && std::is_pointer_v<Carried>);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the Win32 API's own convention, as above.
  return reinterpret_cast<Carried>(value);
}

}  // namespace tornak
