#pragma once

#include <string>
#include <string_view>

namespace util {

// A file or folder of the user's, placed by the XDG base directory rules:
// `relative` under the folder the environment variable `variable` names
// when it holds an absolute path (relative values are invalid by those rules
// and ignored), else under `home_fallback` in $HOME; empty when neither can
// be formed. `UserPath("XDG_CONFIG_HOME", ".config", "seed-searcher/x")`.
std::string UserPath(const char* variable, std::string_view home_fallback, std::string_view relative);

}  // namespace util
