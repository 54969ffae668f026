#include "identity/rewrite.hpp"

#include "convert/convert.hpp"
#include "identity/bridge_access.hpp"

namespace tornak {

void ApplyIdentityPreset(const Text& PidText, BridgeState& state, const VendorLibraries& libraries) {
  Cp210x& library = libraries[state.NewDriverActive ? LibraryGeneration::New : LibraryGeneration::Old];

  if (!CountOneBridge(library, state)) return;

  if (!OpenBridge(library, state)) return;
  const CP210x_HANDLE handle = SlotHandle(state);

  CloseOnFault guard(library, handle);
  const std::int32_t pid = HexString2num(PidText);
  if (pid > 0) {
    // The vendor ID goes in even when the product ID write failed: the bridge then still ends
    // up under the chip vendor's ID.
    library.CP210x_SetPid(handle, static_cast<std::uint32_t>(pid));
    const std::int32_t vid = HexString2num(kVendorIdText);
    library.CP210x_SetVid(handle, static_cast<std::uint32_t>(vid));
  }
  library.CP210x_Reset(handle);
  guard.Release();
  library.CP210x_Close(handle);
}

}  // namespace tornak
