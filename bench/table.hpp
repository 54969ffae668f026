#pragma once

#include <ostream>
#include <string>

namespace tornak::bench {

// One line of the benchmark's table: a figure of tornak's beside the same figure of its
// baseline, measured in the same run.
struct Row {
  std::string measurement;
  std::string tornak;
  std::string baseline;  // the figure and what was measured for it
  std::string ratio;     // tornak / baseline, or empty where a ratio says nothing
  std::string target;    // the figure to reach and whether it was, or empty
};

// Both programs print rows of one table; bench/run.sh prints them under a single header.
void PrintHeader(std::ostream& out);
void PrintRow(std::ostream& out, const Row& row);

std::string Microseconds(double nanoseconds);
std::string Milliseconds(double milliseconds);
std::string Kibibytes(double bytes);
std::string Percent(double percent);
std::string Ratio(double tornak, double baseline);
// "met" or "NOT met", after the target's own wording.
std::string Verdict(const std::string& target, bool met);

}  // namespace tornak::bench
