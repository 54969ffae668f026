#pragma once

#include <cstdint>
#include <string>

namespace tornak {

enum class HexCase { Upper, Lower };

// The hexadecimal digits of a value, no prefix, with zeros in front up to minDigits: (0x10C4)
// gives "10C4", (0xAB, 4, HexCase::Lower) gives "00ab". Header-only, so that the simulated
// bridge's libraries and tools can use it without the rest of convert/.
template <typename Char = char>
std::basic_string<Char> HexDigits(std::uint64_t value, std::size_t minDigits = 1, HexCase letters = HexCase::Upper) {
  const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::basic_string<Char> text;
  do {
    text.insert(text.begin(), static_cast<Char>(digits[value & 15u]));
    value >>= 4;
  } while (value != 0 || text.size() < minDigits);
  return text;
}

}  // namespace tornak
