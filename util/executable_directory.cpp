#include "util/executable_directory.h"

#include <unistd.h>

#include <climits>

namespace util {

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string text(path, static_cast<std::size_t>(length));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}

std::string ModulePath(const std::string& file_name) {
    std::string beside = ExecutableDirectory() + "/" + file_name;
#ifdef SEED_INSTALL_MODULE_DIR
    if (access(beside.c_str(), F_OK) != 0) return std::string(SEED_INSTALL_MODULE_DIR "/") + file_name;
#endif
    return beside;
}

}  // namespace util
