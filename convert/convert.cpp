#include "convert/convert.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "convert/hex_digits.hpp"
#include "fault/fault.hpp"

namespace tornak {
namespace {

constexpr std::int32_t kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kInt16Max = std::numeric_limits<std::int16_t>::max();

// The routines step with 16-bit signed counters; a bound outside that range cannot be counted.
std::int32_t ToCounter(std::int64_t value, const char* routine) {
  if (value < kInt16Min || value > kInt16Max)
    throw Fault::Overflow(routine, std::to_string(value) + " does not fit a 16-bit counter");
  return static_cast<std::int32_t>(value);
}

}  // namespace

Text ConvertToString(ByteBuffer ConvertArray, std::int32_t ConvertLength) {
  const std::int32_t last = ToCounter(std::int64_t{ConvertLength} - 1, "ConvertToString");
  Text text;
  if (last < 0) return text;
  // The counter passes every index up to last; one past the buffer is a subscript fault, and
  // stepping past 32767 overflows the counter after the last byte was copied.
  if (static_cast<std::size_t>(last) >= ConvertArray.size())
    throw Fault::Subscript("ConvertToString", "index " + std::to_string(ConvertArray.size()) + " of a buffer of " +
                                                  std::to_string(ConvertArray.size()) + " bytes");
  if (last == kInt16Max)
    throw Fault::Overflow("ConvertToString", "counter passed 32767");
  text.reserve(static_cast<std::size_t>(last) + 1);
  for (std::int32_t i = 0; i <= last; ++i) text.push_back(AnsiCharacter(ConvertArray[static_cast<std::size_t>(i)]));
  return text;
}

std::int32_t LenArray(ByteBuffer MeasArray) {
  for (std::size_t i = 0; i < MeasArray.size(); ++i) {
    if (MeasArray[i] == 0) return static_cast<std::int32_t>(i);
  }
  throw Fault::Subscript("LenArray", "no zero byte in a buffer of " + std::to_string(MeasArray.size()) + " bytes");
}

std::int32_t HexDigitValue(char16_t digit) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  const char16_t upper = digit >= u'a' && digit <= u'z' ? static_cast<char16_t>(digit - u'a' + u'A') : digit;
  std::int32_t position = 0;  // 1-based; 0 when absent
  for (std::int32_t i = 0; i < 16; ++i) {
    if (kDigits[i] == upper) {
      position = i + 1;
      break;
    }
  }
  // Absent gives -1 AND 15, which is 15: anything that is not a digit counts as F.
  return (position - 1) & 15;
}

std::int32_t HexString2num(const Text& text) {
  const std::size_t first = text.find_first_not_of(u' ');
  const Text trimmed = first == Text::npos ? Text{} : text.substr(first, text.find_last_not_of(u' ') - first + 1);
  const std::int32_t n = ToCounter(static_cast<std::int64_t>(trimmed.size()), "HexString2num");
  std::int32_t acc = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t d = HexDigitValue(trimmed[static_cast<std::size_t>(i - 1)]);
    const double weight = std::pow(16.0, n - i);
    const double sum = weight * d + acc;
    if (!std::isfinite(weight) || !std::isfinite(sum))
      throw Fault::FloatingPoint("HexString2num", "16 to the power " + std::to_string(n - i) + " overflows");
    const double rounded = std::nearbyint(sum);
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
      throw Fault::Overflow("HexString2num", "value does not fit 32 bits");
    acc = static_cast<std::int32_t>(rounded);
  }
  return acc;
}

Text HexText(std::uint32_t value) { return HexDigits<char16_t>(value); }

}  // namespace tornak
