#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sim/platform.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::sim {
namespace {

using test::TempStateFile;

Bridge SomeBridge(std::string name, std::uint16_t pid) {
  Bridge bridge = DefaultBridge(std::move(name));
  bridge.pid = pid;
  return bridge;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(StateStore, MissingFileIsTheEmptyStateAndStaysMissing) {
  TempStateFile file;
  EXPECT_EQ(ReadState(file.Path()), State{});
  UpdateState(file.Path(), [](State&) { return false; });
  EXPECT_FALSE(platform::ReadFileBytes(file.Path()));
  EXPECT_TRUE(file.FolderEntries().empty());
}

TEST(StateStore, UpdateWritesAndLeavesNothingBehind) {
  TempStateFile file;
  UpdateState(file.Path(), [](State& state) {
    state.bridges.push_back(SomeBridge("a", 0xEA60));
    return true;
  });
  UpdateState(file.Path(), [](State& state) {
    state.bridges.push_back(SomeBridge("b", 0xEA61));
    ++state.opens[Index(LibraryGeneration::Old)];
    return true;
  });
  const State state = ReadState(file.Path());
  ASSERT_EQ(state.bridges.size(), 2u);
  EXPECT_EQ(state.bridges[1].name, "b");
  EXPECT_EQ(state.opens[Index(LibraryGeneration::Old)], 1u);
  // No temporary file and no lock folder stay once a change is done.
  EXPECT_EQ(file.FolderEntries(), std::vector<std::string>{"state.json"});
}

TEST(StateStore, FailedChangeWritesNothingAndReleasesTheLock) {
  TempStateFile file;
  WriteState(file.Path(), State{});
  const auto before = platform::ReadFileBytes(file.Path());
  EXPECT_THROW(UpdateState(file.Path(),
                           [](State& state) -> bool {
                             state.bridges.push_back(SomeBridge("a", 1));
                             throw std::runtime_error("no");
                           }),
               std::runtime_error);
  EXPECT_EQ(platform::ReadFileBytes(file.Path()), before);
  // Were the lock still held, this would wait for it and give up.
  EXPECT_NO_THROW(UpdateState(file.Path(), [](State&) { return false; }, {5000, 200}));
}

TEST(StateStore, MalformedFileIsNeitherReadNorOverwritten) {
  TempStateFile file;
  WriteText(file.Path(), "tornak-sim-state 1\nbridge\n");
  EXPECT_THROW(ReadState(file.Path()), MalformedState);
  EXPECT_THROW(UpdateState(file.Path(), [](State&) { return true; }), MalformedState);
  EXPECT_EQ(platform::ReadFileBytes(file.Path()), "tornak-sim-state 1\nbridge\n");
  ResetState(file.Path());
  EXPECT_EQ(ReadState(file.Path()), State{});
}

TEST(StateLock, HeldLockKeepsOthersOutUntilReleased) {
  TempStateFile file;
  const LockTiming impatient{5000, 150};
  auto lock = std::make_unique<StateLock>(file.Path());
  std::thread other([&] { EXPECT_THROW(StateLock(file.Path(), impatient), StateIoError); });
  other.join();
  lock.reset();
  EXPECT_NO_THROW(StateLock(file.Path(), impatient));
}

TEST(StateLock, StaleLockOfADeadHolderIsBroken) {
  TempStateFile file;
  ASSERT_TRUE(std::filesystem::create_directory(file.Path() + ".lock"));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  // Younger than the stale age: still respected.
  const LockTiming patient{60000, 100};
  EXPECT_THROW(StateLock(file.Path(), patient), StateIoError);
  const LockTiming breaksOldLocks{100, 5000};
  EXPECT_NO_THROW(StateLock(file.Path(), breaksOldLocks));
}

TEST(StateCache, ParsesOnlyWhenTheBytesChange) {
  TempStateFile file;
  StateCache cache;
  EXPECT_EQ(cache.Current(file.Path()), State{});
  EXPECT_FALSE(cache.FileExists());

  State state;
  state.bridges.push_back(SomeBridge("a", 0xEA60));
  WriteState(file.Path(), state);
  EXPECT_EQ(cache.Current(file.Path()).bridges.at(0).pid, 0xEA60);
  const int parses = cache.Parses();
  for (int i = 0; i < 20; ++i) cache.Current(file.Path());
  EXPECT_EQ(cache.Parses(), parses);

  // Same size, written at once: a time stamp could miss this one.
  state.bridges[0].pid = 0xEA61;
  WriteState(file.Path(), state);
  EXPECT_EQ(cache.Current(file.Path()).bridges.at(0).pid, 0xEA61);
  EXPECT_EQ(cache.Parses(), parses + 1);
}

TEST(StateCache, MalformedFileFailsEveryTimeUntilRepaired) {
  TempStateFile file;
  StateCache cache;
  WriteText(file.Path(), "tornak-sim-state 1\n");
  EXPECT_THROW(cache.Current(file.Path()), MalformedState);
  EXPECT_THROW(cache.Current(file.Path()), MalformedState);
  EXPECT_EQ(cache.Parses(), 1);
  WriteState(file.Path(), State{});
  EXPECT_EQ(cache.Current(file.Path()), State{});
  EXPECT_TRUE(cache.FileExists());
}

}  // namespace
}  // namespace tornak::sim
