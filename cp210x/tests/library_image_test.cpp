#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp210x/library_image.hpp"
#include "cp210x/tests/pe_image.hpp"

namespace tornak {
namespace {

bool Says(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(LibraryImage, BitnessMismatchSaysWhichLibraryIsNeeded) {
  const std::string x86 = ExplainLibraryImage(PortableExecutable(0x014C, true), 64);
  EXPECT_TRUE(Says(x86, "32-bit library")) << x86;
  EXPECT_TRUE(Says(x86, "needs a 64-bit library")) << x86;
  const std::string x64 = ExplainLibraryImage(PortableExecutable(0x8664, true), 32);
  EXPECT_TRUE(Says(x64, "needs a 32-bit library")) << x64;
}

TEST(LibraryImage, MatchingLibraryHasNothingToExplain) {
  EXPECT_EQ(ExplainLibraryImage(PortableExecutable(0x8664, true), 64), "");
  EXPECT_EQ(ExplainLibraryImage(PortableExecutable(0x014C, true), 32), "");
}

TEST(LibraryImage, OtherFilesAreNamedForWhatTheyAre) {
  EXPECT_TRUE(Says(ExplainLibraryImage(PortableExecutable(0xAA64, true), 64), "ARM64"));
  EXPECT_TRUE(Says(ExplainLibraryImage(PortableExecutable(0x8664, false), 64), "a program, not a library"));
  const std::string text = "hello";
  EXPECT_EQ(ExplainLibraryImage(std::vector<std::uint8_t>(text.begin(), text.end()), 64), "it is not a library");
  EXPECT_EQ(ExplainLibraryImage({}, 64), "the file is empty");
}

TEST(LibraryImage, TruncatedOrCorruptHeadersAreDamagedAndReadSafely) {
  const auto whole = PortableExecutable(0x8664, true);
  for (std::size_t size : {2u, 0x3Fu, 0x40u, 0x83u, 0x90u}) {
    std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_TRUE(Says(ExplainLibraryImage(cut, 64), "damaged")) << size;
  }
  auto wild = whole;
  wild[0x3C] = 0xFF;
  wild[0x3D] = 0xFF;
  wild[0x3E] = 0xFF;
  wild[0x3F] = 0xFF;
  EXPECT_TRUE(Says(ExplainLibraryImage(wild, 64), "damaged"));
}

TEST(LibraryImage, FileCutOffAfterAnIntactHeaderIsDamaged) {
  // One section of 0x400 bytes at 0x200, right after the header: the whole file is 0x600 bytes.
  auto image = PortableExecutable(0x8664, true);
  image[0x86] = 1;     // NumberOfSections
  image[0x94] = 0;     // SizeOfOptionalHeader: the section table follows the file header
  image[0x98 + 17] = 0x04;  // SizeOfRawData 0x400
  image[0x98 + 21] = 0x02;  // PointerToRawData 0x200
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "tornak-cut-off-library.dll";
  auto explain = [&](std::size_t size) {
    image.resize(size, 0xCC);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                 static_cast<std::streamsize>(image.size()));
    return ExplainLibraryFile(path, 64);
  };
  EXPECT_EQ(explain(0x5FF), "the file is damaged: it ends after 1535 of its 1536 bytes");
  EXPECT_EQ(explain(0x200), "the file is damaged: it ends after 512 of its 1536 bytes");
  EXPECT_EQ(explain(0x600), "");
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tornak
