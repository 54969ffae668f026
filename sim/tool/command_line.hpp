#pragma once

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "sim/state.hpp"

namespace tornak::sim {

// A command line the tool cannot make sense of; exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Changes to one bridge, applied in the order given on the command line.
struct BridgeEdit {
  std::vector<std::function<void(Bridge&)>> steps;
  std::array<bool, kListStringCount> listGiven{};  // otherwise attach makes it from the rest

  void ApplyTo(Bridge& bridge) const {
    for (const auto& step : steps) step(bridge);
  }
};

struct AttachCommand {
  std::optional<std::string> name;  // nullopt: the first free bridgeN
  BridgeEdit edit;
};
struct SetCommand {
  std::string name;
  BridgeEdit edit;
};
struct DetachCommand {
  std::optional<std::string> name;  // nullopt: all of them
};
struct FailCommand {
  std::string operation;
  CP210x_STATUS status = 0;
  std::optional<Generation> generation;
};
struct ClearFailuresCommand {
  std::optional<std::string> operation;  // nullopt: every operation
  std::optional<Generation> generation;  // nullopt: both generations
};
struct ShowCommand {};
struct ResetCommand {};
struct PathCommand {};
struct HelpCommand {
  std::string text;  // every command and option, or one command's
};

using Command = std::variant<AttachCommand, SetCommand, DetachCommand, FailCommand, ClearFailuresCommand, ShowCommand,
                             ResetCommand, PathCommand, HelpCommand>;

struct Invocation {
  std::optional<std::string> stateFile;  // --state, which wins over TORNAK_SIM_STATE
  Command command;
};

// The arguments after the program name. Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tornak::sim
