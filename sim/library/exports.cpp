// The entry points of the simulated manufacturing library. One source serves both
// generations; TORNAK_SIM_GENERATION (New or Old) says which one this build is.

#include <mutex>
#include <string_view>

#include "sim/library/bridge_model.hpp"
#include "sim/platform.hpp"
#include "sim/sim_status.hpp"
#include "sim/state/path.hpp"
#include "sim/state/store.hpp"

#ifdef _WIN32
#define SIM_EXPORT __declspec(dllexport)
#else
#define SIM_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using namespace tornak::sim;

constexpr tornak::LibraryGeneration kGeneration = tornak::LibraryGeneration::TORNAK_SIM_GENERATION;

// The program calls from one thread, but nothing stops a test or a tool from using more.
std::mutex serialised;

#ifdef TORNAK_SIM_IN_MEMORY
// The benchmark's build: the state lives in this process alone, seeded with the bridge
// `tornak-sim attach` makes, so that a caller's polling is timed without the file work.
State memory{.bridges = {DefaultBridge("bridge1")}, .failures = {}, .handles = {}, .withoutDriverPackage = {}};
#else
StateCache cache;

// The entry points whose operation writes the state (a handle opened or closed, an ID written, a
// reset): only these run as a read-modify-write of the state file. One that writes and is missing
// here changes a copy that is thrown away, so a new entry point that writes needs its line.
bool Changes(std::string_view operation) {
  return operation == "CP210x_Open" || operation == "CP210x_Close" || operation == "CP210x_Reset" ||
         operation == "CP210x_SetPid" || operation == "CP210x_SetVid";
}
#endif

// One operation, given the bridge model and the state it runs over. Over the state file, one that
// only looks is served from the cached state; one that changes it is a read-modify-write under
// the file's lock, written back only when it succeeded.
template <typename Operation>
CP210x_STATUS Call([[maybe_unused]] std::string_view name, Operation operation) noexcept {
  try {
    const std::lock_guard guard(serialised);
#ifdef TORNAK_SIM_IN_MEMORY
    BridgeModel model(memory, kGeneration);
    return operation(model, memory);
#else
    const auto path = StatePath();
    if (!path) return kIoError;
    State cached = cache.Current(*path);
    // With no state file there is nothing to change and no reason to create its folder: the
    // operation fails on the empty state.
    if (!Changes(name) || !cache.FileExists()) {
      BridgeModel model(cached, kGeneration);
      return operation(model, cached);
    }
    CP210x_STATUS status = kIoError;
    std::uint32_t away = 0;
    UpdateState(*path, [&](State& state) {
      BridgeModel model(state, kGeneration);
      status = operation(model, state);
      away = model.AwayAfterReset();
      return status == kSuccess;
    });
    // A real bridge drops off the bus at a reset and comes back under its new identity, and
    // Windows announces both; so does the simulated one, once the state file holds the change.
    if (status == kSuccess && name == "CP210x_Reset") {
      platform::AnnounceDeviceChange();
      if (away > 0) platform::AnnounceDeviceChangeLater(away);
    }
    return status;
#endif
  } catch (const MalformedState&) {
    return kStateMalformed;
  } catch (...) {
    return kIoError;
  }
}

}  // namespace

// Each entry point from the one list of shapes, which the binding's types come from too. A
// failure the state injects for it is returned in place of the operation, which then does nothing.
// It is applied under the process's mutex and, for the writing calls (Changes), inside the state
// file's lock, which another process breaks as a dead holder's once it is older than
// staleAfterMilliseconds (sim/state/store.hpp): an injected fault must answer at once and never
// wait (no simulated time-out), or it stalls the tool and the other library.
#define SIM_DEFINE_EXPORT(name, params, args)                                                 \
  extern "C" SIM_EXPORT CP210x_STATUS CP210X_CALL name params {                               \
    return Call(#name, [&](BridgeModel& model, const State& state) {                          \
      const std::optional<CP210x_STATUS> failure = state.InjectedFailure(#name, kGeneration); \
      return failure ? *failure : model.name args;                                            \
    });                                                                                       \
  }
CP210X_ENTRY_POINTS(SIM_DEFINE_EXPORT)
#undef SIM_DEFINE_EXPORT
