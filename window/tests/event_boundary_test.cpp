// The window's event boundary and the words of its error box, without a window: natively (with
// the sanitizers) and under Wine.
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>

#include "fault/fault.hpp"
#include "window/event_boundary.hpp"
#include "window/fault_message.hpp"

namespace tornak {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Report = std::pair<std::string, bool>;  // message, news

class Boundary : public ::testing::Test {
 protected:
  std::vector<Report> reports;
  std::function<void()> whileReporting;
  EventBoundary boundary{[this](const std::string& message, bool news) {
    reports.emplace_back(message, news);
    if (whileReporting) whileReporting();
  }};
};

TEST_F(Boundary, AProbesFaultIsNewsOnceAPressAlwaysGetsItsAnswer) {
  const Fault missing = Fault::LibraryNotFound("CP210xManufacturing.dll");
  const Fault other = Fault::MissingEntryPoint("CP210x_Open", "CP210xManufacturingN.dll");
  const std::string missingText = FaultMessage(missing);
  const std::string otherText = FaultMessage(other);
  const struct {
    EventKind kind;
    std::function<void()> work;
    std::vector<Report> reported;
  } steps[] = {
      {EventKind::Probe, [&] { throw missing; }, {{missingText, true}}},
      {EventKind::Probe, [&] { throw missing; }, {{missingText, false}}},
      {EventKind::Press, [&] { throw missing; }, {{missingText, true}}},
      {EventKind::Press, [] {}, {}},
      {EventKind::Probe, [&] { throw missing; }, {{missingText, false}}},  // a press's success is no probe's
      {EventKind::Probe, [&] { throw other; }, {{otherText, true}}},
      {EventKind::Probe, [] {}, {}},
      {EventKind::Probe, [&] { throw other; }, {{otherText, true}}},  // news again after a probe got through
      {EventKind::Probe, [] { throw std::runtime_error("disk full"); },
       {{"Something unexpected went wrong: disk full", true}}},
      {EventKind::Probe, [] { throw 42; }, {{"Something unexpected went wrong.", true}}},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    reports.clear();
    boundary.Run(steps[i].kind, steps[i].work);
    EXPECT_EQ(reports, steps[i].reported) << "step " << i;
  }
}

// A box's own message loop delivers the ticks (and a device change's probe) that come while it is
// open; they are dropped, whether the box is the probe's warning or the fault's report.
TEST_F(Boundary, AnEventInsideAnotherIsDroppedAndTheNextOneRuns) {
  std::vector<std::string> ran;
  auto inner = [&] { ran.push_back("inner"); };
  boundary.Run(EventKind::Probe, [&] {
    ran.push_back("outer");
    boundary.Run(EventKind::Probe, inner);
    boundary.Run(EventKind::Press, inner);
  });
  whileReporting = [&] { boundary.Run(EventKind::Probe, inner); };
  boundary.Run(EventKind::Press, [] { throw std::runtime_error("x"); });
  whileReporting = nullptr;
  EXPECT_THAT(ran, ElementsAre("outer"));
  EXPECT_EQ(reports.size(), 1u);
  boundary.Run(EventKind::Probe, inner);
  EXPECT_THAT(ran, ElementsAre("outer", "inner"));
}

TEST_F(Boundary, AClosedWindowEndsTheEventQuietlyAsDoesAReportThatFails) {
  boundary.Run(EventKind::Probe, [] { throw WindowClosed{}; });
  EXPECT_THAT(reports, IsEmpty());

  // The window gone under the fault's box, or no memory to report with: the event still ends, and
  // the next one runs.
  const std::function<void()> failures[] = {[] { throw WindowClosed{}; }, [] { throw std::bad_alloc(); }};
  for (const std::function<void()>& failing : failures) {
    whileReporting = failing;
    boundary.Run(EventKind::Press, [] { throw std::runtime_error("x"); });
  }
  whileReporting = nullptr;
  EXPECT_EQ(reports.size(), 2u);
  boundary.Run(EventKind::Press, [] { throw std::runtime_error("y"); });
  EXPECT_EQ(reports.size(), 3u);
}

TEST(FaultMessage, SaysWhatWentWrongInPlainWords) {
  EXPECT_EQ(FaultMessage(Fault::LibraryNotFound("CP210xManufacturing.dll")),
            "The vendor library CP210xManufacturing.dll could not be found. Put it in the program's folder or a "
            "folder on PATH.");
  EXPECT_THAT(FaultMessage(Fault::LibraryNotLoadable("CP210xManufacturingN.dll", "it is a 32-bit library")),
              AllOf(HasSubstr("CP210xManufacturingN.dll"), HasSubstr("could not be loaded: it is a 32-bit library.")));
  EXPECT_THAT(FaultMessage(Fault::MissingEntryPoint("CP210x_SetPid", "CP210xManufacturing.dll")),
              HasSubstr("The vendor library CP210xManufacturing.dll has no entry point CP210x_SetPid."));
  for (const Fault& fault : {Fault::Subscript("ConvertToString", "length 300 past 64"),
                             Fault::Overflow("ConvertToString", "length 300 past 64"),
                             Fault::FloatingPoint("ConvertToString", "length 300 past 64")}) {
    EXPECT_THAT(FaultMessage(fault),
                AllOf(HasSubstr("ConvertToString"), HasSubstr("(length 300 past 64)"), Not(HasSubstr("()"))))
        << static_cast<int>(fault.Kind());
  }
  EXPECT_EQ(FaultMessage(std::runtime_error("disk full")), "Something unexpected went wrong: disk full");
}

TEST(FaultMessage, KeepsNamesAsTheyAreAndGivesOneTextPerDistinctFault) {
  EXPECT_THAT(FaultMessage(Fault::LibraryNotFound("Bibliothe\xCC\x80que-\xE5\xBA\x93.dll")),
              HasSubstr("Bibliothe\xCC\x80que-\xE5\xBA\x93.dll could not"));
  // The boundary repeats a report only when the text differs; these must therefore differ.
  const std::string first = FaultMessage(Fault::MissingEntryPoint("CP210x_Open", "a.dll"));
  EXPECT_EQ(first, FaultMessage(Fault::MissingEntryPoint("CP210x_Open", "a.dll")));
  EXPECT_NE(first, FaultMessage(Fault::MissingEntryPoint("CP210x_Close", "a.dll")));
  EXPECT_NE(first, FaultMessage(Fault::MissingEntryPoint("CP210x_Open", "b.dll")));
  EXPECT_NE(FaultMessage(Fault::LibraryNotLoadable("a.dll", "32-bit")),
            FaultMessage(Fault::LibraryNotLoadable("a.dll", "damaged")));
}

}  // namespace
}  // namespace tornak
