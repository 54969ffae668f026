#include "sim/tool/tool.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "sim/platform.hpp"
#include "sim/state_path.hpp"
#include "sim/state_store.hpp"
#include "sim/tool/command_line.hpp"
#include "sim/tool/show.hpp"

namespace tornak::sim {
namespace {

// A command that cannot be carried out on this state; exit code 1.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string FreeName(const State& state) {
  for (int number = 1;; ++number) {
    std::string name = "bridge" + std::to_string(number);
    if (state.FindBridge(name) == nullptr) return name;
  }
}

Bridge NewBridge(const State& state, const AttachCommand& attach) {
  const std::string number = std::to_string(state.bridges.size() + 1);
  Bridge bridge = DefaultBridge(attach.name ? *attach.name : FreeName(state),
                                std::string(4 - std::min<std::size_t>(number.size(), 4), '0') + number);
  attach.edit.ApplyTo(bridge);
  // The list strings follow what the bridge reports, unless given.
  const auto made = SystemListStrings(bridge);
  for (std::size_t i = 0; i < kListStringCount; ++i)
    if (!attach.edit.listGiven[i]) bridge.list[i] = made[i];
  return bridge;
}

Bridge& AttachedBridge(State& state, const std::string& name) {
  Bridge* bridge = state.FindBridge(name);
  if (bridge == nullptr) throw CommandError("no bridge named '" + name + "' is attached");
  return *bridge;
}

// The commands that plug, unplug or change a bridge announce it once the state file holds the
// change, as Windows does for a real device; failures are not a device change.
struct Runner {
  const std::string& path;
  std::ostream& out;

  template <typename Edit>
  void ChangeBridges(Edit&& edit) const {
    UpdateState(path, std::forward<Edit>(edit));
    platform::AnnounceDeviceChange();
  }

  void operator()(const AttachCommand& attach) const {
    std::string name;
    ChangeBridges([&](State& state) {
      if (attach.name && state.FindBridge(*attach.name) != nullptr)
        throw CommandError("a bridge named '" + *attach.name + "' is attached already");
      state.bridges.push_back(NewBridge(state, attach));
      name = state.bridges.back().name;
      return true;
    });
    out << name << "\n";
  }

  void operator()(const SetCommand& set) const {
    ChangeBridges([&](State& state) {
      ChangeBridge(AttachedBridge(state, set.name), [&](Bridge& bridge) { set.edit.ApplyTo(bridge); });
      return true;
    });
  }

  void operator()(const DetachCommand& detach) const {
    ChangeBridges([&](State& state) {
      if (detach.name) {
        if (!state.Detach(*detach.name)) throw CommandError("no bridge named '" + *detach.name + "' is attached");
        return true;
      }
      while (!state.bridges.empty()) state.Detach(std::string(state.bridges.front().name));
      return true;
    });
  }

  void operator()(const FailCommand& fail) const {
    UpdateState(path, [&](State& state) {
      auto& failures = state.failures;
      auto same = std::find_if(failures.begin(), failures.end(), [&](const Failure& failure) {
        return failure.operation == fail.operation && failure.generation == fail.generation;
      });
      if (same != failures.end()) same->status = fail.status;
      else failures.push_back({fail.operation, fail.generation, fail.status});
      return true;
    });
  }

  void operator()(const ClearFailuresCommand& clear) const {
    UpdateState(path, [&](State& state) {
      const auto before = state.failures.size();
      std::erase_if(state.failures, [&](const Failure& failure) {
        return (!clear.operation || failure.operation == *clear.operation) &&
               (!clear.generation || failure.generation == clear.generation);
      });
      return state.failures.size() != before;
    });
  }

  void operator()(const ShowCommand&) const {
    const auto bytes = platform::ReadFileBytes(path);
    ShowState(out, path, bytes.has_value(), bytes ? ParseState(*bytes, path) : State{}, NowMilliseconds());
  }

  void operator()(const ResetCommand&) const {
    ResetState(path);
    platform::AnnounceDeviceChange();
  }
  void operator()(const PathCommand&) const { out << path << "\n"; }
  void operator()(const HelpCommand& help) const { out << help.text; }
};

}  // namespace

int RunTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const Invocation invocation = ParseCommandLine(arguments);
    if (const auto* help = std::get_if<HelpCommand>(&invocation.command)) {
      out << help->text;
      return kExitOk;
    }
    const auto path =
        invocation.stateFile ? std::optional(NativeStatePath(*invocation.stateFile, platform::kWindows)) : StatePath();
    if (!path) throw CommandError("no place for the state file: set TORNAK_SIM_STATE or give --state FILE");
    std::visit(Runner{*path, out}, invocation.command);
    out.flush();
    return kExitOk;
  } catch (const UsageError& error) {
    err << "tornak-sim: " << error.what() << "\n(tornak-sim --help lists the commands and options)\n";
    return kExitUsage;
  } catch (const MalformedState& error) {
    err << "tornak-sim: malformed state file " << error.File() << ", line " << error.Line() << ": " << error.Problem()
        << "\n(tornak-sim reset starts over with an empty state)\n";
    return kExitError;
  } catch (const std::exception& error) {
    err << "tornak-sim: " << error.what() << "\n";
    return kExitError;
  }
}

}  // namespace tornak::sim
