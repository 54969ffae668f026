#include "system/program_folder.hpp"

#include <unistd.h>

#include <climits>

namespace tornak {

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string text(path, static_cast<std::size_t>(length));
  return text.substr(0, text.find_last_of('/') + 1);
}

}  // namespace tornak
