#pragma once

#include <cstdint>

#include "cp210x/cp210x.hpp"
#include "sim/state/state.hpp"

namespace tornak::sim {

// The simulated bridge: what each library operation of one generation does to a state held in
// memory. The simulated libraries run it over the state file; tests run it in-process. An
// operation that changes the state changes it only when it returns kSuccess. Buffers are written
// within their contract sizes and nowhere else; on failure no output is touched.
class BridgeModel final : public Cp210x {
 public:
  BridgeModel(State& state, LibraryGeneration generation) : state_(state), generation_(generation) {}

#define CP210X_DECLARE_OVERRIDE(name, params, args) CP210x_STATUS name params override;
  CP210X_ENTRY_POINTS(CP210X_DECLARE_OVERRIDE)
#undef CP210X_DECLARE_OVERRIDE

  // How long the bridge the last successful reset restarted is away (0: back at once).
  std::uint32_t AwayAfterReset() const noexcept { return awayAfterReset_; }

 private:
  State& state_;
  LibraryGeneration generation_;
  std::uint32_t awayAfterReset_ = 0;
};

}  // namespace tornak::sim
