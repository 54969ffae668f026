#include "window/event_boundary.hpp"

#include <exception>
#include <utility>

#include "window/fault_message.hpp"

namespace tornak {

EventBoundary::EventBoundary(FaultReport report) : report_(std::move(report)) {}

void EventBoundary::Run(EventKind kind, const std::function<void()>& work) {
  if (running_) return;
  running_ = true;
  std::optional<std::string> fault;
  try {
    work();
    // A probe got through: the next fault is news, even the same one again.
    if (kind == EventKind::Probe) lastReported_.reset();
  } catch (const WindowClosed&) {
    // Closing the window ends the program without touching the device again; the window has
    // already asked its message loop to end.
  } catch (const std::exception& e) {
    fault = FaultMessage(e);
  } catch (...) {
    fault = UnknownFaultMessage();
  }
  if (fault) {
    const bool news = kind == EventKind::Press || lastReported_ != fault;
    lastReported_ = std::move(fault);
    try {
      report_(*lastReported_, news);
    } catch (...) {
      // Out of memory while reporting, or the window closed under the box: nothing better to
      // show, and the program goes on or ends as it would.
    }
  }
  running_ = false;
}

}  // namespace tornak
