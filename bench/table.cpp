#include "bench/table.hpp"

#include <cstdio>

namespace tornak::bench {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

void PrintHeader(std::ostream& out) {
  out << "| Measurement | tornak | Baseline | Ratio | Target |\n"
      << "|---|---:|---|---:|---|\n";
}

void PrintRow(std::ostream& out, const Row& row) {
  out << "| " << row.measurement << " | " << row.tornak << " | " << row.baseline << " | " << row.ratio << " | "
      << row.target << " |\n";
  out.flush();
}

std::string Microseconds(double nanoseconds) {
  return Format(nanoseconds < 10'000 ? "%.2f us" : "%.1f us", nanoseconds / 1000);
}

std::string Milliseconds(double milliseconds) { return Format("%.0f ms", milliseconds); }

std::string Kibibytes(double bytes) { return Format("%.0f KiB", bytes / 1024); }

std::string Percent(double percent) { return Format("%.3f %%", percent); }

std::string Ratio(double tornak, double baseline) {
  if (baseline <= 0) return "-";
  return Format("%.2fx", tornak / baseline);
}

std::string Verdict(const std::string& target, bool met) { return target + (met ? ": met" : ": NOT met"); }

}  // namespace tornak::bench
