#include "util/user_paths.h"

#include <cstdlib>

namespace util {

std::string UserPath(const char* variable, std::string_view home_fallback, std::string_view relative) {
    const char* base = std::getenv(variable);
    if (base != nullptr && base[0] == '/') return std::string(base) + "/" + std::string(relative);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return {};
    return std::string(home) + "/" + std::string(home_fallback) + "/" + std::string(relative);
}

}  // namespace util
