#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tornak {

// Thrown by the window's display operations once the window is gone (closed under a box): the
// event under way ends at its boundary, with no further call to the library and no further box.
// Not a std::exception, so that nothing can take it for a fault.
struct WindowClosed {};

// What started an event: a probe (the window's load, a tick, a device change) or a button.
enum class EventKind { Probe, Press };

// Where every event of the window runs. Nothing thrown gets past it, and no event starts while
// another is still running: a box runs a message loop of its own, and the ticks that arrive
// under it are dropped rather than queued, so that boxes never stack up and no probe runs while
// the user has not yet answered the last one.
class EventBoundary {
 public:
  // Shows the fault (UTF-8) that ended an event, and blanks what no longer describes a bridge.
  // `news` is false for a probe's fault already reported by the probe before: a fault that stays
  // (a library still missing) is reported once, not on every tick; a press always gets its answer.
  using FaultReport = std::function<void(const std::string& message, bool news)>;

  explicit EventBoundary(FaultReport report);

  // Runs work, unless another event is running; a WindowClosed ends it quietly.
  void Run(EventKind kind, const std::function<void()>& work);

 private:
  FaultReport report_;
  bool running_ = false;
  std::optional<std::string> lastReported_;
};

}  // namespace tornak
