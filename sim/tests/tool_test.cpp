#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "sim/platform.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"
#include "sim/tool/driver_packages.hpp"
#include "sim/tool/tool.hpp"

namespace tornak::sim {
namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

class Tool : public testing::Test {
 protected:
  // The Wine prefix the tool finds is the test's own, with no INF folder until a test makes one.
  void SetUp() override { test::SetEnvironment("WINEPREFIX", file_.Folder() + "/prefix"); }
  void TearDown() override {
    if (wineprefix_) test::SetEnvironment("WINEPREFIX", *wineprefix_);
    else test::UnsetEnvironment("WINEPREFIX");
  }
  std::string InfFolder() const { return file_.Folder() + "/prefix/drive_c/windows/inf"; }
  std::vector<std::string> InfFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(platform::FilePath(InfFolder())))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  Outcome Run(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunTool(arguments, out, err);
    return {code, out.str(), err.str()};
  }

  // Runs a command that must succeed.
  std::string Ok(const std::vector<std::string>& arguments) {
    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.code, kExitOk) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    return outcome.out;
  }

  State Saved() { return ReadState(file_.Path()); }
  Bridge SavedBridge(const std::string& name) {
    const State state = Saved();
    const Bridge* bridge = state.FindBridge(name);
    if (bridge == nullptr) throw std::runtime_error("no bridge " + name);
    return *bridge;
  }

  test::TempStateFile file_;
  const std::optional<std::string> wineprefix_ = platform::EnvironmentVariable("WINEPREFIX");
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Tool, AttachGivesDefaultsFreeNamesAndMatchingListStrings) {
  EXPECT_EQ(Ok({"attach"}), "bridge1\n");
  EXPECT_EQ(Ok({"attach"}), "bridge2\n");
  const Bridge bridge = SavedBridge("bridge1");
  EXPECT_EQ(bridge.vid, 0x10C4);
  EXPECT_EQ(bridge.pid, 0xEA60);
  EXPECT_EQ(bridge.seenBy, Visibility::New);
  EXPECT_FALSE(bridge.product.empty());
  EXPECT_EQ(bridge.list[kListSerialNumber], bridge.serial);
  EXPECT_EQ(bridge.list[kListDescription], bridge.product);
  EXPECT_NE(SavedBridge("bridge2").serial, bridge.serial);

  Ok({"attach", "other", "--vid", "403", "--pid=6001", "--serial", "A 1", "--seen", "both", "--list-description",
      "Listed"});
  const Bridge other = SavedBridge("other");
  EXPECT_EQ(other.vid, 0x0403);
  EXPECT_EQ(other.pid, 0x6001);
  EXPECT_EQ(other.seenBy, Visibility::Both);
  EXPECT_EQ(other.list[kListSerialNumber], "A 1");
  EXPECT_EQ(other.list[kListDescription], "Listed");
  EXPECT_TRUE(Contains(other.list[kListFullPath], "vid_0403&pid_6001#A 1#"));
  Ok({"set", "other", "--pid", "6002", "--product", "P"});
  EXPECT_TRUE(Contains(SavedBridge("other").list[kListFullPath], "vid_0403&pid_6002#A 1#"));
  EXPECT_EQ(SavedBridge("other").list[kListDescription], "Listed");

  const Outcome again = Run({"attach", "bridge1"});
  EXPECT_EQ(again.code, kExitError);
  EXPECT_TRUE(Contains(again.err, "'bridge1' is attached already"));
  EXPECT_EQ(Saved().bridges.size(), 3u);
}

TEST_F(Tool, SetChangesOnlyWhatItIsGiven) {
  Ok({"attach"});
  const Bridge before = SavedBridge("bridge1");
  Ok({"set", "bridge1", "--serial-hex", "41ff00", "--list-path-hex", "", "--serial-length", "200",
      "--unterminated", "list-serial", "--unterminated", "list-path", "--pending-pid", "EA61", "--reenumeration-ms",
      "300"});
  Bridge expected = before;
  expected.serial = std::string("A\xFF\0", 3);
  expected.list[kListSerialNumber] = expected.serial;  // the system's, so it follows
  expected.list[kListFullPath] = "";
  expected.serialLength = 200;
  expected.unterminated = {true, false, true};
  expected.pendingPid = 0xEA61;
  expected.reenumerationMs = 300;
  EXPECT_EQ(SavedBridge("bridge1"), expected);

  Ok({"set", "bridge1", "--serial-length", "real", "--terminated", "list-path", "--pending-pid", "none",
      "--product-length", "0"});
  expected.serialLength.reset();
  expected.unterminated[kListFullPath] = false;
  expected.pendingPid.reset();
  expected.productLength = 0;
  EXPECT_EQ(SavedBridge("bridge1"), expected);

  const Outcome missing = Run({"set", "bridge9", "--pid", "1"});
  EXPECT_EQ(missing.code, kExitError);
  EXPECT_TRUE(Contains(missing.err, "no bridge named 'bridge9'"));
}

TEST_F(Tool, DetachLeavesHandlesLeadingNowhere) {
  Ok({"attach"});
  Ok({"attach"});
  UpdateState(file_.Path(), [](State& state) {
    state.handles.push_back({0x7E5700000001, LibraryGeneration::New, "bridge1"});
    state.handles.push_back({0x7E5700000002, LibraryGeneration::Old, "bridge2"});
    return true;
  });
  Ok({"detach", "bridge1"});
  State state = Saved();
  ASSERT_EQ(state.bridges.size(), 1u);
  EXPECT_EQ(state.handles[0].bridge, "");
  EXPECT_EQ(state.handles[1].bridge, "bridge2");
  // Attaching the name again does not bring an old handle back to life.
  Ok({"attach", "bridge1"});
  EXPECT_EQ(Saved().handles[0].bridge, "");

  EXPECT_EQ(Run({"detach", "bridge1", "--all"}).code, kExitUsage);
  EXPECT_EQ(Run({"detach", "nobody"}).code, kExitError);
  Ok({"detach", "--all"});
  state = Saved();
  EXPECT_TRUE(state.bridges.empty());
  EXPECT_EQ(state.handles.size(), 2u);
  EXPECT_EQ(state.handles[1].bridge, "");
}

TEST_F(Tool, FailAddsReplacesAndClearsInjectedStatuses) {
  Ok({"fail", "CP210x_Open", "0x5304"});
  Ok({"fail", "CP210x_Open", "-7", "--generation", "old"});
  Ok({"fail", "CP210x_Open", "9"});
  Ok({"fail", "CP210x_Reset", "1"});
  State state = Saved();
  EXPECT_EQ(state.failures.size(), 3u);
  EXPECT_EQ(state.InjectedFailure("CP210x_Open", LibraryGeneration::New), 9);
  EXPECT_EQ(state.InjectedFailure("CP210x_Open", LibraryGeneration::Old), -7);

  Ok({"fail", "--clear", "CP210x_Open", "--generation", "old"});
  EXPECT_EQ(Saved().InjectedFailure("CP210x_Open", LibraryGeneration::Old), 9);
  Ok({"fail", "--clear", "CP210x_Open"});
  state = Saved();
  EXPECT_FALSE(state.InjectedFailure("CP210x_Open", LibraryGeneration::New));
  EXPECT_EQ(state.InjectedFailure("CP210x_Reset", LibraryGeneration::Old), 1);
  Ok({"fail", "--clear"});
  EXPECT_TRUE(Saved().failures.empty());

  const Outcome unknown = Run({"fail", "CP210x_Explode", "1"});
  EXPECT_EQ(unknown.code, kExitUsage);
  EXPECT_TRUE(Contains(unknown.err, "CP210x_GetDeviceSerialNumber"));
  EXPECT_EQ(Run({"fail", "CP210x_Open", "0"}).code, kExitUsage);
  EXPECT_EQ(Run({"fail", "CP210x_Open"}).code, kExitUsage);
}

TEST_F(Tool, DriverPackagesAreListedAddedAndRemovedWithTheirInfFiles) {
  Ok({"attach"});
  const std::string listed = Ok({"packages"});
  for (const char* part : {"10C4:840E  installed\n", "10C4:EA60  installed, for bridge1\n", "10C4:EA61  installed\n",
                           "INF files: none: no Wine prefix has "})
    EXPECT_TRUE(Contains(listed, part)) << part << " missing from:\n" << listed;
  // Without the prefix's INF folder, only the state changes.
  EXPECT_TRUE(Contains(Ok({"package", "remove", "10c4:ea60"}), "INF file: none: no Wine prefix has "));
  EXPECT_EQ(Saved().withoutDriverPackage, (std::set<UsbId>{{0x10C4, 0xEA60}}));
  EXPECT_TRUE(Contains(Ok({"show"}), "10C4:EA60  none: no driver for bridge1; neither generation sees it\n"));

  std::filesystem::create_directories(platform::FilePath(InfFolder()));
  constexpr UsbId kXpress{0x10C4, 0xEA61};
  const std::string name = DriverPackageFileName(kXpress);
  EXPECT_EQ(name, "oem0429260001.inf");
  EXPECT_TRUE(Contains(Ok({"package", "add", "10C4:EA61"}), "Wrote " + InfFolder()));
  ASSERT_EQ(InfFiles(), std::vector<std::string>{name});
  const std::string inf = InfFolder() + "/" + name;
  const auto text = platform::ReadFileBytes(inf);
  EXPECT_EQ(text, DriverPackageInf(kXpress));
  EXPECT_EQ(text->find('@'), std::string::npos) << "a placeholder left:\n" << *text;
  if (platform::kWindows) {
    // Windows' own parser reads it, for either bitness of Windows.
    const std::vector<std::string> model{"Simulated CP210x bridge (VID 10C4, PID EA61)", "Install",
                                         "USB\\VID_10C4&PID_EA61"};
    EXPECT_EQ(test::InfLine(inf, "Models.NTx86"), model);
    EXPECT_EQ(test::InfLine(inf, "Models.NTamd64"), model);
    EXPECT_EQ(test::InfLine(inf, "Manufacturer"),
              (std::vector<std::string>{"Simulated bridge (tornak-sim)", "Models", "NTx86", "NTamd64"}));
    EXPECT_EQ(test::InfLine(inf, "Version", "Provider"),
              (std::vector<std::string>{"Provider", "Simulated bridge (tornak-sim)"}));
    EXPECT_EQ(test::InfLine(inf, "Version", "Class"), (std::vector<std::string>{"Class", "Ports"}));
  }

  Ok({"package", "add", "10C4:EA60"});
  EXPECT_TRUE(Saved().withoutDriverPackage.empty());
  EXPECT_TRUE(Contains(Ok({"package", "remove", "10C4:EA61"}), "Removed " + InfFolder()));
  EXPECT_EQ(Saved().withoutDriverPackage, (std::set<UsbId>{kXpress}));
  EXPECT_EQ(InfFiles(), (std::vector<std::string>{"oem0429260000.inf"}));
  EXPECT_TRUE(Contains(Ok({"packages"}), "INF files: " + InfFolder() + "\n"));

  // Back to the empty state: a package for every identity, each button's INF written again.
  Ok({"reset"});
  EXPECT_EQ(Saved(), State{});
  EXPECT_EQ(InfFiles(), (std::vector<std::string>{"oem0429233806.inf", "oem0429260000.inf",
                                                  "oem0429260001.inf"}));
}

TEST_F(Tool, ShowListsEverything) {
  EXPECT_TRUE(Contains(Ok({"show"}), "none attached"));
  Ok({"attach", "--serial-hex", "00ff", "--serial-length", "99", "--unterminated", "list-description"});
  Ok({"set", "bridge1", "--pending-vid", "1234"});
  Ok({"fail", "CP210x_GetDeviceVid", "0x5301", "--generation", "new"});
  EXPECT_TRUE(Contains(Ok({"show"}), "re-enumeration    none: back at once after a reset\n"));
  Ok({"set", "bridge1", "--reenumeration-ms", "300"});
  UpdateState(file_.Path(), [](State& state) {
    state.bridges[0].awayUntil = NowMilliseconds() + 60000;
    state.handles.push_back({0x7E5700000005, LibraryGeneration::Old, "bridge1"});
    state.opens = {4, 5};
    state.closes = {2, 4};
    return true;
  });
  const std::string shown = Ok({"show"});
  for (const char* part : {"bridge1", "VID 10C4", "PID EA60", "after reset: VID 1234  PID -", "\"%00%FF\"",
                           "reports length 99", "unterminated", "CP210x_GetDeviceVid returns 0x00005301",
                           "device not found", "new generation", "7E5700000005", "Opens:  new 4, old 5",
                           "away for 300 ms after a reset; away now, back in ",
                           "Closes: new 2, old 4"})
    EXPECT_TRUE(Contains(shown, part)) << part << " missing from:\n" << shown;
  EXPECT_TRUE(Contains(shown, file_.Path()));
}

TEST_F(Tool, MalformedFileIsReportedAndLeftAlone) {
  Ok({"attach"});
  std::string text = *platform::ReadFileBytes(file_.Path());
  text.replace(text.find("\"10C4\""), 6, "\"nope\"");
  std::ofstream(file_.Path(), std::ios::binary | std::ios::trunc) << text;
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"show"}, {"attach"}, {"fail", "CP210x_Open", "1"}}) {
    const Outcome outcome = Run(command);
    EXPECT_EQ(outcome.code, kExitError);
    EXPECT_TRUE(Contains(outcome.err, "malformed state file " + file_.Path() +
                                          ": /bridges/0/vid: expected 1 to 4 hex digits, found \"nope\"\n"))
        << outcome.err;
  }
  EXPECT_EQ(platform::ReadFileBytes(file_.Path()), text);
  Ok({"reset"});
  EXPECT_EQ(Saved(), State{});
}

TEST_F(Tool, StateOptionWinsOverTheVariable) {
  EXPECT_EQ(Ok({"path"}), file_.Path() + "\n");
  const std::string other = file_.Folder() + "/other.txt";
  EXPECT_EQ(Ok({"--state", other, "path"}), other + "\n");
  Ok({"attach", "--state", other});
  EXPECT_EQ(ReadState(other).bridges.size(), 1u);
  EXPECT_FALSE(platform::ReadFileBytes(file_.Path()));
  if (platform::kWindows) {
    EXPECT_EQ(Ok({"--state", "/tmp/x.txt", "path"}), "Z:/tmp/x.txt\n");
  }
}

TEST_F(Tool, UsageErrorsExitWithTwoAndPointToHelp) {
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{}, {"explode"}, {"--verbose", "show"}, {"show", "extra"}, {"attach", "--vid"},
        {"attach", "--vid", "12345"}, {"attach", "--serial-hex", "4"}, {"attach", "--seen", "all"},
        {"attach", "bad name"}, {"set", "bridge1"}, {"set"}, {"attach", "--serial-length", "256"},
        {"attach", "--unterminated", "serial"}, {"--state"}, {"attach", "--reenumeration-ms", "60001"},
        {"package"}, {"package", "add"}, {"package", "install", "10C4:EA61"}, {"package", "remove", "10C4"},
        {"package", "add", "10C4:EA61:0"}, {"packages", "10C4:EA61"}}) {
    const Outcome outcome = Run(command);
    EXPECT_EQ(outcome.code, kExitUsage) << testing::PrintToString(command);
    EXPECT_TRUE(Contains(outcome.err, "--help")) << outcome.err;
  }
  EXPECT_FALSE(platform::ReadFileBytes(file_.Path()));
  EXPECT_TRUE(Contains(Run({"explode"}).err, "unknown command 'explode'"));
  EXPECT_TRUE(Contains(Run({"attach", "--pid", "12345"}).err, "--pid: takes 1 to 4 hex digits, not '12345'"));

  // Every command and every option, whichever way help is asked for; one command's alone after it.
  for (const std::vector<std::string>& command : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
    const Outcome help = Run(command);
    EXPECT_EQ(help.code, kExitOk);
    for (const char* part : {"Usage: tornak-sim", "attach", "set", "detach", "fail", "show", "reset", "path",
                             "--state", "--pending-pid", "--list-path-hex", "--unterminated", "--clear",
                             "--generation", "--reenumeration-ms", "packages", "package", "remove", "10C4:EA61",
                             "Exit codes"})
      EXPECT_TRUE(Contains(help.out, part)) << part << " missing from:\n" << help.out;
  }
  const Outcome attachHelp = Run({"attach", "--help"});
  EXPECT_EQ(attachHelp.code, kExitOk);
  EXPECT_TRUE(Contains(attachHelp.out, "--serial-length"));
  EXPECT_FALSE(Contains(attachHelp.out, "--generation"));
  EXPECT_FALSE(platform::ReadFileBytes(file_.Path()));
}

TEST_F(Tool, RepeatedOptionsApplyInTheOrderGiven) {
  Ok({"attach", "--serial", "A", "--serial-hex", "42", "--pid=1", "--pid", "2"});
  EXPECT_EQ(SavedBridge("bridge1").serial, "B");
  EXPECT_EQ(SavedBridge("bridge1").pid, 2);
  Ok({"set", "bridge1", "--serial-hex=42", "--serial", "A", "--unterminated", "list-path", "--terminated=list-path",
      "--state=" + file_.Path()});
  EXPECT_EQ(SavedBridge("bridge1").serial, "A");
  EXPECT_FALSE(SavedBridge("bridge1").unterminated[kListFullPath]);
}

}  // namespace
}  // namespace tornak::sim
