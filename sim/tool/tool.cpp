#include "sim/tool/tool.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "sim/platform.hpp"
#include "sim/state/path.hpp"
#include "sim/state/store.hpp"
#include "sim/tool/driver_packages.hpp"

namespace tornak::sim {
namespace {

constexpr char kNotes[] = R"(
OPERATION is an entry point name such as CP210x_Open. STATUS is decimal or 0x hex.
ID is a VID and a PID in hex, such as 10C4:EA61. The simulated PC has a driver package for every
ID until one is removed; a bridge under an ID without one has no driver, and neither library
generation sees it. Under Wine each package is an INF file in the Wine prefix's INF folder too.
The state file is --state FILE, else $TORNAK_SIM_STATE, else a per-user default.
Exit codes: 0 ok, 1 error, 2 usage error.
)";

// An option whose every occurrence, in command-line order, `read`s its text (nullopt: a usage
// error saying what the option `takes`) and hands the value to `take`.
template <typename Read, typename Take>
CLI::Option* AddOption(CLI::App& command, const std::string& name, const std::string& type, const std::string& takes,
                       const std::string& help, Read read, Take take) {
  const auto each = [name, takes, read, take](const std::string& text) {
    auto value = read(text);
    if (!value) throw CLI::ValidationError(name, "takes " + takes + ", not '" + text + "'");
    take(*value);
  };
  return command.add_option_function<std::string>(name, each, help)->type_name(type)->trigger_on_parse();
}

std::optional<std::string> AnyText(const std::string& text) { return text; }

// Reads a value with `read`, or the `word` that stands for none.
template <typename Read>
auto OrNone(const char* word, Read read) {
  return [word, read](const std::string& text) {
    using Value = decltype(read(text));
    const Value value = text == word ? Value() : read(text);
    return text == word || value ? std::optional<Value>(value) : std::nullopt;
  };
}

// Changes to one bridge, in the order given on the command line.
using BridgeEdit = std::vector<std::function<void(Bridge&)>>;

// Takes a value as a step that sets one field of the bridge.
template <typename Field>
auto SetsField(BridgeEdit& edit, Field Bridge::*field) {
  return
      [&edit, field](const Field& value) { edit.push_back([field, value](Bridge& bridge) { bridge.*field = value; }); };
}

void AddBridgeOptions(CLI::App& command, BridgeEdit& edit) {
  constexpr char kHex[] = "1 to 4 hex digits";
  constexpr char kBytes[] = "pairs of hex digits";
  const auto pendingId = OrNone("none", ParseId);
  AddOption(command, "--vid", "HEX", kHex, "USB vendor ID (default 10C4)", ParseId, SetsField(edit, &Bridge::vid));
  AddOption(command, "--pid", "HEX", kHex, "USB product ID (default EA60)", ParseId, SetsField(edit, &Bridge::pid));
  AddOption(command, "--pending-vid", "HEX|none", "1 to 4 hex digits or 'none'",
            "vendor ID written but not yet in effect (until a reset)", pendingId, SetsField(edit, &Bridge::pendingVid));
  AddOption(command, "--pending-pid", "HEX|none", "1 to 4 hex digits or 'none'",
            "product ID written but not yet in effect (until a reset)", pendingId,
            SetsField(edit, &Bridge::pendingPid));

  for (auto [name, field] : {std::pair("serial", &Bridge::serial), std::pair("product", &Bridge::product)}) {
    const std::string option = std::string("--") + name;
    AddOption(command, option, "TEXT", "text", std::string("the ") + name + " string the bridge reports", AnyText,
              SetsField(edit, field));
    AddOption(command, option + "-hex", "HEX", kBytes, "the same as raw bytes, e.g. 41FF00", BytesFromHex,
              SetsField(edit, field));
    AddOption(
        command, option + "-length", "N|real", "0 to 255 or 'real'", "length to report instead of the real one",
        OrNone("real", [](const std::string& text) { return ParseNumber<std::uint8_t>(text); }),
        SetsField(edit, name == std::string_view("serial") ? &Bridge::serialLength : &Bridge::productLength));
  }

  for (std::size_t i = 0; i < kListStringCount; ++i) {
    const std::string option = "--list-" + std::string(kListStringNames[i]);
    const auto setsList = [&edit, i](const std::string& bytes) {
      edit.push_back([i, bytes](Bridge& bridge) { bridge.list[i] = bytes; });
    };
    AddOption(command, option, "TEXT", "text", "list string; by default the system's, made from the above", AnyText,
              setsList);
    AddOption(command, option + "-hex", "HEX", kBytes, "the same as raw bytes", BytesFromHex, setsList);
  }

  AddOption(command, "--reenumeration-ms", "MS", "0 to " + std::to_string(kMaxReenumerationMs),
            "how long the bridge is off the bus after a reset; neither generation counts it and its open handles "
            "fail meanwhile (default 0: back at once)",
            [](const std::string& text) {
              const auto ms = ParseNumber<std::uint32_t>(text);
              return ms && *ms <= kMaxReenumerationMs ? ms : std::nullopt;
            },
            SetsField(edit, &Bridge::reenumerationMs));
  AddOption(
      command, "--seen", "new|old|both", "new, old or both", "library generations that see the bridge (default new)",
      [](const std::string& text) { return Named<Visibility>(kVisibilityNames, text); },
      SetsField(edit, &Bridge::seenBy));
  for (bool unterminated : {true, false}) {
    AddOption(
        command, unterminated ? "--unterminated" : "--terminated", "WHICH",
        "list-serial, list-description or list-path",
        unterminated ? "hand out a list string with no NUL in its 257-byte buffer" : "end a list string again",
        [](const std::string& text) {
          return text.rfind("list-", 0) == 0 ? Named<std::size_t>(kListStringNames, text.substr(5)) : std::nullopt;
        },
        [&edit, unterminated](std::size_t which) {
          edit.push_back([which, unterminated](Bridge& bridge) { bridge.unterminated[which] = unterminated; });
        });
  }
}

class Tool {
 public:
  Tool() {
    app_.footer(kNotes);
    app_.require_subcommand(1);
    // --state is taken after the command's name too.
    app_.fallthrough();
    AddOption(app_, "--state", "FILE", "a file name", "the state file", AnyText, [this](const std::string& file) {
      stateFile_ = file;
    })->check(CLI::Validator([](std::string& file) { return file.empty() ? "needs a file name" : ""; }, ""));

    auto* attach =
        AddCommand("attach", "attach a bridge; prints its name (default: first free bridgeN)", &Tool::Attach);
    AddName(*attach, "the new bridge's name");
    AddBridgeOptions(*attach, edit_);

    auto* set = AddCommand("set", "change an attached bridge", &Tool::Set);
    AddName(*set, "the bridge")->required();
    AddBridgeOptions(*set, edit_);

    auto* detach = AddCommand("detach", "detach one bridge (NAME), or all of them (--all)", &Tool::Detach);
    AddName(*detach, "the bridge")->excludes(detach->add_flag("--all", all_, "every bridge"));

    auto* fail = AddCommand(
        "fail", "make a library operation return STATUS until cleared; with --clear, clear injected failures",
        &Tool::Fail);
    std::string operations;
    for (std::string_view name : kEntryPointNames) operations += " " + std::string(name);
    AddOption(*fail, "OPERATION", "", "an entry point of the library, one of" + operations,
              "the entry point; with --clear, all when left out", ParseEntryPoint,
              [this](const std::string& operation) { operation_ = operation; });
    AddOption(*fail, "STATUS", "", "a status", "the status it returns", AnyText, [this](const std::string& status) {
      status_ = status;
    })->excludes(fail->add_flag("--clear", clear_, "clear instead"));
    AddOption(
        *fail, "--generation", "new|old", "new or old", "only this library generation (default both)",
        [](const std::string& text) { return Named<LibraryGeneration>(kGenerationNames, text); },
        [this](LibraryGeneration generation) { generation_ = generation; });

    AddCommand("packages", "the simulated PC's driver packages, and where their INF files are", &Tool::Packages);
    auto* package = app_.add_subcommand("package", "add or remove the simulated PC's driver package for an ID");
    package->require_subcommand(1);
    for (const bool installed : {true, false}) {
      auto* change = AddCommand(*package, installed ? "add" : "remove",
                                installed ? "install a driver package for ID; a bridge under it is seen again"
                                          : "remove the driver package for ID; a bridge under it has no driver",
                                installed ? &Tool::AddPackage : &Tool::RemovePackage);
      AddOption(*change, "ID", "", "VID:PID such as 10C4:EA61", "the identity", ParseUsbId, [this](UsbId id) {
        packageId_ = id;
      })->required();
    }

    AddCommand("show", "bridges, pending IDs, time away, failures, open handles, counts, driver packages",
               &Tool::Show);
    AddCommand("reset", "back to the empty state, with a driver package for every ID", &Tool::Reset);
    AddCommand("path", "print the state file's path", &Tool::PrintPath);
    AddCommand("help", "every command and option", &Tool::Help);
  }

  void Run(const std::vector<std::string>& arguments, std::ostream& out) {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
      app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      out << (app_.get_subcommands().empty() ? Usage() : app_.help());
      return;
    } catch (const CLI::ParseError& error) {
      // CLI11 says only that a command is missing when the first word is none.
      const std::vector<std::string> unused = app_.remaining();
      if (app_.get_subcommands().empty() && !unused.empty() && unused.front().rfind('-', 0) != 0)
        throw CLI::ValidationError("unknown command '" + unused.front() + "'");
      throw;
    }
    (this->*command_)(out);
  }

 private:
  // A command checks the rest of its arguments, then looks for the state file.
  using Command = void (Tool::*)(std::ostream& out);

  CLI::App* AddCommand(const std::string& name, const std::string& help, Command command) {
    return AddCommand(app_, name, help, command);
  }
  CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& help, Command command) {
    return parent.add_subcommand(name, help)->callback([this, command] { command_ = command; });
  }

  CLI::Option* AddName(CLI::App& command, const std::string& help) {
    return AddOption(command, "NAME", "", "a letter or digit, then letters, digits, '_', '.' or '-', at most 64", help,
                     ParseBridgeName, [this](const std::string& name) { name_ = name; });
  }

  std::string Usage() const { return app_.get_formatter()->make_help(&app_, "tornak-sim", CLI::AppFormatMode::All); }

  std::string Path() const {
    const auto path = stateFile_ ? std::optional(NativeStatePath(*stateFile_, platform::kWindows)) : StatePath();
    if (!path) throw std::runtime_error("no place for the state file: set TORNAK_SIM_STATE or give --state FILE");
    return *path;
  }

  // The commands that plug, unplug or change a bridge announce it once the state file holds the
  // change, as Windows does for a real device; failures are not a device change.
  void ChangeBridges(const std::function<void(State&)>& change) const {
    UpdateState(Path(), [&](State& state) {
      change(state);
      return true;
    });
    platform::AnnounceDeviceChange();
  }

  // Changes the bridge as the command line says, in its order.
  void Edit(Bridge& bridge) const {
    ChangeBridge(bridge, [this](Bridge& changed) {
      for (const auto& step : edit_) step(changed);
    });
  }

  void Attach(std::ostream& out) {
    std::string attached;
    ChangeBridges([&](State& state) {
      if (name_ && state.FindBridge(*name_) != nullptr)
        throw std::runtime_error("a bridge named '" + *name_ + "' is attached already");
      std::string free = "bridge1";
      for (int number = 2; state.FindBridge(free) != nullptr; ++number) free = "bridge" + std::to_string(number);
      const std::string serial = std::to_string(state.bridges.size() + 1);
      Bridge& bridge = state.bridges.emplace_back(
          DefaultBridge(name_.value_or(free), std::string(4 - std::min<std::size_t>(serial.size(), 4), '0') + serial));
      Edit(bridge);
      attached = bridge.name;
    });
    out << attached << "\n";
  }

  void Set(std::ostream&) {
    if (edit_.empty()) throw CLI::ValidationError("set", "nothing to change");
    ChangeBridges([&](State& state) {
      Bridge* bridge = state.FindBridge(*name_);
      if (bridge == nullptr) throw std::runtime_error("no bridge named '" + *name_ + "' is attached");
      Edit(*bridge);
    });
  }

  void Detach(std::ostream&) {
    if (!all_ && !name_) throw CLI::ValidationError("detach", "give a bridge name or --all");
    ChangeBridges([&](State& state) {
      if (name_ && !state.Detach(*name_)) throw std::runtime_error("no bridge named '" + *name_ + "' is attached");
      while (!name_ && !state.bridges.empty()) state.Detach(std::string(state.bridges.front().name));
    });
  }

  void Fail(std::ostream&) {
    if (clear_) {
      UpdateState(Path(), [&](State& state) {
        return std::erase_if(state.failures, [&](const Failure& failure) {
                 return (!operation_ || failure.operation == *operation_) &&
                        (!generation_ || failure.generation == generation_);
               }) != 0;
      });
      return;
    }
    if (!operation_ || !status_) throw CLI::ValidationError("fail", "expected OPERATION STATUS");
    const auto status = ParseStatus(*status_);
    if (!status) throw CLI::ValidationError("fail", "STATUS must be decimal or 0x hex, not '" + *status_ + "'");
    if (*status == 0) throw CLI::ValidationError("fail", "status 0 is success; use fail --clear to stop a failure");
    UpdateState(Path(), [&](State& state) {
      std::erase_if(state.failures, [&](const Failure& other) {
        return other.operation == *operation_ && other.generation == generation_;
      });
      state.failures.push_back({*operation_, generation_, *status});
      return true;
    });
  }

  void Show(std::ostream& out) {
    const std::string path = Path();
    const auto bytes = platform::ReadFileBytes(path);
    ShowState(out, path, bytes.has_value(), bytes ? ParseState(*bytes, path) : State{}, NowMilliseconds());
  }

  // The Wine prefix's INF folder when there is one.
  static std::optional<std::string> InfFolder(const std::optional<std::string>& folder) {
    std::error_code error;
    if (folder && std::filesystem::is_directory(platform::FilePath(*folder), error)) return folder;
    return std::nullopt;
  }

  static std::string InfFolderNote(const std::optional<std::string>& folder) {
    if (!folder)
      return platform::kWindows ? "none: driver packages are simulated only under Wine" : "none: no Wine prefix";
    return InfFolder(folder) ? *folder : "none: no Wine prefix has " + *folder;
  }

  void Packages(std::ostream& out) {
    ShowDriverPackages(out, ReadState(Path()));
    out << "INF files: " << InfFolderNote(DriverPackageFolder()) << "\n";
  }

  void AddPackage(std::ostream& out) { ChangePackage(out, true); }
  void RemovePackage(std::ostream& out) { ChangePackage(out, false); }

  // The state and, under Wine, the INF file; on a real Windows neither.
  void ChangePackage(std::ostream& out, bool installed) {
    const auto folder = DriverPackageFolder();
    if (platform::kWindows && !folder)
      throw std::runtime_error("driver packages are simulated only under Wine; nothing changed");
    std::string file;
    ChangeBridges([&](State& state) {
      state.SetDriverPackage(*packageId_, installed);
      if (const auto inf = InfFolder(folder))
        file = installed ? WriteDriverPackage(*inf, *packageId_) : RemoveDriverPackage(*inf, *packageId_);
    });
    if (file.empty()) out << "INF file: " << InfFolderNote(folder) << "\n";
    else out << (installed ? "Wrote " : "Removed ") << file << "\n";
  }

  void Reset(std::ostream&) {
    ResetState(Path());
    if (const auto inf = InfFolder(DriverPackageFolder()))
      for (const UsbId& id : PresetIds()) WriteDriverPackage(*inf, id);
    platform::AnnounceDeviceChange();
  }

  void PrintPath(std::ostream& out) { out << Path() << "\n"; }

  void Help(std::ostream& out) { out << Usage(); }

  CLI::App app_{"Controls the simulated CP210x bridge that this project's CP210xManufacturing libraries report.",
                "tornak-sim"};
  std::optional<std::string> stateFile_;
  Command command_ = nullptr;
  // Only one command is parsed, so its arguments can share these.
  std::optional<std::string> name_;
  BridgeEdit edit_;
  bool all_ = false;
  std::optional<std::string> operation_;
  std::optional<std::string> status_;
  bool clear_ = false;
  std::optional<LibraryGeneration> generation_;
  std::optional<UsbId> packageId_;
};

}  // namespace

int RunTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    Tool().Run(arguments, out);
    out.flush();
    return kExitOk;
  } catch (const CLI::ParseError& error) {  // a command line the tool cannot make sense of
    err << "tornak-sim: " << error.what() << "\n(tornak-sim --help lists the commands and options)\n";
    return kExitUsage;
  } catch (const MalformedState& error) {
    err << "tornak-sim: malformed state file " << error.what()
        << "\n(tornak-sim reset starts over with an empty state)\n";
    return kExitError;
  } catch (const std::exception& error) {
    err << "tornak-sim: " << error.what() << "\n";
    return kExitError;
  }
}

}  // namespace tornak::sim
