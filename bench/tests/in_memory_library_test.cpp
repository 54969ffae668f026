// The simulated libraries that hold their bridge in memory, as the benchmark's polling row loads
// them: they must answer as the state file's libraries do for the same bridge, or that row
// measures another program's work, and must keep what a press changed without a file.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "bench/library_pairs.hpp"
#include "identity/presets.hpp"
#include "identity/probe.hpp"
#include "identity/rewrite.hpp"
#include "identity/testing/recording_display.hpp"
#include "sim/platform.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::bench {
namespace {

testing::RecordingDisplay Tick(const VendorLibraries& libraries) {
  BridgeState state;
  state.DeviceHandle = -1;
  testing::RecordingDisplay display;
  RefreshDeviceInfo(state, libraries, display);
  EXPECT_TRUE(display.warnings.empty());
  return display;
}

// The state file's libraries, given the bridge the ones in memory are seeded with.
class InMemoryLibraries : public ::testing::Test {
 protected:
  InMemoryLibraries() {
    sim::State attached;
    attached.bridges.push_back(sim::DefaultBridge("bridge1"));
    sim::WriteState(file.Path(), attached);
  }

  const sim::test::TempStateFile file;
  SimulatedPair onFile;
  SimulatedPair inMemory{true};
};

// What a library answers to each query of a tick, in order: the status and the bytes it gave.
std::vector<std::pair<CP210x_STATUS, std::string>> Answers(Cp210x& library) {
  std::vector<std::pair<CP210x_STATUS, std::string>> answers;
  std::uint32_t count = 0;
  answers.emplace_back(library.CP210x_GetNumDevices(&count), std::to_string(count));
  for (std::uint32_t selector : {kListSerialNumber, kListDescription, kListFullPath}) {
    std::array<char, kListStringBufferSize> list{};
    answers.emplace_back(library.CP210x_GetProductString(0, list.data(), selector), list.data());
  }
  CP210x_HANDLE handle = nullptr;
  answers.emplace_back(library.CP210x_Open(0, &handle), "");
  std::uint16_t id = 0;
  answers.emplace_back(library.CP210x_GetDeviceVid(handle, &id), std::to_string(id));
  answers.emplace_back(library.CP210x_GetDevicePid(handle, &id), std::to_string(id));
  std::array<char, kProductBufferSize> text{};
  std::uint8_t length = 0;
  answers.emplace_back(library.CP210x_GetDeviceSerialNumber(handle, text.data(), &length, 1),
                       std::string(text.data(), length));
  answers.emplace_back(library.CP210x_GetDeviceProductString(handle, text.data(), &length, 1),
                       std::string(text.data(), length));
  answers.emplace_back(library.CP210x_Close(handle), "");
  return answers;
}

TEST_F(InMemoryLibraries, EachGenerationAnswersEveryQueryAsTheStateFilesDoes) {
  for (LibraryGeneration generation : {LibraryGeneration::New, LibraryGeneration::Old}) {
    const auto expected = Answers(onFile.libraries[generation]);
    EXPECT_EQ(Answers(inMemory.libraries[generation]), expected) << LibraryFileName(generation);
  }
}

TEST_F(InMemoryLibraries, AnswerATickAsTheStateFileDoesAndKeepAPressWithoutTheFile) {
  const testing::RecordingDisplay expected = Tick(onFile.libraries);
  ASSERT_EQ(expected[DisplayField::Rpid], u"EA60");
  const std::optional<std::string> fileBefore = sim::platform::ReadFileBytes(file.Path());
  for (DisplayField field : kDisplayFields)
    EXPECT_EQ(Tick(inMemory.libraries)[field], expected[field]) << ControlName(field);

  BridgeState pressed;
  pressed.NewDriverActive = true;
  ApplyIdentityPreset(Text(kIdentityPresets[0].pidText), pressed, inMemory.libraries);  // 840E
  EXPECT_EQ(Tick(inMemory.libraries)[DisplayField::Rpid], u"840E");
  EXPECT_EQ(sim::platform::ReadFileBytes(file.Path()), fileBefore) << "the libraries in memory wrote the state file";
  EXPECT_EQ(Tick(onFile.libraries)[DisplayField::Rpid], u"EA60");
}

}  // namespace
}  // namespace tornak::bench
