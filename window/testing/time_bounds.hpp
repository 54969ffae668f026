#pragma once

#include "window/timing.hpp"

// The time bounds of the tests that watch the window (the window tests, the live-program test,
// the soak probe), each defined here once and derived from the window's own periods
// (window/timing.hpp), with the tests' margins beside them: a changed period changes them all,
// and the checks below say when one wait no longer fits inside another.
namespace tornak::testing {

// How late after a tick a test can notice it: the poll that sees its effects, in this process or
// through another.
inline constexpr unsigned kNoticeATickMs = 100;
// Room for a busy machine under Wine beyond a wait the window itself makes.
inline constexpr unsigned kBusyMachineMs = 250;

// Two ticks and a margin: a tick comes within it, also on a busy machine under Wine.
inline constexpr unsigned kTwoTicksAndAMarginMs = 2 * kTimer1PeriodMs + 800;
// A few ticks of the window's timer, each of which may probe and show a box.
inline constexpr unsigned kAFewTicksMs = 5 * kTimer1PeriodMs;

// Started right after a tick, a change shown within this came through its announcement: the
// next tick is a period away, less the moment it takes to notice a tick.
inline constexpr unsigned kBeforeTheNextTickMs = kTimer1PeriodMs - kNoticeATickMs;
// The probe an announcement brings, after the wait that lets a burst settle.
inline constexpr unsigned kAnnouncedProbeWithinMs = kDeviceChangeSettleMs + kBusyMachineMs;

static_assert(kNoticeATickMs < kTimer1PeriodMs, "a tick must be noticed before the next one comes");
static_assert(kAnnouncedProbeWithinMs < kBeforeTheNextTickMs,
              "the probe an announcement brings must show before the next tick could");

}  // namespace tornak::testing
