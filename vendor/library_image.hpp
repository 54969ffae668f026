#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace tornak {

// Why a library file that exists still cannot be loaded, read from its header: not a library at
// all, a library for the other bitness or another processor, a program instead of a library, or
// a damaged file. Empty when the header looks like a library this program can load (the cause
// then lies elsewhere, for instance a library it depends on). programBits is 32 or 64.
std::string ExplainLibraryImage(std::span<const std::uint8_t> header, int programBits);

// The same for a file on disk; reads its first few kilobytes. Also finds a Windows library
// whose sections reach past the end of the file, cut off after an intact header.
std::string ExplainLibraryFile(const std::filesystem::path& path, int programBits);

}  // namespace tornak
