#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cp210x/library_image.hpp"
#include "cp210x/shared_library.hpp"
#include "system/handles_posix.hpp"
#include "system/program_folder.hpp"

namespace tornak::platform {
namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

const bool kElfLibraries = true;

std::string LibraryFile(const std::string& stem) { return "lib" + stem + ".so"; }

LoadOutcome OpenLibrary(const std::string& fileName) {
  // Like Windows, look in the program's own folder first; a bare name given to dlopen then
  // goes through the dynamic linker's search, which does not include the current directory.
  std::string local = ProgramFolder() + fileName;
  const bool inProgramFolder = fileName.find('/') == std::string::npos && IsFile(local);
  const std::string& target = inProgramFolder ? local : fileName;
  dlerror();
  if (void* module = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL)) return {UniqueLibrary(module), {}, {}};
  const char* reason = dlerror();
  std::string detail = reason != nullptr ? reason : "unknown reason";
  // dlopen reports a file it could not find and one it could not load through the same call;
  // only its text tells them apart.
  if (!inProgramFolder && detail.find("No such file") != std::string::npos)
    return {{}, FaultKind::LibraryNotFound, {}};
  if (inProgramFolder || fileName.find('/') != std::string::npos) {
    std::string reason = ExplainLibraryFile(target, 8 * static_cast<int>(sizeof(void*)));
    if (!reason.empty()) detail = reason;
  }
  return {{}, FaultKind::LibraryNotLoadable, detail};
}

SharedLibrary::EntryAddress FindEntryPoint(void* module, const char* name) {
  return reinterpret_cast<SharedLibrary::EntryAddress>(dlsym(module, name));
}

void CloseLibrary(void* module) noexcept { dlclose(module); }

}  // namespace tornak::platform

namespace tornak {

std::string ExplainLibraryFile(const NativePath& path, int programBits) {
  const UniqueDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return std::string(kUnreadableLibrary);
  std::vector<std::uint8_t> header(kLibraryHeaderBytes);
  std::size_t filled = 0;
  while (filled < header.size()) {
    const ssize_t count = ::read(file.Get(), header.data() + filled, header.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    filled += static_cast<std::size_t>(count);
  }
  header.resize(filled);
  struct stat info {};
  std::optional<std::uintmax_t> fileSize;
  if (::fstat(file.Get(), &info) == 0 && info.st_size >= 0) fileSize = static_cast<std::uintmax_t>(info.st_size);
  return ExplainLibraryImage(header, fileSize, programBits);
}

}  // namespace tornak
