#include "sim/tool/command_line.hpp"

#include <string_view>

#include "sim/text_fields.hpp"

namespace tornak::sim {

const char kUsage[] =
    R"(usage: tornak-sim [--state FILE] COMMAND [ARGUMENTS]

Controls the simulated CP210x bridge that this project's CP210xManufacturing libraries report.

commands:
  attach [NAME] [BRIDGE OPTIONS]    attach a bridge; prints its name (default: first free bridgeN)
  set NAME BRIDGE OPTIONS           change an attached bridge
  detach NAME | --all               detach one bridge, or all of them
  fail OPERATION STATUS [--generation new|old]
                                    make a library operation return STATUS until cleared
  fail --clear [OPERATION] [--generation new|old]
                                    clear injected failures (all when no OPERATION)
  show                              bridges, pending IDs, failures, open handles, counts
  reset                             back to the empty state
  path                              print the state file's path
  help                              this text

bridge options:
  --vid HEX, --pid HEX              USB IDs (default 10C4, EA60)
  --pending-vid HEX|none, --pending-pid HEX|none
                                    IDs written but not yet in effect (until a reset)
  --serial TEXT, --product TEXT     serial number and product string
  --list-serial TEXT, --list-description TEXT, --list-path TEXT
                                    list strings; attach makes them from the above by default
  --serial-hex HEX, --product-hex HEX, --list-serial-hex HEX, ...
                                    any of the strings as raw bytes, e.g. 41FF00
  --seen new|old|both               library generations that see the bridge (default new)
  --serial-length N|real, --product-length N|real
                                    length (0-255) to report instead of the real one
  --unterminated WHICH, --terminated WHICH
                                    hand out a list string (list-serial, list-description,
                                    list-path) with no NUL in its 257-byte buffer, or stop it

OPERATION is an entry point name such as CP210x_Open. STATUS is decimal or 0x hex.
The state file is --state FILE, else $TORNAK_SIM_STATE, else a per-user default.
Exit codes: 0 ok, 1 error, 2 usage error.
)";

namespace {

// Walks the arguments; "--option=value" reads like "--option value".
class Arguments {
 public:
  Arguments(const std::vector<std::string>& arguments, std::optional<std::string>& stateFile)
      : stateFile_(stateFile) {
    for (const std::string& argument : arguments) {
      const std::size_t equals = argument.find('=');
      if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
        items_.push_back(argument.substr(0, equals));
        items_.push_back(argument.substr(equals + 1));
      } else {
        items_.push_back(argument);
      }
    }
  }

  bool Done() const { return next_ == items_.size(); }
  bool NextIsOption() const { return !Done() && items_[next_].rfind("--", 0) == 0; }
  std::string Take() { return items_[next_++]; }

  std::string ValueOf(const std::string& option) {
    if (Done()) throw UsageError(option + " needs a value");
    return Take();
  }

  // The options every command takes; true when `option` was one.
  bool TakeCommon(const std::string& option) {
    if (option != "--state") return false;
    stateFile_ = ValueOf(option);
    if (stateFile_->empty()) throw UsageError("--state needs a file name");
    return true;
  }

  // The next argument when it is not an option.
  std::optional<std::string> TakePositional() {
    if (Done() || NextIsOption()) return std::nullopt;
    return Take();
  }

 private:
  std::vector<std::string> items_;
  std::size_t next_ = 0;
  std::optional<std::string>& stateFile_;
};

[[noreturn]] void Unknown(const std::string& command, const std::string& argument) {
  if (argument.rfind("--", 0) == 0) throw UsageError(command + ": unknown option " + argument);
  throw UsageError(command + ": unexpected argument '" + argument + "'");
}

std::uint16_t HexId(const std::string& option, const std::string& value) {
  auto id = ParseHex16(value);
  if (!id) throw UsageError(option + " takes 1 to 4 hex digits, not '" + value + "'");
  return *id;
}

std::optional<std::uint16_t> PendingId(const std::string& option, const std::string& value) {
  if (value == "none") return std::nullopt;
  return HexId(option, value);
}

std::optional<std::uint8_t> ReportedLength(const std::string& option, const std::string& value) {
  if (value == "real") return std::nullopt;
  auto length = ParseDecimal(value);
  if (!length || *length > 255) throw UsageError(option + " takes 0 to 255 or 'real', not '" + value + "'");
  return static_cast<std::uint8_t>(*length);
}

ListString ListStringNamed(const std::string& option, const std::string& value) {
  auto which = ParseListString(value);
  if (!which) throw UsageError(option + " takes list-serial, list-description or list-path, not '" + value + "'");
  return *which;
}

std::string RawBytes(const std::string& option, const std::string& value) {
  auto bytes = BytesFromHex(value);
  if (!bytes) throw UsageError(option + " takes pairs of hex digits, not '" + value + "'");
  return *bytes;
}

Generation GenerationNamed(const std::string& option, const std::string& value) {
  auto generation = ParseGeneration(value);
  if (!generation) throw UsageError(option + " takes new or old, not '" + value + "'");
  return *generation;
}

// The string a text option sets, and whether it is one at all: "--serial" and "--serial-hex"
// both set the serial.
std::string Bridge::*StringField(std::string_view option) {
  if (option == "--serial") return &Bridge::serial;
  if (option == "--product") return &Bridge::product;
  return nullptr;
}

// One bridge option and its value into `edit`; false when `option` is none.
bool TakeBridgeOption(const std::string& option, Arguments& arguments, BridgeEdit& edit) {
  const bool hex = option.size() > 4 && option.compare(option.size() - 4, 4, "-hex") == 0;
  const std::string base = hex ? option.substr(0, option.size() - 4) : option;
  auto& steps = edit.steps;

  if (auto field = StringField(base)) {
    std::string bytes = hex ? RawBytes(option, arguments.ValueOf(option)) : arguments.ValueOf(option);
    steps.push_back([field, bytes](Bridge& bridge) { bridge.*field = bytes; });
    return true;
  }
  if (base.rfind("--", 0) == 0) {
    if (auto which = ParseListString(std::string_view(base).substr(2))) {
      std::string bytes = hex ? RawBytes(option, arguments.ValueOf(option)) : arguments.ValueOf(option);
      edit.listGiven[Index(*which)] = true;
      steps.push_back([which = *which, bytes](Bridge& bridge) { bridge.list[Index(which)] = bytes; });
      return true;
    }
  }
  if (hex) return false;

  if (option == "--vid" || option == "--pid") {
    const std::uint16_t id = HexId(option, arguments.ValueOf(option));
    auto field = option == "--vid" ? &Bridge::vid : &Bridge::pid;
    steps.push_back([field, id](Bridge& bridge) { bridge.*field = id; });
  } else if (option == "--pending-vid" || option == "--pending-pid") {
    const auto id = PendingId(option, arguments.ValueOf(option));
    auto field = option == "--pending-vid" ? &Bridge::pendingVid : &Bridge::pendingPid;
    steps.push_back([field, id](Bridge& bridge) { bridge.*field = id; });
  } else if (option == "--seen") {
    const std::string value = arguments.ValueOf(option);
    auto seen = ParseVisibility(value);
    if (!seen) throw UsageError("--seen takes new, old or both, not '" + value + "'");
    steps.push_back([seen = *seen](Bridge& bridge) { bridge.seenBy = seen; });
  } else if (option == "--serial-length" || option == "--product-length") {
    const auto length = ReportedLength(option, arguments.ValueOf(option));
    auto field = option == "--serial-length" ? &Bridge::serialLength : &Bridge::productLength;
    steps.push_back([field, length](Bridge& bridge) { bridge.*field = length; });
  } else if (option == "--unterminated" || option == "--terminated") {
    const ListString which = ListStringNamed(option, arguments.ValueOf(option));
    const bool unterminated = option == "--unterminated";
    steps.push_back([which, unterminated](Bridge& bridge) { bridge.unterminated[Index(which)] = unterminated; });
  } else {
    return false;
  }
  return true;
}

std::string BridgeName(const std::string& command, const std::string& name) {
  if (!IsValidBridgeName(name))
    throw UsageError(command + ": bad bridge name '" + name +
                     "' (a letter or digit, then letters, digits, '_', '.' or '-'; at most 64)");
  return name;
}

BridgeEdit BridgeOptions(const std::string& command, Arguments& arguments) {
  BridgeEdit edit;
  while (!arguments.Done()) {
    const std::string argument = arguments.Take();
    if (!arguments.TakeCommon(argument) && !TakeBridgeOption(argument, arguments, edit)) Unknown(command, argument);
  }
  return edit;
}

AttachCommand ParseAttach(Arguments& arguments) {
  AttachCommand attach;
  if (auto name = arguments.TakePositional()) attach.name = BridgeName("attach", *name);
  attach.edit = BridgeOptions("attach", arguments);
  return attach;
}

SetCommand ParseSet(Arguments& arguments) {
  auto name = arguments.TakePositional();
  if (!name) throw UsageError("set: which bridge? (set NAME OPTIONS)");
  SetCommand set{BridgeName("set", *name), BridgeOptions("set", arguments)};
  if (set.edit.steps.empty()) throw UsageError("set: nothing to change");
  return set;
}

DetachCommand ParseDetach(Arguments& arguments) {
  std::optional<std::string> name;
  bool all = false;
  while (!arguments.Done()) {
    const std::string argument = arguments.Take();
    if (arguments.TakeCommon(argument)) continue;
    if (argument == "--all" && !all) {
      all = true;
    } else if (argument.rfind("--", 0) != 0 && !name) {
      name = BridgeName("detach", argument);
    } else {
      Unknown("detach", argument);
    }
  }
  if (all == name.has_value()) throw UsageError("detach: give a bridge name or --all");
  return {name};
}

std::string OperationName(const std::string& name) {
  if (!IsEntryPointName(name)) {
    std::string known;
    for (std::string_view entry : EntryPointNames()) known += " " + std::string(entry);
    throw UsageError("fail: '" + name + "' is not a library operation; these are:" + known);
  }
  return name;
}

Command ParseFail(Arguments& arguments) {
  bool clear = false;
  std::vector<std::string> words;
  std::optional<Generation> generation;
  while (!arguments.Done()) {
    const std::string argument = arguments.Take();
    if (arguments.TakeCommon(argument)) continue;
    if (argument == "--clear") {
      clear = true;
    } else if (argument == "--generation") {
      generation = GenerationNamed(argument, arguments.ValueOf(argument));
    } else if (argument.rfind("--", 0) != 0) {
      words.push_back(argument);
    } else {
      Unknown("fail", argument);
    }
  }
  if (clear) {
    if (words.size() > 1) Unknown("fail", words[1]);
    ClearFailuresCommand command;
    if (!words.empty()) command.operation = OperationName(words[0]);
    command.generation = generation;
    return command;
  }
  if (words.size() != 2) throw UsageError("fail: expected OPERATION STATUS");
  auto status = ParseStatus(words[1]);
  if (!status) throw UsageError("fail: STATUS must be decimal or 0x hex, not '" + words[1] + "'");
  if (*status == 0) throw UsageError("fail: status 0 is success; use fail --clear to stop a failure");
  return FailCommand{OperationName(words[0]), *status, generation};
}

template <typename Command>
Command NoArguments(const std::string& command, Arguments& arguments) {
  while (!arguments.Done()) {
    const std::string argument = arguments.Take();
    if (!arguments.TakeCommon(argument)) Unknown(command, argument);
  }
  return Command{};
}

}  // namespace

Invocation ParseCommandLine(const std::vector<std::string>& argumentList) {
  Invocation invocation{std::nullopt, HelpCommand{}};
  Arguments arguments(argumentList, invocation.stateFile);
  std::optional<std::string> command;
  while (!command && !arguments.Done()) {
    const std::string argument = arguments.Take();
    if (argument == "--help" || argument == "-h") return invocation;
    if (arguments.TakeCommon(argument)) continue;
    if (argument.rfind("--", 0) == 0) throw UsageError("unknown option " + argument);
    command = argument;
  }
  if (!command) throw UsageError("no command given");

  if (*command == "attach") invocation.command = ParseAttach(arguments);
  else if (*command == "set") invocation.command = ParseSet(arguments);
  else if (*command == "detach") invocation.command = ParseDetach(arguments);
  else if (*command == "fail") invocation.command = ParseFail(arguments);
  else if (*command == "show") invocation.command = NoArguments<ShowCommand>("show", arguments);
  else if (*command == "reset") invocation.command = NoArguments<ResetCommand>("reset", arguments);
  else if (*command == "path") invocation.command = NoArguments<PathCommand>("path", arguments);
  else if (*command == "help") invocation.command = NoArguments<HelpCommand>("help", arguments);
  else throw UsageError("unknown command '" + *command + "'");
  return invocation;
}

}  // namespace tornak::sim
