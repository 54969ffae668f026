#pragma once

// When the window looks at the bridge. The tests (window/testing/time_bounds.hpp), the benchmark
// and the soak (soak/program.py reads this file) derive their time bounds from these, so that
// changing a period changes them all.
namespace tornak {

// Timer1's period: a probe at every tick while the window is open.
inline constexpr unsigned kTimer1PeriodMs = 600;

// How long the window waits after the last device-change message before it probes: Windows
// announces one plug as a burst (the device node, then each of its interfaces), and one probe
// after the burst sees it all.
inline constexpr unsigned kDeviceChangeSettleMs = 50;

// How long the driver packages' folder stays quiet before it is read again: installing a package
// writes several files one after another, and one reading after the last sees them all.
inline constexpr unsigned kPackageFolderSettleMs = 200;

// How often a packages' folder that cannot be watched (missing, barred) is read again.
inline constexpr unsigned kPackageFolderRetryMs = 10000;

}  // namespace tornak
