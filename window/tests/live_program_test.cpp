// tornak.exe itself, as a second process over the simulated libraries beside it: a change made
// with tornak-sim and each button press show before the next tick (both announce the change),
// the next start of the program finds the bridge under the last identity written, and closing
// the window under a box ends the program there.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/convert.hpp"
#include "identity/presets.hpp"
#include "sim/platform.hpp"
#include "sim/state/store.hpp"
#include "sim/tool/tool.hpp"
#include "system/program_folder.hpp"
#include "system/text_conversions_win.hpp"
#include "window/testing/program_window.hpp"

namespace tornak::testing {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kStartMs = 20000;
constexpr DWORD kCloseMs = 10000;

fs::path ProgramFolder() { return fs::path(tornak::ProgramFolder()).parent_path(); }

class LiveProgram : public ::testing::Test {
 protected:
  LiveProgram() {
    statePath = fs::temp_directory_path() / ("tornak-live-" + std::to_string(GetCurrentProcessId()) + ".txt");
    // Inherited by the program. The announcements are what this test is about, so the simulated
    // bridge speaks here even when the test run keeps it quiet.
    SetEnvironmentVariableW(L"TORNAK_SIM_STATE", statePath.c_str());
    wasQuiet = sim::platform::EnvironmentVariable(sim::platform::kQuietVariable);
    SetEnvironmentVariableW(kQuiet.c_str(), nullptr);
  }

  ~LiveProgram() override {
    program.reset();
    SetEnvironmentVariableW(L"TORNAK_SIM_STATE", nullptr);
    if (wasQuiet) SetEnvironmentVariableW(kQuiet.c_str(), Utf8ToWide(*wasQuiet).c_str());
    std::error_code ignored;
    fs::remove(statePath, ignored);
  }

  // A tornak-sim command on the test's state file; fails the test when it does not succeed.
  void Sim(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"--state", statePath.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::ostringstream out, err;
    EXPECT_EQ(sim::RunTool(command, out, err), sim::kExitOk) << err.str();
  }

  sim::State State() const { return sim::ReadState(statePath.string()); }

  // Returns right after a probe (the simulated library counts its opens), so that the next tick
  // is a whole period away.
  void AfterATick() const {
    auto opens = [&] { return State().opens[sim::Index(LibraryGeneration::New)]; };
    const std::uint64_t before = opens();
    ASSERT_TRUE(PollUntil(GetTickCount() + kTwoTicksAndAMarginMs, [&] { return opens() != before; })) << "no tick";
  }

  // Starts tornak.exe from this program's folder and waits until its window shows.
  void Start() {
    program = std::make_unique<ProgramProcess>();
    ASSERT_TRUE(program->Start((ProgramFolder() / "tornak.exe").wstring())) << "error " << GetLastError();
    window = nullptr;
    PollUntil(GetTickCount() + kStartMs, [&] {
      const std::vector<HWND> shown = WindowsOfProcess(program->Id(), kWindowClassName, true);
      if (!shown.empty()) window = shown.front();
      return window != nullptr || !Boxes().empty() || !program->Alive();
    });
    ExpectNoBox();
    ASSERT_NE(window, nullptr) << "no window; the program " << (program->Alive() ? "still runs" : "ended");
  }

  std::wstring Field(const char* name) const { return ReadOut(window, name); }

  std::vector<std::wstring> Boxes() const {
    std::vector<std::wstring> texts;
    for (HWND box : WindowsOfProcess(program->Id(), kMessageBoxClass, true)) {
      wchar_t text[1024]{};
      GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the box's text control
      texts.push_back(text);
    }
    return texts;
  }

  void ExpectNoBox() const {
    for (const std::wstring& text : Boxes())
      ADD_FAILURE() << "the program shows a box: " << ::testing::PrintToString(text);
  }

  // Ends the program the way the user does and checks it left the library's books balanced.
  void CloseProgram() {
    const std::optional<DWORD> exitCode = program->Close(kCloseMs);
    EXPECT_EQ(exitCode, std::optional<DWORD>(0)) << "nullopt: it did not end when asked";
    const sim::State state = State();
    EXPECT_TRUE(state.handles.empty()) << state.handles.size() << " handles left open";
    EXPECT_GT(state.opens[sim::Index(LibraryGeneration::New)], 0u);
    EXPECT_EQ(state.opens, state.closes);
  }

  const std::wstring kQuiet = Utf8ToWide(sim::platform::kQuietVariable);
  std::optional<std::string> wasQuiet;
  fs::path statePath;
  std::unique_ptr<ProgramProcess> program;
  HWND window = nullptr;
};

TEST_F(LiveProgram, ToolChangesAndEachButtonShowBeforeTheNextTickAndARestartKeepsTheLast) {
  Sim({"attach", "bridge1", "--vid", "10C4", "--pid", "EA60", "--seen", "new"});
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Field("Rvid"), L"10C4");
  EXPECT_EQ(Field("Rpid"), L"EA60");

  // In the table's order each press moves the bridge away from what the one before left.
  for (const IdentityPreset& preset : kIdentityPresets) {
    SCOPED_TRACE(std::string(preset.button));
    const std::wstring pidText = Wide(preset.pidText);
    // A tick never comes early, so a change shown sooner than a tick after the last one came
    // through its announcement. A busy machine can make the change itself take that long; one
    // of three tries must show both the tool's change and the press's before the next tick.
    std::string late;
    for (int attempt = 0; attempt < 3; ++attempt) {
      // Under another vendor's ID before the press, and shown so, so that 10C4 afterwards is the
      // press's doing and a read-out that stopped changing cannot pass for the new one.
      ASSERT_NO_FATAL_FAILURE(AfterATick());
      DWORD tick = GetTickCount();
      Sim({"set", "bridge1", "--vid", "1234"});
      auto moved = [&] { return Field("Rvid") == L"1234"; };
      const bool setInTime = PollUntil(tick + kBeforeTheNextTickMs, moved);
      ASSERT_TRUE(setInTime || PollUntil(GetTickCount() + kTwoTicksAndAMarginMs, moved)) << "the tool's change never showed";
      const DWORD setShownAfter = GetTickCount() - tick;

      ASSERT_NO_FATAL_FAILURE(AfterATick());
      tick = GetTickCount();
      ASSERT_TRUE(Press(window, preset.button));
      auto pressed = [&] { return Field("Rvid") == L"10C4" && Field("Rpid") == pidText; };
      const bool pressInTime = PollUntil(tick + kBeforeTheNextTickMs, pressed);
      ASSERT_TRUE(pressInTime || PollUntil(GetTickCount() + kTwoTicksAndAMarginMs, pressed))
          << "the press never showed: the window shows " << ::testing::PrintToString(Field("Rvid")) << " / "
          << ::testing::PrintToString(Field("Rpid"));
      if (setInTime && pressInTime) {
        late.clear();
        break;
      }
      late += " (tool's change after " + std::to_string(setShownAfter) + " ms, press's after " +
              std::to_string(GetTickCount() - tick) + " ms)";
    }
    EXPECT_EQ(late, "") << "a change showed only as late as a tick in each of three tries";

    const sim::State state = State();
    ASSERT_EQ(state.bridges.size(), 1u);
    EXPECT_EQ(state.bridges[0].vid, 0x10C4);
    EXPECT_EQ(Wide(HexText(state.bridges[0].pid)), pidText);
    EXPECT_FALSE(state.bridges[0].pendingVid) << "written but never put into effect by a reset";
    EXPECT_FALSE(state.bridges[0].pendingPid) << "written but never put into effect by a reset";
  }
  // A bridge that takes its time to come back, as a real one does: gone from the window, then
  // back under the new identity, which its device path names too.
  const IdentityPreset& last = kIdentityPresets[0];
  const DWORD awayMs = 1500;
  Sim({"set", "bridge1", "--reenumeration-ms", std::to_string(awayMs)});
  ASSERT_TRUE(Press(window, last.button));
  EXPECT_TRUE(PollUntil(GetTickCount() + kTwoTicksAndAMarginMs, [&] { return Field("DriverType") == L"No device"; }))
      << "the bridge never went away; the window shows " << ::testing::PrintToString(Field("Rpid"));
  EXPECT_TRUE(PollUntil(GetTickCount() + awayMs + kTwoTicksAndAMarginMs, [&] {
    return Field("Rpid") == Wide(last.pidText) && Field("ProdString").find(L"pid_840e") != std::wstring::npos;
  })) << "the bridge never came back: " << ::testing::PrintToString(Field("ProdString"));
  ExpectNoBox();
  CloseProgram();

  // The first probe runs before the window shows, so the identity is there at once.
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Field("Rvid"), L"10C4");
  EXPECT_EQ(Field("Rpid"), Wide(last.pidText));

  // Closed under the warning about a second bridge, the program ends as it does from anywhere
  // else, and the probe under the box goes no further: the old generation, which sees one of the
  // two bridges, would open it.
  Sim({"attach", "bridge2", "--seen", "both"});
  ASSERT_TRUE(PollUntil(GetTickCount() + kTwoTicksAndAMarginMs, [&] { return !Boxes().empty(); })) << "no warning about two bridges";
  CloseProgram();
  EXPECT_EQ(State().opens[sim::Index(LibraryGeneration::Old)], 0u) << "the old generation was probed after the close";
}

}  // namespace
}  // namespace tornak::testing
