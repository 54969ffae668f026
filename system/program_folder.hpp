#pragma once

#include <filesystem>

namespace tornak {

// The folder of the running program, with a trailing separator, as the platform's own file
// functions take it (UTF-16 on Windows); empty when the system cannot tell. The loader looks for
// the vendor library there first, and the tests find the programs built beside them.
std::filesystem::path::string_type ProgramFolder();

}  // namespace tornak
