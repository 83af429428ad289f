#include "tests/support/paths.h"

#include <fstream>
#include <sstream>

namespace testing_support {

std::string FixturePath(const std::string& name) {
    return std::string(SEED_FIXTURES_DIR) + "/" + name;
}

std::string BinaryPath(const std::string& name) {
    return std::string(SEED_BINARY_DIR) + "/" + name;
}

std::string SourcePath(const std::string& name) {
    return std::string(SEED_SOURCE_DIR) + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace testing_support
