// LenArray and ConvertToString on arbitrary buffers and lengths: the only faults allowed are a
// subscript fault past the buffer and an overflow of the 16-bit counter, each exactly when due.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert/convert.hpp"
#include "fault/fault.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::int32_t length = 0;
  std::memcpy(&length, data, 4);
  // An exact-size heap copy, so that AddressSanitizer sees any read past the end.
  const std::vector<std::uint8_t> buffer(data + 4, data + size);

  const void* zero = buffer.empty() ? nullptr : std::memchr(buffer.data(), 0, buffer.size());
  try {
    const std::int32_t measured = tornak::LenArray(buffer);
    if (zero == nullptr || measured != static_cast<const std::uint8_t*>(zero) - buffer.data()) std::abort();
  } catch (const tornak::Fault& fault) {
    if (fault.Kind() != tornak::FaultKind::Subscript || zero != nullptr) std::abort();
  }

  const std::int64_t last = std::int64_t{length} - 1;
  try {
    const tornak::Text text = tornak::ConvertToString(buffer, length);
    if (last < -32768 || last >= 32767) std::abort();
    const std::size_t expected = last < 0 ? 0 : static_cast<std::size_t>(last + 1);
    if (text.size() != expected || expected > buffer.size()) std::abort();
    for (std::size_t i = 0; i < expected; ++i)
      if (text[i] != tornak::AnsiCharacter(buffer[i])) std::abort();
  } catch (const tornak::Fault& fault) {
    const bool counterOverflow = last < -32768 || last > 32767 ||
                                 (last == 32767 && buffer.size() >= 32768);
    const bool pastEnd = !counterOverflow && last >= 0 && static_cast<std::size_t>(last) >= buffer.size();
    if (fault.Kind() == tornak::FaultKind::Overflow ? !counterOverflow
        : fault.Kind() == tornak::FaultKind::Subscript ? !pastEnd
                                                         : true)
      std::abort();
  }
  return 0;
}
