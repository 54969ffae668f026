#include <windows.h>

#include <array>

#include "convert/convert.hpp"

namespace tornak {

// The system's ANSI code page, one byte at a time: a byte that is not a character of its own
// there (a lead byte of a double-byte code page) becomes U+FFFD.
char16_t AnsiCharacter(std::uint8_t byte) {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> map{};
    for (int b = 0; b < 256; ++b) {
      const char in = static_cast<char>(b);
      wchar_t out = 0;
      map[static_cast<std::size_t>(b)] =
          MultiByteToWideChar(CP_ACP, 0, &in, 1, &out, 1) == 1 ? static_cast<char16_t>(out) : u'\uFFFD';
    }
    return map;
  }();
  return table[byte];
}

}  // namespace tornak
