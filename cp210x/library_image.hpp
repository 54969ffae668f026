#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tornak {

// Why a library file that exists still cannot be loaded, read from its header: not a library at
// all, a library for the other bitness or another processor, a program instead of a library, or
// a damaged file. Empty when the header looks like a library this program can load (the cause
// then lies elsewhere, for instance a library it depends on). programBits is 32 or 64.
std::string ExplainLibraryImage(std::span<const std::uint8_t> header, int programBits);

// The same for the first bytes of a file (at most kLibraryHeaderBytes) when the whole file has
// fileSize bytes: also finds a Windows library whose sections reach past the end of the file,
// cut off after an intact header. Without the size, only the header counts.
std::string ExplainLibraryImage(std::span<const std::uint8_t> header, std::optional<std::uintmax_t> fileSize,
                                int programBits);

inline constexpr std::size_t kLibraryHeaderBytes = 4096;
inline constexpr std::string_view kUnreadableLibrary = "the file cannot be read";

// A file's name as the system's own file functions take it (a std::filesystem::path converts
// to it). Not the path class itself: with its iostreams and locales that would be most of
// tornak.exe, statically linked.
using NativePath = std::filesystem::path::string_type;

// The same for a file on disk, reading its first kLibraryHeaderBytes. The loader's platform
// halves read the file (library_win.cpp, library_posix.cpp).
std::string ExplainLibraryFile(const NativePath& path, int programBits);

}  // namespace tornak
