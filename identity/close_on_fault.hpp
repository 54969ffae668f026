#pragma once

#include <exception>

#include "vendor/cp210x.hpp"

namespace tornak {

// Closes an open device when a fault unwinds past it, so that no handle outlives the event
// that opened it. Normal paths close the device themselves, in their own order, and then
// Release() the guard.
class CloseOnFault {
 public:
  CloseOnFault(Cp210x& library, CP210x_HANDLE handle)
      : library_(library), handle_(handle), exceptionsAtStart_(std::uncaught_exceptions()) {}
  CloseOnFault(const CloseOnFault&) = delete;
  CloseOnFault& operator=(const CloseOnFault&) = delete;

  ~CloseOnFault() {
    if (!armed_ || std::uncaught_exceptions() <= exceptionsAtStart_) return;
    try {
      library_.CP210x_Close(handle_);
    } catch (...) {
      // The fault already on its way is the one to report; a second one from the close
      // (its entry point missing too, say) would only hide it.
    }
  }

  void Release() noexcept { armed_ = false; }

 private:
  Cp210x& library_;
  CP210x_HANDLE handle_;
  int exceptionsAtStart_;
  bool armed_ = true;
};

}  // namespace tornak
