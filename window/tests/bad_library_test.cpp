// Library files that exist but are not what the program needs, as the window reports them:
// each box says what is wrong with the file, not that it is missing, and comes once.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "cp210x/loaded_cp210x.hpp"
#include "sim/state/store.hpp"
#include "system/program_folder.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

fs::path ProgramFolder() { return fs::path(tornak::ProgramFolder()).parent_path(); }

std::vector<char> Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t At(const std::vector<char>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// The file offset of a relative virtual address of a PE image, through its section table.
std::size_t FileOffset(const std::vector<char>& image, std::uint32_t rva) {
  const std::uint32_t pe = At(image, 0x3C);
  const std::uint16_t sections = static_cast<std::uint16_t>(At(image, pe + 6));
  const std::uint16_t optionalSize = static_cast<std::uint16_t>(At(image, pe + 20));
  const std::size_t table = pe + 24 + optionalSize;
  for (std::uint16_t i = 0; i < sections; ++i) {
    const std::size_t section = table + i * 40u;
    const std::uint32_t address = At(image, section + 12);
    const std::uint32_t size = At(image, section + 8);
    if (rva >= address && rva < address + size) return rva - address + At(image, section + 20);
  }
  return 0;
}

// A copy of a library whose export table calls one entry point by another name of the
// same length, as a library of another version would lack it. The names stay sorted for the
// loader's binary search when `renamed` sorts where `name` did.
std::vector<char> WithoutEntryPoint(std::vector<char> image, const std::string& name, const std::string& renamed) {
  const std::uint32_t pe = At(image, 0x3C);
  const bool plus = static_cast<std::uint16_t>(At(image, pe + 24)) == 0x20B;  // PE32+, else PE32
  const std::uint32_t exportRva = At(image, pe + 24 + (plus ? 112 : 96));     // data directory 0
  const std::size_t directory = FileOffset(image, exportRva);
  const std::uint32_t names = At(image, directory + 24);
  const std::size_t namePointers = FileOffset(image, At(image, directory + 32));
  for (std::uint32_t i = 0; i < names; ++i) {
    char* entry = image.data() + FileOffset(image, At(image, namePointers + 4 * i));
    if (name == entry) {
      std::memcpy(entry, renamed.data(), renamed.size());
      return image;
    }
  }
  ADD_FAILURE() << name << " is not exported";
  return image;
}

class BadLibrary : public WindowTest {
 protected:
  ~BadLibrary() override {
    window.reset();
    library.reset();
    std::error_code ignored;
    fs::remove(file, ignored);
  }

  // Puts `bytes` in the program's folder as `name` and hands it to the window as the new
  // generation.
  void Install(const std::string& name, const std::vector<char>& bytes) {
    file = ProgramFolder() / name;
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    library = std::make_unique<LoadedCp210x>(name);
    newLib.target = library.get();
  }

  // Opens the window, lets a few ticks meet the same file again, and returns the one box.
  std::wstring OnlyBox() {
    Open();
    Pump(3 * kTimer1PeriodMs + 200);
    EXPECT_EQ(boxes.size(), 1u) << "reported more than once, or not at all";
    ExpectNoDeviceShown();
    return boxes.empty() ? std::wstring{} : boxes[0].text;
  }

  fs::path file;
  std::unique_ptr<LoadedCp210x> library;
};

TEST_F(BadLibrary, OtherBitnessSaysWhichLibraryTheProgramNeeds) {
  Install("tornak-bad-bitness.dll", Contents(ProgramFolder() / "tornak-test-other-bits.dll"));
  const std::wstring needed = sizeof(void*) == 8 ? L"this 64-bit program needs a 64-bit library"
                                                   : L"this 32-bit program needs a 32-bit library";
  EXPECT_THAT(OnlyBox(), AllOf(HasSubstr(L"The vendor library tornak-bad-bitness.dll was found but could not be "
                                         L"loaded: it is a "),
                               HasSubstr(needed), Not(HasSubstr(L"could not be found"))));
}

TEST_F(BadLibrary, FileThatIsNoLibrarySaysSo) {
  const std::string page = "<!DOCTYPE html>\n<html><body>Download CP210xManufacturingN.dll</body></html>\n";
  Install("tornak-bad-page.dll", std::vector<char>(page.begin(), page.end()));
  EXPECT_EQ(OnlyBox(), L"The vendor library tornak-bad-page.dll was found but could not be loaded: it is not a "
                       L"library.");
}

// Windows loads a program as a module when asked to; it then lacks the first entry point the
// probe looks up.
TEST_F(BadLibrary, ProgramUnderALibraryNameLacksTheFirstEntryPoint) {
  Install("tornak-bad-program.dll", Contents(ProgramFolder() / "tornak.exe"));
  EXPECT_EQ(OnlyBox(), L"The vendor library tornak-bad-program.dll has no entry point CP210x_GetNumDevices. It is "
                       L"probably another version than the one this program needs; install the matching library.");
}

TEST_F(BadLibrary, LibraryCutOffInItsHeaderIsDamaged) {
  std::vector<char> image = Contents(ProgramFolder() / "CP210xManufacturingN.dll");
  ASSERT_GT(image.size(), 4096u);
  image.resize(0x60);  // the DOS header, and the PE header it points to beyond the end
  Install("tornak-bad-header.dll", image);
  EXPECT_THAT(OnlyBox(), HasSubstr(L"could not be loaded: the file is damaged"));
}

TEST_F(BadLibrary, LibraryCutOffAfterItsHeaderIsDamaged) {
  std::vector<char> image = Contents(ProgramFolder() / "CP210xManufacturingN.dll");
  ASSERT_GT(image.size(), 4096u);
  image.resize(image.size() / 2);  // a download that broke off half way
  Install("tornak-bad-half.dll", image);
  const std::wstring size = std::to_wstring(image.size());
  EXPECT_THAT(OnlyBox(), HasSubstr(L"tornak-bad-half.dll was found but could not be loaded: the file is damaged: "
                                   L"it ends after " + size + L" of its "));
}

// Complete, with a sound file header, but an optional header no loader reads: the system's own
// words, with the file's name in them and one full stop.
TEST_F(BadLibrary, LibraryWithAGarbledHeaderGetsTheSystemsWords) {
  std::vector<char> image = Contents(ProgramFolder() / "CP210xManufacturingN.dll");
  ASSERT_GT(image.size(), 4096u);
  const std::uint32_t pe = At(image, 0x3C);
  image[pe + 24] = 0x42;  // the optional header's magic: neither PE32 nor PE32+
  image[pe + 25] = 0x42;
  Install("tornak-bad-magic.dll", image);
  const std::wstring text = OnlyBox();
  EXPECT_THAT(text, AllOf(HasSubstr(L"tornak-bad-magic.dll was found but could not be loaded: "), Not(HasSubstr(L"%1")),
                          Not(HasSubstr(L".."))));
  EXPECT_EQ(text.back(), L'.');
}

// The simulated bridge behind a library with one entry point renamed: the probe gets as far as
// that entry point, and the device it opened is closed again before the box comes.
class LibraryWithoutEntryPoint : public BadLibrary {
 protected:
  LibraryWithoutEntryPoint() {
    statePath = fs::temp_directory_path() / ("tornak-bad-library-" + std::to_string(GetCurrentProcessId()) + ".txt");
    SetEnvironmentVariableW(L"TORNAK_SIM_STATE", statePath.c_str());
    sim::State state;
    state.bridges.push_back(sim::DefaultBridge("bridge1"));
    sim::WriteState(statePath.string(), state);
  }

  ~LibraryWithoutEntryPoint() override {
    window.reset();
    library.reset();
    SetEnvironmentVariableW(L"TORNAK_SIM_STATE", nullptr);
    std::error_code ignored;
    fs::remove(statePath, ignored);
  }

  void InstallWithout(const std::string& name, const std::string& renamed) {
    Install("tornak-bad-entry.dll",
            WithoutEntryPoint(Contents(ProgramFolder() / "CP210xManufacturingN.dll"), name, renamed));
  }

  sim::State State() const { return sim::ReadState(statePath.string()); }

  void ExpectEveryOpenClosed() const {
    const sim::State state = State();
    EXPECT_TRUE(state.handles.empty());
    EXPECT_GT(state.opens[sim::Index(LibraryGeneration::New)], 0u);
    EXPECT_EQ(state.opens, state.closes);
  }

  fs::path statePath;
};

TEST_F(LibraryWithoutEntryPoint, ProbeNamesTheEntryPointAndClosesTheDevice) {
  InstallWithout("CP210x_GetDevicePid", "CP210x_GetDevicePiX");
  EXPECT_EQ(OnlyBox(), L"The vendor library tornak-bad-entry.dll has no entry point CP210x_GetDevicePid. It is "
                       L"probably another version than the one this program needs; install the matching library.");
  ExpectEveryOpenClosed();
}

TEST_F(LibraryWithoutEntryPoint, ButtonNamesTheEntryPointAndClosesTheDevice) {
  InstallWithout("CP210x_Reset", "CP210x_Rezet");
  Open();
  ASSERT_TRUE(PumpUntilField("Rpid", L"EA60"));
  ASSERT_TRUE(boxes.empty());

  SendMessageW(window->Control("SetKavrenPID"), BM_CLICK, 0, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_THAT(boxes[0].text, HasSubstr(L"tornak-bad-entry.dll has no entry point CP210x_Reset."));
  ExpectEveryOpenClosed();
  // Written but never put into effect: the bridge keeps its identity, and the next tick says so.
  const sim::State state = State();
  ASSERT_EQ(state.bridges.size(), 1u);
  EXPECT_EQ(state.bridges[0].pid, 0xEA60);
  EXPECT_EQ(state.bridges[0].pendingPid, std::optional<std::uint16_t>(0x840E));
  EXPECT_TRUE(PumpUntilField("Rpid", L"EA60"));
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
}  // namespace tornak::testing
