#include "sim/tool/command_line.hpp"

#include <CLI/CLI.hpp>

#include "sim/text_fields.hpp"

namespace tornak::sim {
namespace {

constexpr char kNotes[] = R"(
OPERATION is an entry point name such as CP210x_Open. STATUS is decimal or 0x hex.
The state file is --state FILE, else $TORNAK_SIM_STATE, else a per-user default.
Exit codes: 0 ok, 1 error, 2 usage error.
)";

// An option whose every occurrence, in command-line order, `read`s its text and hands the value
// to `take`. The text parsers of the state file do the reading, so that the tool takes exactly
// what the file holds; a text they refuse is a usage error saying what the option `takes`.
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

std::optional<std::optional<std::uint16_t>> PendingId(const std::string& text) {
  if (text == "none") return std::optional<std::optional<std::uint16_t>>(std::in_place);
  const auto id = ParseHex16(text);
  if (!id) return std::nullopt;
  return id;
}

std::optional<std::optional<std::uint8_t>> ReportedLength(const std::string& text) {
  if (text == "real") return std::optional<std::optional<std::uint8_t>>(std::in_place);
  const auto length = ParseDecimal(text);
  if (!length || *length > 255) return std::nullopt;
  return std::optional<std::uint8_t>(static_cast<std::uint8_t>(*length));
}

std::optional<std::uint32_t> Reenumeration(const std::string& text) {
  const auto milliseconds = ParseDecimal(text);
  if (!milliseconds || *milliseconds > kMaxReenumerationMs) return std::nullopt;
  return static_cast<std::uint32_t>(*milliseconds);
}

// Takes a value as a step that sets one field of the bridge.
template <typename Field>
auto SetsField(BridgeEdit& edit, Field Bridge::*field) {
  return [&edit, field](const Field& value) {
    edit.steps.push_back([field, value](Bridge& bridge) { bridge.*field = value; });
  };
}

void AddBridgeOptions(CLI::App& command, BridgeEdit& edit) {
  constexpr char kHex[] = "1 to 4 hex digits";
  constexpr char kBytes[] = "pairs of hex digits";
  AddOption(command, "--vid", "HEX", kHex, "USB vendor ID (default 10C4)", ParseHex16, SetsField(edit, &Bridge::vid));
  AddOption(command, "--pid", "HEX", kHex, "USB product ID (default EA60)", ParseHex16, SetsField(edit, &Bridge::pid));
  AddOption(command, "--pending-vid", "HEX|none", "1 to 4 hex digits or 'none'",
            "vendor ID written but not yet in effect (until a reset)", PendingId, SetsField(edit, &Bridge::pendingVid));
  AddOption(command, "--pending-pid", "HEX|none", "1 to 4 hex digits or 'none'",
            "product ID written but not yet in effect (until a reset)", PendingId, SetsField(edit, &Bridge::pendingPid));

  for (auto [name, field] : {std::pair("serial", &Bridge::serial), std::pair("product", &Bridge::product)}) {
    const std::string option = std::string("--") + name;
    AddOption(command, option, "TEXT", "text", std::string("the ") + name + " string the bridge reports", AnyText,
              SetsField(edit, field));
    AddOption(command, option + "-hex", "HEX", kBytes, "the same as raw bytes, e.g. 41FF00", BytesFromHex,
              SetsField(edit, field));
    AddOption(command, option + "-length", "N|real", "0 to 255 or 'real'", "length to report instead of the real one",
              ReportedLength,
              SetsField(edit, name == std::string_view("serial") ? &Bridge::serialLength : &Bridge::productLength));
  }

  for (ListString which : {ListString::Serial, ListString::Description, ListString::Path}) {
    const std::string option = "--" + std::string(ListStringName(which));
    const auto setsList = [&edit, i = Index(which)](const std::string& bytes) {
      edit.listGiven[i] = true;
      edit.steps.push_back([i, bytes](Bridge& bridge) { bridge.list[i] = bytes; });
    };
    AddOption(command, option, "TEXT", "text", "list string; attach makes it from the above by default", AnyText,
              setsList);
    AddOption(command, option + "-hex", "HEX", kBytes, "the same as raw bytes", BytesFromHex, setsList);
  }

  AddOption(command, "--reenumeration-ms", "MS", "0 to " + std::to_string(kMaxReenumerationMs),
            "how long the bridge is off the bus after a reset; neither generation counts it and its open handles "
            "fail meanwhile (default 0: back at once)",
            Reenumeration, SetsField(edit, &Bridge::reenumerationMs));
  AddOption(command, "--seen", "new|old|both", "new, old or both",
            "library generations that see the bridge (default new)", ParseVisibility, SetsField(edit, &Bridge::seenBy));
  for (bool unterminated : {true, false}) {
    AddOption(command, unterminated ? "--unterminated" : "--terminated", "WHICH",
              "list-serial, list-description or list-path",
              unterminated ? "hand out a list string with no NUL in its 257-byte buffer" : "end a list string again",
              ParseListString, [&edit, unterminated](ListString which) {
                edit.steps.push_back(
                    [which, unterminated](Bridge& bridge) { bridge.unterminated[Index(which)] = unterminated; });
              });
  }
}

const CLI::Validator kBridgeName(
    [](std::string& name) {
      return IsValidBridgeName(name) ? std::string()
                                     : "bad bridge name '" + name +
                                           "' (a letter or digit, then letters, digits, '_', '.' or '-'; at most 64)";
    },
    "");

const CLI::Validator kOperation(
    [](std::string& name) {
      if (IsEntryPointName(name)) return std::string();
      std::string known;
      for (std::string_view entry : EntryPointNames()) known += " " + std::string(entry);
      return "'" + name + "' is not a library operation; these are:" + known;
    },
    "");

// The tool's commands and options; each command, once its arguments are parsed, says what to do.
class Parser {
 public:
  Parser() {
    app_.footer(kNotes);
    app_.require_subcommand(1);
    // --state is taken after the command's name too.
    app_.fallthrough();
    AddOption(app_, "--state", "FILE", "a file name", "the state file", AnyText,
              [this](const std::string& file) { stateFile_ = file; })
        ->check(CLI::Validator([](std::string& file) { return file.empty() ? "needs a file name" : ""; }, ""));

    auto* attach = Command("attach", "attach a bridge; prints its name (default: first free bridgeN)", [this] {
      command_ = AttachCommand{name_, edit_};
    });
    AddName(*attach, "the new bridge's name");
    AddBridgeOptions(*attach, edit_);

    auto* set = Command("set", "change an attached bridge", [this] {
      if (edit_.steps.empty()) throw UsageError("set: nothing to change");
      command_ = SetCommand{*name_, edit_};
    });
    AddName(*set, "the bridge")->required();
    AddBridgeOptions(*set, edit_);

    auto* detach = Command("detach", "detach one bridge (NAME), or all of them (--all)", [this] {
      if (!all_ && !name_) throw UsageError("detach: give a bridge name or --all");
      command_ = DetachCommand{name_};
    });
    AddName(*detach, "the bridge")->excludes(detach->add_flag("--all", all_, "every bridge"));

    auto* fail = Command("fail", "make a library operation return STATUS until cleared; with --clear, clear injected failures",
                         [this] { command_ = FailOrClear(); });
    AddOption(*fail, "OPERATION", "", "an entry point", "the entry point; with --clear, all when left out", AnyText,
              [this](const std::string& operation) { operation_ = operation; })
        ->check(kOperation);
    AddOption(*fail, "STATUS", "", "a status", "the status it returns", AnyText,
              [this](const std::string& status) { status_ = status; })
        ->excludes(fail->add_flag("--clear", clear_, "clear instead"));
    AddOption(*fail, "--generation", "new|old", "new or old", "only this library generation (default both)",
              ParseGeneration, [this](Generation generation) { generation_ = generation; });

    Command("show", "bridges, pending IDs, time away, failures, open handles, counts", [this] { command_ = ShowCommand{}; });
    Command("reset", "back to the empty state", [this] { command_ = ResetCommand{}; });
    Command("path", "print the state file's path", [this] { command_ = PathCommand{}; });
    Command("help", "every command and option", [this] { command_ = HelpCommand{Usage()}; });
  }

  Invocation Parse(const std::vector<std::string>& arguments) {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
      app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      return {stateFile_, HelpCommand{app_.get_subcommands().empty() ? Usage() : app_.help()}};
    } catch (const CLI::ParseError& error) {
      // CLI11 says only that a command is missing when the first word is none.
      const std::vector<std::string> unused = app_.remaining();
      if (app_.get_subcommands().empty() && !unused.empty() && unused.front().rfind('-', 0) != 0)
        throw UsageError("unknown command '" + unused.front() + "'");
      throw UsageError(error.what());
    }
    return {stateFile_, command_};
  }

 private:
  CLI::App* Command(const std::string& name, const std::string& help, std::function<void()> chosen) {
    return app_.add_subcommand(name, help)->callback(std::move(chosen));
  }

  CLI::Option* AddName(CLI::App& command, const std::string& help) {
    return AddOption(command, "NAME", "", "a name", help, AnyText, [this](const std::string& name) { name_ = name; })
        ->check(kBridgeName);
  }

  std::string Usage() const { return app_.get_formatter()->make_help(&app_, "tornak-sim", CLI::AppFormatMode::All); }

  sim::Command FailOrClear() const {
    if (clear_) return ClearFailuresCommand{operation_, generation_};
    if (!operation_ || !status_) throw UsageError("fail: expected OPERATION STATUS");
    const auto status = ParseStatus(*status_);
    if (!status) throw UsageError("fail: STATUS must be decimal or 0x hex, not '" + *status_ + "'");
    if (*status == 0) throw UsageError("fail: status 0 is success; use fail --clear to stop a failure");
    return FailCommand{*operation_, *status, generation_};
  }

  CLI::App app_{"Controls the simulated CP210x bridge that this project's CP210xManufacturing libraries report.",
                "tornak-sim"};
  std::optional<std::string> stateFile_;
  sim::Command command_;
  // Only one command is parsed, so its arguments can share these.
  std::optional<std::string> name_;
  BridgeEdit edit_;
  bool all_ = false;
  std::optional<std::string> operation_;
  std::optional<std::string> status_;
  bool clear_ = false;
  std::optional<Generation> generation_;
};

}  // namespace

Invocation ParseCommandLine(const std::vector<std::string>& arguments) { return Parser().Parse(arguments); }

}  // namespace tornak::sim
