#include "cp210x/library_image.hpp"

#include <algorithm>

#include "cp210x/shared_library.hpp"

namespace tornak {
namespace {

std::uint32_t Read(std::span<const std::uint8_t> bytes, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[offset + static_cast<std::size_t>(i)];
  return value;
}

std::string Bitness(int bits) { return bits == 32 ? "32-bit" : "64-bit"; }

std::string WrongBitness(int libraryBits, int programBits) {
  return "it is a " + Bitness(libraryBits) + " library, and this " + Bitness(programBits) +
         " program needs a " + Bitness(programBits) + " library";
}

std::string ExplainPortableExecutable(std::span<const std::uint8_t> h, int programBits) {
  constexpr std::string_view kDamaged = "the file is damaged: its Windows library header is incomplete";
  if (h.size() < 0x40) return std::string(kDamaged);
  const std::size_t pe = Read(h, 0x3C, 4);
  if (pe > h.size() || h.size() - pe < 26 || Read(h, pe, 4) != 0x00004550) return std::string(kDamaged);
  const std::uint32_t machine = Read(h, pe + 4, 2);
  const std::uint32_t characteristics = Read(h, pe + 22, 2);
  int libraryBits = 0;
  if (machine == 0x014C) libraryBits = 32;       // x86
  else if (machine == 0x8664) libraryBits = 64;  // x86-64
  else if (machine == 0xAA64) return "it is built for ARM64 processors, not for this program's x86 processor";
  else return "it is built for another kind of processor";
  if ((characteristics & 0x2000) == 0) return "it is a program, not a library";
  if (libraryBits != programBits) return WrongBitness(libraryBits, programBits);
  return {};
}

std::string ExplainElf(std::span<const std::uint8_t> h, int programBits) {
  if (!platform::kElfLibraries) return "it is a Linux library, not a Windows one";
  if (h.size() < 20) return "the file is damaged: its library header is incomplete";
  const int libraryBits = h[4] == 1 ? 32 : h[4] == 2 ? 64 : 0;
  if (libraryBits == 0) return "the file is damaged: its library header is invalid";
  if (libraryBits != programBits) return WrongBitness(libraryBits, programBits);
  return {};
}

// A Windows library whose sections reach past the end of the file: a copy or download that
// broke off. The loader itself only calls that a bad format, of some unnamed file.
std::string ExplainCutOffImage(std::span<const std::uint8_t> h, std::uintmax_t fileSize) {
  if (h.size() < 0x40 || h[0] != 'M' || h[1] != 'Z') return {};
  const std::size_t pe = Read(h, 0x3C, 4);
  if (pe > h.size() || h.size() - pe < 24) return {};
  const std::size_t sections = Read(h, pe + 6, 2);
  const std::size_t table = pe + 24 + Read(h, pe + 20, 2);
  std::uintmax_t end = 0;
  for (std::size_t i = 0; i < sections; ++i) {
    const std::size_t entry = table + 40 * i;
    if (entry > h.size() || h.size() - entry < 40) break;
    end = std::max<std::uintmax_t>(end, std::uintmax_t{Read(h, entry + 20, 4)} + Read(h, entry + 16, 4));
  }
  if (end <= fileSize) return {};
  return "the file is damaged: it ends after " + std::to_string(fileSize) + " of its " + std::to_string(end) +
         " bytes";
}

}  // namespace

std::string ExplainLibraryImage(std::span<const std::uint8_t> header, int programBits) {
  if (header.empty()) return "the file is empty";
  if (header.size() >= 2 && header[0] == 'M' && header[1] == 'Z') return ExplainPortableExecutable(header, programBits);
  if (header.size() >= 4 && header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' && header[3] == 'F')
    return ExplainElf(header, programBits);
  return "it is not a library";
}

std::string ExplainLibraryImage(std::span<const std::uint8_t> header, std::optional<std::uintmax_t> fileSize,
                                int programBits) {
  std::string reason = ExplainLibraryImage(header, programBits);
  if (reason.empty() && fileSize) reason = ExplainCutOffImage(header, *fileSize);
  return reason;
}

}  // namespace tornak
