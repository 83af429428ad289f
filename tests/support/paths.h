#pragma once

#include <string>

namespace testing_support {

// Absolute paths of the places tests read from, fixed at configure time.
std::string FixturePath(const std::string& name);  // tests/fixtures/<name>
std::string BinaryPath(const std::string& name);   // build/<name>
std::string SourcePath(const std::string& name);   // <source tree>/<name>

// The whole content of a file; an empty string when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testing_support
