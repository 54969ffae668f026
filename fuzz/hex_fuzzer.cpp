// HexString2num and HexDigitValue on arbitrary text, checked against a plain reference: digits
// have their value, anything else counts as F, surrounding spaces are ignored, and the value
// must fit 32 signed bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "convert/convert.hpp"
#include "fault/fault.hpp"

namespace {

int Digit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 15;
}

enum class Outcome { Value, Overflow, FloatingPoint };

// Exact arithmetic: the value only grows digit by digit, so it leaves 32 bits exactly when the
// whole value does.
Outcome Reference(const tornak::Text& text, std::int32_t& value) {
  std::size_t first = text.find_first_not_of(u' ');
  if (first == tornak::Text::npos) {
    value = 0;
    return Outcome::Value;
  }
  const std::size_t last = text.find_last_not_of(u' ');
  const std::size_t length = last - first + 1;
  if (length > 32767) return Outcome::Overflow;
  if (length > 256) return Outcome::FloatingPoint;
  std::uint64_t acc = 0;
  for (std::size_t i = first; i <= last; ++i) {
    acc = acc * 16 + static_cast<std::uint64_t>(Digit(text[i]));
    if (acc > 0x7FFFFFFFu) return Outcome::Overflow;
  }
  value = static_cast<std::int32_t>(acc);
  return Outcome::Value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Bytes as text: most inputs are ASCII so that digits and spaces come up often; a 0xFF byte
  // takes the next two bytes as one 16-bit character.
  tornak::Text text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
      i += 2;
    } else {
      text.push_back(static_cast<char16_t>(data[i]));
    }
  }
  for (char16_t c : text)
    if (tornak::HexDigitValue(c) != Digit(c)) std::abort();

  std::int32_t expected = 0;
  const Outcome outcome = Reference(text, expected);
  try {
    const std::int32_t value = tornak::HexString2num(text);
    if (outcome != Outcome::Value || value != expected) std::abort();
  } catch (const tornak::Fault& fault) {
    const bool matches = (fault.Kind() == tornak::FaultKind::Overflow && outcome == Outcome::Overflow) ||
                         (fault.Kind() == tornak::FaultKind::FloatingPoint && outcome == Outcome::FloatingPoint);
    if (!matches) std::abort();
  }
  return 0;
}
