#include "sim/tool/tool.hpp"

#include <set>

#include "sim/sim_status.hpp"
#include "convert/hex_digits.hpp"
#include "sim/state/state_file.hpp"
#include "sim/tool/driver_packages.hpp"

namespace tornak::sim {
namespace {

std::string PendingId(const std::optional<std::uint16_t>& id) { return id ? HexDigits(*id, 4) : std::string("-"); }

// Bytes in double quotes: printable ASCII as it is, '%', '"' and every other byte as %XX.
std::string Quoted(const std::string& bytes) {
  std::string quoted = "\"";
  for (char c : bytes)
    quoted += PrintableAscii(c) && c != '%' && c != '"' ? std::string(1, c)
                                                        : "%" + HexDigits(static_cast<unsigned char>(c), 2);
  return quoted + '"';
}

void ShowBridge(std::ostream& out, const Bridge& bridge, std::int64_t now) {
  out << "  " << bridge.name << ", seen by " << Name(bridge.seenBy)
      << (bridge.seenBy == Visibility::Both ? " generations" : " generation") << "\n";
  out << "    VID " << HexDigits(bridge.vid, 4) << "  PID " << HexDigits(bridge.pid, 4);
  if (bridge.pendingVid || bridge.pendingPid)
    out << "  (after reset: VID " << PendingId(bridge.pendingVid) << "  PID " << PendingId(bridge.pendingPid) << ")";
  out << "\n";
  auto field = [&](const char* label, const std::string& bytes, std::optional<std::uint8_t> reported,
                   bool unterminated = false) {
    out << "    " << label << Quoted(bytes) << "  (" << bytes.size() << " bytes)";
    if (reported) out << ", reports length " << int{*reported};
    out << (unterminated ? ", unterminated\n" : "\n");
  };
  field("serial            ", bridge.serial, bridge.serialLength);
  field("product           ", bridge.product, bridge.productLength);
  const char* labels[kListStringCount] = {"list serial       ", "list description  ", "list path         "};
  for (std::size_t i = 0; i < kListStringCount; ++i) field(labels[i], bridge.list[i], {}, bridge.unterminated[i]);
  out << "    re-enumeration    ";
  if (bridge.reenumerationMs == 0) out << "none: back at once after a reset";
  else out << "away for " << bridge.reenumerationMs << " ms after a reset";
  if (bridge.awayUntil > now) out << "; away now, back in " << bridge.awayUntil - now << " ms";
  out << "\n";
}

}  // namespace

void ShowState(std::ostream& out, const std::string& path, bool fileExists, const State& state, std::int64_t now) {
  out << "State file: " << path << (fileExists ? "" : " (none yet)") << "\n";

  out << "Bridges:\n";
  if (state.bridges.empty()) out << "  none attached\n";
  for (const Bridge& bridge : state.bridges) ShowBridge(out, bridge, now);

  out << "Failures:\n";
  if (state.failures.empty()) out << "  none\n";
  for (const Failure& failure : state.failures) {
    out << "  " << failure.operation << " returns " << StatusText(failure.status);
    if (const char* name = StatusName(failure.status)) out << " (" << name << ")";
    out << (failure.generation ? " in the " + std::string(Name(*failure.generation)) + " generation"
                               : std::string(" in both generations"))
        << "\n";
  }

  out << "Open handles:\n";
  if (state.handles.empty()) out << "  none\n";
  for (const OpenHandle& handle : state.handles)
    out << "  " << HexDigits(handle.value) << "  " << Name(handle.generation) << "  "
        << (handle.bridge.empty() ? std::string("(its bridge went away)") : handle.bridge) << "\n";

  out << "Opens:  new " << state.opens[0] << ", old " << state.opens[1] << "\n";
  out << "Closes: new " << state.closes[0] << ", old " << state.closes[1] << "\n";
  ShowDriverPackages(out, state);
}

void ShowDriverPackages(std::ostream& out, const State& state) {
  out << "Driver packages (one for every VID and PID but those marked none):\n";
  const std::vector<UsbId> presets = PresetIds();
  std::set<UsbId> ids(presets.begin(), presets.end());
  ids.insert(state.withoutDriverPackage.begin(), state.withoutDriverPackage.end());
  for (const Bridge& bridge : state.bridges) ids.insert(bridge.Id());
  for (const UsbId& id : ids) {
    const bool installed = state.HasDriverPackage(id);
    out << "  " << UsbIdText(id) << (installed ? "  installed" : "  none");
    std::string bridges;
    int count = 0;
    for (const Bridge& bridge : state.bridges)
      if (bridge.Id() == id) bridges += (count++ == 0 ? "" : ", ") + bridge.name;
    if (count > 0) out << (installed ? ", for " : ": no driver for ") << bridges;
    if (count > 0 && !installed) out << "; neither generation sees " << (count == 1 ? "it" : "them");
    out << "\n";
  }
}

}  // namespace tornak::sim
