#pragma once

#include <atomic>
#include <string>

#include "identity/driver_packages.hpp"

namespace tornak {

// Where Windows keeps the installed driver packages: the INF folder of the Windows folder all users
// share, with a trailing separator; empty when the system cannot tell.
std::wstring InstalledPackagesFolder();

// Reads every installed driver package in `folder` (its oem*.inf files; a trailing separator)
// through SetupAPI's INF reader, and says for each preset which packages name its hardware ID in
// the models that apply to this Windows, on its native platform (a 32-bit program on 64-bit
// Windows sees the 64-bit models, as Windows does). A folder that cannot be listed, and a package
// that cannot be read (damaged, of an unknown form, larger than the reader takes), leave
// unchecked every identity no package names; nothing read here shows a box or throws, bar memory
// running out. Returns early, every identity unchecked, once `stop` holds. Blocks while it reads:
// call it off the window's thread.
PackageSurvey ReadDriverPackages(const std::wstring& folder, const std::atomic<bool>* stop = nullptr);

}  // namespace tornak
