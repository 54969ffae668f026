#pragma once

#include <cstdint>
#include <vector>

namespace tornak {

// The smallest header the check reads: DOS stub pointing at a PE header with the given machine,
// and characteristics.
inline std::vector<std::uint8_t> PortableExecutable(std::uint16_t machine, bool isLibrary) {
  std::vector<std::uint8_t> image(0x200, 0);
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 0x80;
  image[0x80] = 'P';
  image[0x81] = 'E';
  image[0x84] = static_cast<std::uint8_t>(machine & 0xFF);
  image[0x85] = static_cast<std::uint8_t>(machine >> 8);
  const std::uint16_t characteristics = isLibrary ? 0x2102 : 0x0102;
  image[0x96] = static_cast<std::uint8_t>(characteristics & 0xFF);
  image[0x97] = static_cast<std::uint8_t>(characteristics >> 8);
  return image;
}

}  // namespace tornak
