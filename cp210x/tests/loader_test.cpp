#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "cp210x/loaded_cp210x.hpp"
#include "cp210x/tests/pe_image.hpp"
#include "fault/fault.hpp"

namespace tornak {
namespace {

namespace fs = std::filesystem;

const fs::path kBin = TORNAK_BIN_DIR;
const std::string kSeven = std::string("tornak-test-seven") + TORNAK_LIBRARY_SUFFIX;
const std::string kNine = std::string("tornak-test-nine") + TORNAK_LIBRARY_SUFFIX;

template <typename Call>
Fault FaultOf(Call call) {
  try {
    call();
  } catch (const Fault& fault) {
    return fault;
  }
  ADD_FAILURE() << "no fault raised";
  return Fault::Subscript("none", {});
}

std::uint32_t Count(Cp210x& library) {
  std::uint32_t count = 0;
  EXPECT_EQ(library.CP210x_GetNumDevices(&count), 0);
  return count;
}

// A file in the program's folder that the test removes again.
class ScopedFile {
 public:
  explicit ScopedFile(fs::path path) : path_(std::move(path)) {}
  ~ScopedFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TEST(Loader, LoadsOnTheFirstCallAndKeepsTheLibrary) {
  LoadedCp210x library(kNine);
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(Count(library), 9u);
  EXPECT_TRUE(library.IsLoaded());
  CP210x_HANDLE handle = nullptr;
  EXPECT_EQ(library.CP210x_Open(0, &handle), 0x55);
  EXPECT_EQ(Count(library), 9u);
}

TEST(Loader, MissingFileFaultsAtEveryCallButNotBefore) {
  LoadedCp210x library("tornak-no-such-library" + std::string(TORNAK_LIBRARY_SUFFIX));
  for (int attempt = 0; attempt < 2; ++attempt) {
    const Fault fault = FaultOf([&] { Count(library); });
    EXPECT_EQ(fault.Kind(), FaultKind::LibraryNotFound);
    EXPECT_EQ(fault.Subject(), library.FileName());
    EXPECT_NE(std::string(fault.what()).find(library.FileName()), std::string::npos);
  }
  EXPECT_FALSE(library.IsLoaded());
}

TEST(Loader, MissingEntryPointNamesTheEntryPointAndTheLibrary) {
  LoadedCp210x library(kSeven);
  for (int attempt = 0; attempt < 2; ++attempt) {
    CP210x_HANDLE handle = nullptr;
    const Fault fault = FaultOf([&] { library.CP210x_Open(0, &handle); });
    EXPECT_EQ(fault.Kind(), FaultKind::MissingEntryPoint);
    EXPECT_EQ(fault.Subject(), "CP210x_Open");
    const std::string message = fault.what();
    const std::size_t library = message.find(kSeven);
    ASSERT_NE(library, std::string::npos) << message;
    EXPECT_LT(message.find("CP210x_Open"), library) << message;
  }
  // The entry points that are there still work.
  EXPECT_EQ(Count(library), 7u);
}

TEST(Loader, FailedLoadIsTriedAgainOnTheNextCall) {
  const std::string name = "tornak-test-late" + std::string(TORNAK_LIBRARY_SUFFIX);
  ScopedFile late(kBin / name);
  fs::remove(late.Path());
  LoadedCp210x library(name);
  EXPECT_EQ(FaultOf([&] { Count(library); }).Kind(), FaultKind::LibraryNotFound);
  fs::copy_file(kBin / kNine, late.Path());
  EXPECT_EQ(Count(library), 9u);
}

TEST(Loader, TwoFilesUnderTheSameEntryPointNamesAreIndependent) {
  LoadedCp210x seven(kSeven);
  LoadedCp210x nine(kNine);
  EXPECT_EQ(Count(seven), 7u);
  EXPECT_FALSE(nine.IsLoaded());
  EXPECT_EQ(Count(nine), 9u);
  EXPECT_EQ(Count(seven), 7u);
  CP210x_HANDLE handle = nullptr;
  EXPECT_EQ(nine.CP210x_Open(0, &handle), 0x55);
  EXPECT_THROW(seven.CP210x_Open(0, &handle), Fault);
}

TEST(Loader, CurrentDirectoryIsNeverSearched) {
  const fs::path planted = fs::temp_directory_path() / "tornak-loader-plant";
  fs::create_directories(planted);
  const std::string name = "tornak-test-planted" + std::string(TORNAK_LIBRARY_SUFFIX);
  ScopedFile file(planted / name);
  fs::copy_file(kBin / kNine, file.Path(), fs::copy_options::overwrite_existing);
  const fs::path previous = fs::current_path();
  fs::current_path(planted);
  LoadedCp210x library(name);
  const Fault fault = FaultOf([&] { Count(library); });
  fs::current_path(previous);
  EXPECT_EQ(fault.Kind(), FaultKind::LibraryNotFound);
}

#ifdef _WIN32
// Older installers put libraries into the 16-bit system folder, which Windows searches after the
// system folder and before the Windows folder.
TEST(Loader, SixteenBitSystemFolderComesBeforeTheWindowsFolder) {
  const char* root = std::getenv("SystemRoot");
  ASSERT_NE(root, nullptr);
  const fs::path windows = root;
  fs::create_directories(windows / "System");
  const std::string name = "tornak-test-sixteen" + std::string(TORNAK_LIBRARY_SUFFIX);
  ScopedFile inWindows(windows / name);
  ScopedFile inSixteenBitSystem(windows / "System" / name);
  fs::copy_file(kBin / kSeven, inWindows.Path(), fs::copy_options::overwrite_existing);
  fs::copy_file(kBin / kNine, inSixteenBitSystem.Path(), fs::copy_options::overwrite_existing);
  LoadedCp210x library(name);
  EXPECT_EQ(Count(library), 9u);
}
#endif

TEST(Loader, FileThatIsNoLibraryIsReportedAsNotLoadable) {
  const std::string name = "tornak-test-garbage" + std::string(TORNAK_LIBRARY_SUFFIX);
  ScopedFile garbage(kBin / name);
  {
    std::ofstream out(garbage.Path(), std::ios::binary);
    out << "this is not a library";
  }
  LoadedCp210x library(name);
  const Fault fault = FaultOf([&] { Count(library); });
  EXPECT_EQ(fault.Kind(), FaultKind::LibraryNotLoadable);
  EXPECT_EQ(fault.Subject(), name);
  // Says why, beyond that it could not be loaded.
  EXPECT_NE(std::string(fault.what()).find("cannot be loaded: " + name + " ("), std::string::npos) << fault.what();
}

TEST(Loader, LibraryForTheOtherBitnessSaysWhichOneIsNeeded) {
  const std::string name = "tornak-test-otherbits" + std::string(TORNAK_LIBRARY_SUFFIX);
  ScopedFile other(kBin / name);
  {
    const bool program64 = sizeof(void*) == 8;
    const auto image = PortableExecutable(program64 ? 0x014C : 0x8664, true);
    std::ofstream out(other.Path(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  LoadedCp210x library(name);
  const Fault fault = FaultOf([&] { Count(library); });
  EXPECT_EQ(fault.Kind(), FaultKind::LibraryNotLoadable);
  const std::string needed = sizeof(void*) == 8 ? "needs a 64-bit library" : "needs a 32-bit library";
  EXPECT_NE(std::string(fault.what()).find(needed), std::string::npos) << fault.what();
}

TEST(Loader, GenerationsHaveTheVendorsFileNames) {
#ifdef _WIN32
  EXPECT_EQ(LibraryFileName(LibraryGeneration::New), "CP210xManufacturingN.dll");
  EXPECT_EQ(LibraryFileName(LibraryGeneration::Old), "CP210xManufacturing.dll");
#else
  EXPECT_EQ(LibraryFileName(LibraryGeneration::New), "libCP210xManufacturingN.so");
  EXPECT_EQ(LibraryFileName(LibraryGeneration::Old), "libCP210xManufacturing.so");
#endif
}

}  // namespace
}  // namespace tornak
