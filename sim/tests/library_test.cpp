// The simulated libraries as the program meets them: loaded by file name through the
// project's own binding, with the state in a file of the test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cp210x/loaded_cp210x.hpp"
#include "sim/platform.hpp"
#include "sim/sim_status.hpp"
#include "sim/state/path.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::sim {
namespace {

// Strings of its own for each bridge, so that a test sees which one answered.
Bridge MakeBridge(const std::string& name, Visibility seenBy) {
  Bridge bridge = DefaultBridge(name, "SN-" + name);
  bridge.seenBy = seenBy;
  bridge.product = "Product " + name;
  bridge.list = {"serial " + name, "description " + name, "path " + name};
  return bridge;
}

State WithBridges(std::vector<Bridge> bridges) {
  State state;
  state.bridges = std::move(bridges);
  return state;
}

// A buffer of a contract size with guard bytes on both sides, to catch a write past either end.
template <std::size_t Size>
struct Guarded {
  static constexpr std::size_t kGuard = 32;
  std::array<char, Size + 2 * kGuard> bytes;

  Guarded() { bytes.fill('\xA5'); }
  void* Data() { return bytes.data() + kGuard; }
  std::string Contents(std::size_t count) const { return std::string(bytes.data() + kGuard, count); }
  bool GuardsIntact() const {
    auto isGuard = [](char c) { return c == '\xA5'; };
    return std::all_of(bytes.begin(), bytes.begin() + kGuard, isGuard) &&
           std::all_of(bytes.end() - kGuard, bytes.end(), isGuard);
  }
};

class Library : public testing::Test {
 protected:
  void Save(const State& state) { WriteState(file_.Path(), state); }
  State Saved() { return ReadState(file_.Path()); }

  CP210x_HANDLE Open(LoadedCp210x& library, std::uint32_t index = 0) {
    CP210x_HANDLE handle = nullptr;
    EXPECT_EQ(library.CP210x_Open(index, &handle), kSuccess);
    return handle;
  }
  std::uint16_t Pid(LoadedCp210x& library, CP210x_HANDLE handle) {
    std::uint16_t pid = 0;
    EXPECT_EQ(library.CP210x_GetDevicePid(handle, &pid), kSuccess);
    return pid;
  }
  // All 257 bytes the library leaves in a list string buffer.
  std::string RawList(LoadedCp210x& library, std::uint32_t index, std::uint32_t selector) {
    Guarded<kListStringBufferSize> buffer;
    EXPECT_EQ(library.CP210x_GetProductString(index, buffer.Data(), selector), kSuccess);
    EXPECT_TRUE(buffer.GuardsIntact());
    return buffer.Contents(kListStringBufferSize);
  }
  std::string List(LoadedCp210x& library, std::uint32_t index, std::uint32_t selector) {
    const std::string bytes = RawList(library, index, selector);
    return bytes.substr(0, bytes.find('\0'));
  }

  test::TempStateFile file_;
  LoadedCp210x new_{LibraryFileName(LibraryGeneration::New)};
  LoadedCp210x old_{LibraryFileName(LibraryGeneration::Old)};
};

TEST_F(Library, NoStateFileMeansNoBridgeAndNoFile) {
  std::uint32_t count = 99;
  EXPECT_EQ(new_.CP210x_GetNumDevices(&count), kSuccess);
  EXPECT_EQ(count, 0u);
  CP210x_HANDLE handle = nullptr;
  EXPECT_EQ(old_.CP210x_Open(0, &handle), kDeviceNotFound);
  EXPECT_EQ(handle, nullptr);
  EXPECT_TRUE(file_.FolderEntries().empty());
}

TEST_F(Library, EachGenerationCountsAndListsItsOwnBridges) {
  Save(WithBridges({MakeBridge("n", Visibility::New), MakeBridge("o", Visibility::Old),
                    MakeBridge("b", Visibility::Both)}));
  std::uint32_t newCount = 0;
  std::uint32_t oldCount = 0;
  ASSERT_EQ(new_.CP210x_GetNumDevices(&newCount), kSuccess);
  ASSERT_EQ(old_.CP210x_GetNumDevices(&oldCount), kSuccess);
  EXPECT_EQ(newCount, 2u);
  EXPECT_EQ(oldCount, 2u);
  EXPECT_EQ(List(new_, 1, kListSerialNumber), "serial b");
  EXPECT_EQ(List(old_, 0, kListDescription), "description o");
  EXPECT_EQ(List(old_, 1, kListFullPath), "path b");

  Guarded<kListStringBufferSize> buffer;
  EXPECT_EQ(new_.CP210x_GetProductString(2, buffer.Data(), kListSerialNumber), kDeviceNotFound);
  EXPECT_EQ(new_.CP210x_GetProductString(0, buffer.Data(), 3), kInvalidParameter);
  EXPECT_EQ(new_.CP210x_GetProductString(0, nullptr, kListSerialNumber), kInvalidParameter);
  EXPECT_EQ(new_.CP210x_GetNumDevices(nullptr), kInvalidParameter);
}

TEST_F(Library, OpenReadCloseAndTheCounts) {
  State state = WithBridges({MakeBridge("o", Visibility::Old), MakeBridge("b", Visibility::Both)});
  state.bridges[1].vid = 0x0403;
  Save(state);

  CP210x_HANDLE handle = Open(new_);
  std::uint16_t vid = 0;
  EXPECT_EQ(new_.CP210x_GetDeviceVid(handle, &vid), kSuccess);
  EXPECT_EQ(vid, 0x0403);
  EXPECT_EQ(Pid(new_, handle), 0xEA60);
  Guarded<kSerialBufferSize> serial;
  std::uint8_t length = 0;
  EXPECT_EQ(new_.CP210x_GetDeviceSerialNumber(handle, serial.Data(), &length, 1), kSuccess);
  EXPECT_EQ(serial.Contents(length), "SN-b");
  Guarded<kProductBufferSize> product;
  EXPECT_EQ(new_.CP210x_GetDeviceProductString(handle, product.Data(), &length, 1), kSuccess);
  EXPECT_EQ(product.Contents(length), "Product b");
  EXPECT_EQ(new_.CP210x_GetDeviceVid(handle, nullptr), kInvalidParameter);
  const State saved = Saved();
  ASSERT_EQ(saved.handles.size(), 1u);
  EXPECT_EQ(saved.handles[0].bridge, "b");

  CP210x_HANDLE second = Open(old_, 1);
  EXPECT_NE(second, handle);
  EXPECT_EQ(old_.CP210x_Close(second), kSuccess);
  EXPECT_EQ(new_.CP210x_Close(handle), kSuccess);
  EXPECT_EQ(new_.CP210x_Close(handle), kInvalidHandle);
  EXPECT_EQ(new_.CP210x_GetDeviceVid(handle, &vid), kInvalidHandle);
  const State closed = Saved();
  EXPECT_TRUE(closed.handles.empty());
  EXPECT_EQ(closed.opens, (std::array<std::uint64_t, 2>{1, 1}));
  EXPECT_EQ(closed.closes, (std::array<std::uint64_t, 2>{1, 1}));
}

TEST_F(Library, HandlesAreWideAndATruncatedOneIsRejected) {
  State state = WithBridges({MakeBridge("b", Visibility::New)});
  state.nextHandle = 0xFFFFFFFF;  // a sequence about to pass 32 bits
  Save(state);
  CP210x_HANDLE handle = Open(new_);
  EXPECT_NE(handle, nullptr);
  EXPECT_NE(handle, reinterpret_cast<CP210x_HANDLE>(-1));
  const std::uint64_t value = reinterpret_cast<std::uintptr_t>(handle);
  if constexpr (sizeof(CP210x_HANDLE) < 8) GTEST_SKIP() << "no bits above 32 on this build";
  EXPECT_NE(value >> 32, 0u) << std::hex << value;

  const auto low = static_cast<std::uint32_t>(value);
  const auto cut = reinterpret_cast<CP210x_HANDLE>(static_cast<std::uintptr_t>(low));
  const auto signExtended = reinterpret_cast<CP210x_HANDLE>(static_cast<std::intptr_t>(static_cast<std::int32_t>(low)));
  std::uint16_t vid = 0;
  EXPECT_EQ(new_.CP210x_GetDeviceVid(cut, &vid), kInvalidHandle);
  EXPECT_EQ(new_.CP210x_GetDeviceVid(signExtended, &vid), kInvalidHandle);
  EXPECT_EQ(new_.CP210x_Close(cut), kInvalidHandle);
  EXPECT_EQ(new_.CP210x_Close(handle), kSuccess);
}

TEST_F(Library, InjectedFailuresHitTheirGenerationOnly) {
  State state = WithBridges({MakeBridge("b", Visibility::Both)});
  state.failures = {{"CP210x_GetDeviceVid", LibraryGeneration::Old, 0x1234}, {"CP210x_Open", std::nullopt, -3}};
  Save(state);
  CP210x_HANDLE handle = nullptr;
  EXPECT_EQ(new_.CP210x_Open(0, &handle), -3);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(Saved().opens, (std::array<std::uint64_t, 2>{0, 0}));

  state.failures.pop_back();
  Save(state);
  handle = Open(old_);
  std::uint16_t vid = 0;
  EXPECT_EQ(old_.CP210x_GetDeviceVid(handle, &vid), 0x1234);
  EXPECT_EQ(vid, 0);
  EXPECT_EQ(new_.CP210x_GetDeviceVid(handle, &vid), kSuccess);
  EXPECT_EQ(vid, 0x10C4);
}

TEST_F(Library, NewIdsTakeEffectAtResetAndAreKept) {
  Bridge bridge = MakeBridge("b", Visibility::Both);
  bridge.list[kListFullPath] = SystemListStrings(bridge)[kListFullPath];
  Save(WithBridges({bridge}));
  CP210x_HANDLE handle = Open(new_);
  ASSERT_EQ(new_.CP210x_SetPid(handle, 0x1EA61), kSuccess);  // only 16 bits reach the bridge
  ASSERT_EQ(new_.CP210x_SetVid(handle, 0x0403), kSuccess);
  EXPECT_EQ(Pid(new_, handle), 0xEA60);
  Bridge saved = Saved().bridges.at(0);
  EXPECT_EQ(saved.pendingPid, 0xEA61);
  EXPECT_EQ(saved.pendingVid, 0x0403);

  ASSERT_EQ(new_.CP210x_Reset(handle), kSuccess);
  EXPECT_EQ(Pid(new_, handle), 0xEA61);
  saved = Saved().bridges.at(0);
  EXPECT_EQ(saved.pid, 0xEA61);
  EXPECT_EQ(saved.vid, 0x0403);
  EXPECT_FALSE(saved.pendingPid || saved.pendingVid);
  EXPECT_EQ(Pid(old_, Open(old_)), 0xEA61);
  // The system's path names the new identity; strings given by hand stay as they were.
  EXPECT_EQ(List(new_, 0, kListFullPath), "\\\\?\\usb#vid_0403&pid_ea61#SN-b#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_EQ(List(new_, 0, kListDescription), "description b");
}

// A press writes an identity that no driver package on the PC names: after the reset the bridge
// has no driver, so neither generation sees it and what was open on it stays dead, until a
// package for that identity is installed. Every other identity has a package, as by default.
TEST_F(Library, BridgeUnderAnIdentityWithoutDriverPackageIsGoneUntilOneIsInstalled) {
  constexpr UsbId kXpress{0x10C4, 0xEA61};
  State state = WithBridges({MakeBridge("b", Visibility::Both), MakeBridge("other", Visibility::New)});
  state.withoutDriverPackage = {kXpress};
  Save(state);
  auto counts = [&] {
    std::array<std::uint32_t, 2> count{99, 99};
    EXPECT_EQ(new_.CP210x_GetNumDevices(&count[0]), kSuccess);
    EXPECT_EQ(old_.CP210x_GetNumDevices(&count[1]), kSuccess);
    return count;
  };
  EXPECT_EQ(counts(), (std::array<std::uint32_t, 2>{2, 1}));
  CP210x_HANDLE handle = Open(new_);
  CP210x_HANDLE onOld = Open(old_);
  ASSERT_EQ(new_.CP210x_SetPid(handle, kXpress.pid), kSuccess);
  ASSERT_EQ(new_.CP210x_Reset(handle), kSuccess);

  EXPECT_EQ(counts(), (std::array<std::uint32_t, 2>{1, 0}));
  EXPECT_EQ(List(new_, 0, kListSerialNumber), "serial other");
  std::uint16_t pid = 0;
  EXPECT_EQ(new_.CP210x_GetDevicePid(handle, &pid), kDeviceNotFound);
  EXPECT_EQ(old_.CP210x_GetDevicePid(onOld, &pid), kDeviceNotFound);
  EXPECT_EQ(new_.CP210x_SetPid(handle, 0xEA60), kDeviceNotFound) << "no button can switch it back";
  EXPECT_EQ(Saved().bridges.at(0).pid, kXpress.pid);

  UpdateState(file_.Path(), [&](State& saved) {
    saved.SetDriverPackage(kXpress, true);
    return true;
  });
  EXPECT_EQ(counts(), (std::array<std::uint32_t, 2>{2, 1}));
  EXPECT_EQ(Pid(old_, Open(old_)), kXpress.pid);
  EXPECT_EQ(old_.CP210x_GetDevicePid(onOld, &pid), kDeviceNotFound) << "a handle from before the reset came back";
  EXPECT_EQ(new_.CP210x_Close(handle), kSuccess);

  // Removing the package of a bridge that is there takes its driver away at once.
  CP210x_HANDLE other = Open(new_, 1);
  UpdateState(file_.Path(), [](State& saved) {
    saved.SetDriverPackage({0x10C4, 0xEA60}, false);
    return true;
  });
  EXPECT_EQ(counts(), (std::array<std::uint32_t, 2>{1, 1}));
  EXPECT_EQ(new_.CP210x_GetDevicePid(other, &pid), kDeviceNotFound);
}

// The bridge leaves the bus at the reset and comes back when its time is over. The library that
// reset it is freed at once; its announcement of the return must still come, and the process
// live on.
TEST_F(Library, ResetWithATimeAwayHidesTheBridgeUntilItIsBackAndOutlivesTheLibrary) {
  Bridge bridge = MakeBridge("b", Visibility::Both);
  bridge.reenumerationMs = 1500;
  Save(WithBridges({bridge}));
  const auto quiet = platform::EnvironmentVariable(platform::kQuietVariable);
  test::UnsetEnvironment(platform::kQuietVariable);
  test::AnnouncementWatcher watcher;
  const std::string file = LibraryFileName(LibraryGeneration::New);
  {
    LoadedCp210x library(file);  // the only one to load this file, so that its end unloads it
    CP210x_HANDLE handle = Open(library);
    ASSERT_EQ(library.CP210x_SetPid(handle, 0x840E), kSuccess);
    ASSERT_EQ(library.CP210x_Reset(handle), kSuccess);
    std::uint32_t count = 9;
    EXPECT_EQ(library.CP210x_GetNumDevices(&count), kSuccess);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(old_.CP210x_GetNumDevices(&count), kSuccess);
    EXPECT_EQ(count, 0u);
    CP210x_HANDLE other = nullptr;
    EXPECT_EQ(library.CP210x_Open(0, &other), kDeviceNotFound);
    std::uint16_t pid = 0;
    EXPECT_EQ(library.CP210x_GetDevicePid(handle, &pid), kDeviceNotFound);
    EXPECT_EQ(library.CP210x_Close(handle), kSuccess);
  }
  if (platform::kWindows) {
    EXPECT_TRUE(test::LibraryLoaded(file)) << "the return's announcer keeps it loaded";
  }
  const std::vector<unsigned long> announced = watcher.Await(2, 10000);
  if (quiet) test::SetEnvironment(platform::kQuietVariable, *quiet);

  std::uint32_t count = 0;
  for (int waited = 0; waited < 10000 && count == 0; waited += 20) {
    ASSERT_EQ(old_.CP210x_GetNumDevices(&count), kSuccess);
    if (count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(count, 1u) << "the bridge did not come back";
  EXPECT_EQ(Pid(old_, Open(old_)), 0x840E);
  if (!platform::kWindows) return;
  ASSERT_EQ(announced.size(), 2u) << "the departure and the return";
  EXPECT_GE(announced[1] - announced[0], 1000u);
  for (int waited = 0; waited < 5000 && test::LibraryLoaded(file); waited += 20) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(test::LibraryLoaded(file)) << "the announcer did not let go of the library";
}

TEST_F(Library, OverlongAndUnterminatedStringsStayInTheirBuffers) {
  Bridge bridge = MakeBridge("b", Visibility::New);
  bridge.serial = std::string(100, 'S');
  bridge.serialLength = 200;
  bridge.product = std::string(300, 'P');
  bridge.list = {std::string(300, 'L'), std::string(300, 'D'), "short"};
  bridge.unterminated = {true, false, true};
  Save(WithBridges({bridge}));

  CP210x_HANDLE handle = Open(new_);
  Guarded<kSerialBufferSize> serial;
  std::uint8_t length = 0;
  ASSERT_EQ(new_.CP210x_GetDeviceSerialNumber(handle, serial.Data(), &length, 1), kSuccess);
  EXPECT_EQ(length, 200);
  EXPECT_EQ(serial.Contents(kSerialBufferSize), std::string(kSerialBufferSize, 'S'));
  EXPECT_TRUE(serial.GuardsIntact());
  Guarded<kProductBufferSize> product;
  ASSERT_EQ(new_.CP210x_GetDeviceProductString(handle, product.Data(), &length, 1), kSuccess);
  EXPECT_EQ(length, kProductBufferSize);
  EXPECT_EQ(product.Contents(kProductBufferSize), std::string(kProductBufferSize, 'P'));
  EXPECT_TRUE(product.GuardsIntact());

  EXPECT_EQ(RawList(new_, 0, kListSerialNumber), std::string(kListStringBufferSize, 'L'));
  EXPECT_EQ(RawList(new_, 0, kListDescription), std::string(256, 'D') + '\0');
  const std::string path = RawList(new_, 0, kListFullPath);
  EXPECT_EQ(path.substr(0, 5), "short");
  EXPECT_EQ(path.find('\0'), std::string::npos);
}

TEST_F(Library, DetachedBridgeFailsItsHandleButLetsItClose) {
  Save(WithBridges({MakeBridge("b", Visibility::New)}));
  CP210x_HANDLE handle = Open(new_);
  UpdateState(file_.Path(), [](State& state) { return state.Detach("b"); });
  std::uint16_t vid = 0;
  EXPECT_EQ(new_.CP210x_GetDeviceVid(handle, &vid), kDeviceNotFound);
  EXPECT_EQ(new_.CP210x_SetPid(handle, 1), kDeviceNotFound);
  EXPECT_EQ(new_.CP210x_Reset(handle), kDeviceNotFound);
  EXPECT_EQ(new_.CP210x_Close(handle), kSuccess);
  EXPECT_EQ(Saved().closes[Index(LibraryGeneration::New)], 1u);
}

TEST_F(Library, MalformedFileFailsEveryOperationUntilRepaired) {
  Save(WithBridges({MakeBridge("b", Visibility::Both)}));
  CP210x_HANDLE handle = Open(new_);
  std::ofstream(file_.Path(), std::ios::binary | std::ios::trunc) << "tornak-sim-state 1\nbridge b\n";

  std::uint32_t count = 42;
  std::uint16_t id = 42;
  std::uint8_t length = 42;
  Guarded<kListStringBufferSize> buffer;
  for (LoadedCp210x* library : {&new_, &old_}) {
    CP210x_HANDLE opened = nullptr;
    const CP210x_STATUS statuses[] = {
        library->CP210x_GetNumDevices(&count),
        library->CP210x_GetProductString(0, buffer.Data(), 0),
        library->CP210x_Open(0, &opened),
        library->CP210x_GetDeviceVid(handle, &id),
        library->CP210x_GetDevicePid(handle, &id),
        library->CP210x_GetDeviceSerialNumber(handle, buffer.Data(), &length, 1),
        library->CP210x_GetDeviceProductString(handle, buffer.Data(), &length, 1),
        library->CP210x_SetPid(handle, 1),
        library->CP210x_SetVid(handle, 1),
        library->CP210x_Reset(handle),
        library->CP210x_Close(handle)};
    for (CP210x_STATUS status : statuses) EXPECT_EQ(status, kStateMalformed);
    EXPECT_EQ(opened, nullptr);
  }
  EXPECT_EQ(count, 42u);
  EXPECT_EQ(id, 42);
  EXPECT_EQ(length, 42);
  EXPECT_EQ(buffer.Contents(4), "\xA5\xA5\xA5\xA5");

  Save(WithBridges({MakeBridge("b", Visibility::Both)}));
  EXPECT_EQ(new_.CP210x_GetNumDevices(&count), kSuccess);
  EXPECT_EQ(count, 1u);
}

TEST_F(Library, SeesAnotherWritersChangeAtOnce) {
  State state = WithBridges({MakeBridge("b", Visibility::New)});
  Save(state);
  CP210x_HANDLE handle = Open(new_);
  EXPECT_EQ(Pid(new_, handle), 0xEA60);
  state = Saved();
  state.bridges[0].pid = 0xEA61;  // the same size of file, within the same instant
  Save(state);
  EXPECT_EQ(Pid(new_, handle), 0xEA61);
}

// Under Wine, a Unix path in TORNAK_SIM_STATE reaches the Windows library through drive Z:.
TEST_F(Library, UnixStatePathWorksUnderWine) {
  if (!platform::kWindows || !std::filesystem::is_directory("Z:/tmp")) GTEST_SKIP() << "not under Wine";
  const std::string unixFolder = "/tmp/tornak-sim-wine-" + std::to_string(platform::ProcessId());
  std::filesystem::create_directories("Z:" + unixFolder);
  WriteState("Z:" + unixFolder + "/state.txt", WithBridges({MakeBridge("b", Visibility::Old)}));
  test::SetEnvironment(kStateVariable, unixFolder + "/state.txt");
  std::uint32_t count = 0;
  const CP210x_STATUS status = old_.CP210x_GetNumDevices(&count);
  std::filesystem::remove_all("Z:" + unixFolder);
  EXPECT_EQ(status, kSuccess);
  EXPECT_EQ(count, 1u);
}

}  // namespace
}  // namespace tornak::sim
