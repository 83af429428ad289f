#pragma once

#include <string>

namespace util {

// The directory of the running executable, without a trailing slash; "."
// when it cannot be read. Modules and data the program ships are looked
// for there first.
std::string ExecutableDirectory();

}  // namespace util
