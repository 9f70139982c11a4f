#pragma once

#include <string>

namespace zumt {

// The short form of a directory path. Linux file systems have no 8.3 names,
// so this is the directory unchanged when it exists and is a directory, and
// the empty string otherwise.
std::string ShortDirectoryForm(const std::string& directory);

}  // namespace zumt
