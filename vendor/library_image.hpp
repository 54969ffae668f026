#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tornak {

// Why a library file that exists still cannot be loaded, read from its header: not a library at
// all, a library for the other bitness or another processor, a program instead of a library, or
// a damaged file. Empty when the header looks like a library this program can load (the cause
// then lies elsewhere, for instance a library it depends on). programBits is 32 or 64.
std::string ExplainLibraryImage(std::span<const std::uint8_t> header, int programBits);

// A file's name as the system's own file functions take it (a std::filesystem::path converts
// to it). Not the path class itself: with its iostreams and locales that would be most of
// tornak.exe, statically linked.
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// The same for a file on disk; reads its first few kilobytes. Also finds a Windows library
// whose sections reach past the end of the file, cut off after an intact header.
std::string ExplainLibraryFile(const NativePath& path, int programBits);

}  // namespace tornak
