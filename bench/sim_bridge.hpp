#pragma once

#include <string>

#include "sim/state.hpp"

namespace tornak::bench {

// A bridge as `tornak-sim attach NAME` makes it: a CP2102 on the vendor's VCP driver, seen by
// the new library generation.
inline sim::Bridge AttachableBridge(const std::string& name) {
  sim::Bridge bridge;
  bridge.name = name;
  bridge.seenBy = sim::Visibility::New;
  bridge.vid = 0x10C4;
  bridge.pid = 0xEA60;
  bridge.serial = "0001";
  bridge.product = "CP2102 USB to UART Bridge Controller";
  bridge.list = {bridge.serial, bridge.product,
                 R"(\\?\usb#vid_10c4&pid_ea60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed})"};
  return bridge;
}

}  // namespace tornak::bench
