#include "sim/tool/show.hpp"

#include "sim/sim_status.hpp"
#include "sim/text_fields.hpp"

namespace tornak::sim {
namespace {

std::string PendingId(const std::optional<std::uint16_t>& id) { return id ? Hex16(*id) : std::string("-"); }

void ShowBridge(std::ostream& out, const Bridge& bridge, std::int64_t now) {
  out << "  " << bridge.name << ", seen by " << VisibilityName(bridge.seenBy)
      << (bridge.seenBy == Visibility::Both ? " generations" : " generation") << "\n";
  out << "    VID " << Hex16(bridge.vid) << "  PID " << Hex16(bridge.pid);
  if (bridge.pendingVid || bridge.pendingPid)
    out << "  (after reset: VID " << PendingId(bridge.pendingVid) << "  PID " << PendingId(bridge.pendingPid) << ")";
  out << "\n";
  auto field = [&](const char* label, const std::string& bytes) {
    out << "    " << label << QuoteBytes(bytes) << "  (" << bytes.size() << " bytes)";
  };
  field("serial            ", bridge.serial);
  if (bridge.serialLength) out << ", reports length " << int{*bridge.serialLength};
  out << "\n";
  field("product           ", bridge.product);
  if (bridge.productLength) out << ", reports length " << int{*bridge.productLength};
  out << "\n";
  const char* labels[kListStringCount] = {"list serial       ", "list description  ", "list path         "};
  for (std::size_t i = 0; i < kListStringCount; ++i) {
    field(labels[i], bridge.list[i]);
    if (bridge.unterminated[i]) out << ", unterminated";
    out << "\n";
  }
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
    out << (failure.generation ? " in the " + std::string(GenerationName(*failure.generation)) + " generation"
                               : std::string(" in both generations"))
        << "\n";
  }

  out << "Open handles:\n";
  if (state.handles.empty()) out << "  none\n";
  for (const OpenHandle& handle : state.handles)
    out << "  " << Hex64(handle.value) << "  " << GenerationName(handle.generation) << "  "
        << (handle.bridge.empty() ? std::string("(bridge detached)") : handle.bridge) << "\n";

  auto counts = [&](const char* label, const std::array<std::uint64_t, kGenerationCount>& count) {
    out << label << "new " << count[Index(Generation::New)] << ", old " << count[Index(Generation::Old)] << "\n";
  };
  counts("Opens:  ", state.opens);
  counts("Closes: ", state.closes);
}

}  // namespace tornak::sim
