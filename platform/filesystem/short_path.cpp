#include "platform/filesystem/short_path.h"

#include <sys/stat.h>

namespace zumt {

std::string ShortDirectoryForm(const std::string& directory) {
  struct stat st {};
  if (directory.empty() || ::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  return directory;
}

}  // namespace zumt
