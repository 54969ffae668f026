#include "sim/text_fields.hpp"

#include <charconv>
#include <limits>

#include "convert/hex_digits.hpp"

namespace tornak::sim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text, int base) {
  Number value{};
  if (text.empty() || text.front() == '+') return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view WithoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  return text;
}

}  // namespace

std::string QuoteBytes(std::string_view bytes) {
  std::string quoted = "\"";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && c != '%' && c != '"') {
      quoted += c;
    } else {
      quoted += '%' + HexDigits(byte, 2);
    }
  }
  return quoted + '"';
}

std::optional<std::string> UnquoteBytes(std::string_view quoted) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
  quoted = quoted.substr(1, quoted.size() - 2);
  std::string bytes;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    const auto byte = static_cast<unsigned char>(quoted[i]);
    if (byte < 0x20 || byte > 0x7E || byte == '"') return std::nullopt;
    if (byte != '%') {
      bytes += quoted[i];
      continue;
    }
    if (i + 2 >= quoted.size()) return std::nullopt;
    const int high = HexValue(quoted[i + 1]);
    const int low = HexValue(quoted[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return bytes;
}

std::optional<std::string> BytesFromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
  text = WithoutHexPrefix(text);
  if (text.size() > 4) return std::nullopt;
  return ParseWhole<std::uint16_t>(text, 16);
}

std::string Hex16(std::uint16_t value) { return HexDigits(value, 4); }

std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '-') return std::nullopt;
  return ParseWhole<std::uint64_t>(text, 10);
}

std::optional<std::uint64_t> ParseHex64(std::string_view text) {
  if (!text.empty() && text.front() == '-') return std::nullopt;
  return ParseWhole<std::uint64_t>(text, 16);
}

std::string Hex64(std::uint64_t value) { return HexDigits(value); }

std::optional<CP210x_STATUS> ParseStatus(std::string_view text) {
  const std::string_view digits = WithoutHexPrefix(text);
  if (digits.size() != text.size()) {
    if (digits.size() > 8 || digits.front() == '-') return std::nullopt;
    auto bits = ParseWhole<std::uint32_t>(digits, 16);
    if (!bits) return std::nullopt;
    return static_cast<CP210x_STATUS>(*bits);
  }
  return ParseWhole<CP210x_STATUS>(text, 10);
}

std::string StatusText(CP210x_STATUS status) { return "0x" + HexDigits(static_cast<std::uint32_t>(status), 8); }

}  // namespace tornak::sim
