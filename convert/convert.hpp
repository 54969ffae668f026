#pragma once

#include <cstdint>
#include <span>

#include "convert/text.hpp"

namespace tornak {

// A caller-owned byte buffer that the vendor library fills, indexed from 0.
using ByteBuffer = std::span<const std::uint8_t>;

// The first ConvertLength bytes of ConvertArray as text, one character per byte through the
// single-byte code page (zero bytes included). A length of 0 or less gives empty text.
// Faults: Overflow when ConvertLength is below -32767 or 32768 or more (the routine counts in
// 16 bits); Subscript when the length runs past the end of the buffer.
Text ConvertToString(ByteBuffer ConvertArray, std::int32_t ConvertLength);

// The length of the NUL-terminated string at the start of MeasArray.
// Fault: Subscript when the buffer holds no zero byte.
std::int32_t LenArray(ByteBuffer MeasArray);

// The value 0..15 of one hexadecimal digit, either case; any other character counts as 15.
std::int32_t HexDigitValue(char16_t digit);

// The value of hexadecimal text with surrounding spaces (U+0020 only) removed; every
// character that is not a hexadecimal digit counts as F. Empty text gives 0.
// Faults: Overflow when the value leaves the signed 32-bit range or the trimmed text is longer
// than 32767 characters; FloatingPoint when the trimmed text is longer than 256 characters,
// whatever its digits.
std::int32_t HexString2num(const Text& text);

// Upper-case hexadecimal digits of a value, no prefix, no leading zeros ("10C4", "0").
Text HexText(std::uint32_t value);

// The character that one byte stands for in the single-byte (ANSI) code page: the system's on
// Windows, Windows-1252 elsewhere.
char16_t AnsiCharacter(std::uint8_t byte);

}  // namespace tornak
