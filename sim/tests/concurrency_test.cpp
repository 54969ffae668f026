// Several processes change one state file at once while this one reads it in a loop.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "sim/platform.hpp"
#include "sim/state/store.hpp"
#include "sim/testing/test_support.hpp"

namespace tornak::sim {
namespace {

using test::ChildProcess;

constexpr int kChanges = 40;

// Reads and parses the file as fast as it can until told to stop.
class Reader {
 public:
  explicit Reader(std::string path) : path_(std::move(path)), thread_([this] { Loop(); }) {}
  ~Reader() { Stop(); }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  int reads = 0;
  int malformed = 0;
  int shrank = 0;
  std::string firstProblem;

 private:
  void Loop() {
    std::size_t bridges = 0;
    std::uint64_t opens = 0;
    while (!stop_) {
      try {
        const State state = ReadState(path_);
        ++reads;
        // Every change only adds bridges and opens; seeing fewer means an update was lost.
        const std::uint64_t allOpens = state.opens[0] + state.opens[1];
        if (state.bridges.size() < bridges || allOpens < opens) ++shrank;
        bridges = state.bridges.size();
        opens = allOpens;
      } catch (const std::exception& error) {
        if (malformed++ == 0) firstProblem = error.what();
      }
    }
  }

  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(Concurrency, WritersLoseNothingAndReadersNeverSeeATornFile) {
  test::TempStateFile file;
  State initial;
  Bridge shared;
  shared.name = "shared";
  shared.seenBy = Visibility::Both;
  initial.bridges.push_back(shared);
  WriteState(file.Path(), initial);

  const std::string folder = test::ProgramFolder();
  const std::string writer = folder + test::ExecutableName("sim_state_writer");
  const std::string goFile = file.Folder() + "/go";
  const std::string changes = std::to_string(kChanges);
  std::vector<std::unique_ptr<ChildProcess>> children;
  auto start = [&](const std::string& program, std::vector<std::string> arguments) {
    children.push_back(std::make_unique<ChildProcess>(program, arguments));
  };
  for (const char* id : {"1", "2"}) start(writer, {goFile, file.Path(), "attach", id, changes});
  for (const char* generation : {"new", "old"}) start(writer, {goFile, file.Path(), "open-close", generation, changes});

  Reader reader(file.Path());
  std::ofstream(goFile) << "go\n";
  // The tool's own process joins in as well.
  start(folder + test::ExecutableName("tornak-sim"), {"--state", file.Path(), "attach", "tool"});
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  reader.Stop();

  const State final = ReadState(file.Path());
  EXPECT_EQ(final.bridges.size(), 1u + 2u * kChanges + 1u);
  for (const char* id : {"1", "2"})
    for (int i = 0; i < kChanges; ++i)
      EXPECT_NE(final.FindBridge("w" + std::string(id) + "-" + std::to_string(i)), nullptr) << id << "-" << i;
  EXPECT_NE(final.FindBridge("tool"), nullptr);
  const auto count = static_cast<std::uint64_t>(kChanges);
  EXPECT_EQ(final.opens, (std::array<std::uint64_t, 2>{count, count}));
  EXPECT_EQ(final.closes, (std::array<std::uint64_t, 2>{count, count}));
  EXPECT_TRUE(final.handles.empty());

  EXPECT_GT(reader.reads, 0);
  EXPECT_EQ(reader.malformed, 0) << reader.firstProblem;
  EXPECT_EQ(reader.shrank, 0);
  // Nothing but the state file and the go file stays behind: no temporary file, no lock.
  EXPECT_EQ(file.FolderEntries(), (std::vector<std::string>{"go", "state.json"}));
}

}  // namespace
}  // namespace tornak::sim
