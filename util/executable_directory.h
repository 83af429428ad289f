#pragma once

#include <string>

namespace util {

// The directory of the running executable, without a trailing slash; "."
// when it cannot be read. Modules and data the program ships are looked
// for there first.
std::string ExecutableDirectory();

// Where one of the program's modules (libseed-*.so) is loaded from: beside
// the executable, else the installed private library folder.
std::string ModulePath(const std::string& file_name);

}  // namespace util
