#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vendor/cp210x_api.hpp"

namespace tornak::sim {

// Bytes as a double-quoted string: printable ASCII as is, '%', '"' and every other byte as
// %XX. Any byte string survives the round trip, NULs and stray high bytes included.
std::string QuoteBytes(std::string_view bytes);
// The bytes of a string QuoteBytes made, or nullopt when `quoted` is not one.
std::optional<std::string> UnquoteBytes(std::string_view quoted);

// "41FF00" -> the three bytes 0x41 0xFF 0x00. Upper or lower case; an even number of digits.
std::optional<std::string> BytesFromHex(std::string_view hex);

// One to four hex digits, with or without "0x": a USB VID or PID.
std::optional<std::uint16_t> ParseHex16(std::string_view text);
std::string Hex16(std::uint16_t value);  // four upper-case digits

// Decimal digits only.
std::optional<std::uint64_t> ParseDecimal(std::string_view text);
std::optional<std::uint64_t> ParseHex64(std::string_view text);  // hex digits only, no prefix
std::string Hex64(std::uint64_t value);

// A status: decimal, possibly negative, or "0x" and up to eight hex digits giving its bits.
std::optional<CP210x_STATUS> ParseStatus(std::string_view text);
std::string StatusText(CP210x_STATUS status);  // "0x" and eight hex digits

}  // namespace tornak::sim
