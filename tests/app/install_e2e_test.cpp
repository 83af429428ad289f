#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/paths.h"

namespace {

namespace fs = std::filesystem;

std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// The output and exit status of a shell command.
int RunShell(const std::string& command, std::string* output = nullptr) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    const int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "key=value" lines of a desktop entry's main group.
std::map<std::string, std::string> DesktopKeys(const std::string& text) {
    std::map<std::string, std::string> keys;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos || line.starts_with('#') || line.starts_with('[')) continue;
        keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/seed-install-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        prefix = name;
    }
    void TearDown() override { fs::remove_all(prefix); }
    std::string prefix;
};

TEST_F(InstallTest, InstallsProgramDataDesktopEntryAndIcon) {
    std::string log;
    ASSERT_EQ(RunShell("cmake --install '" + testing_support::BinaryPath("") + "' --prefix '" + prefix + "'",
                  &log),
              0)
        << log;

    const fs::path bin = fs::path(prefix) / "bin" / "seed-searcher";
    ASSERT_TRUE(fs::is_regular_file(bin)) << log;
    std::string version;
    EXPECT_EQ(RunShell("'" + bin.string() + "' --version", &version), 0);
    EXPECT_TRUE(version.starts_with("seed-searcher ")) << version;

    const fs::path data = fs::path(prefix) / "share" / "seed-searcher" / "res";
    EXPECT_EQ(testing_support::ReadFile((data / "skin.dll").string()),
              testing_support::ReadFile(testing_support::SourcePath("res/skin.dll")));
    EXPECT_EQ(testing_support::ReadFile((data / "0.jpg").string()),
              testing_support::ReadFile(testing_support::SourcePath("res/0.jpg")));

    const std::string entry = testing_support::ReadFile(
        (fs::path(prefix) / "share" / "applications" / "seed-searcher.desktop").string());
    ASSERT_TRUE(entry.starts_with("[Desktop Entry]\n")) << entry;
    auto keys = DesktopKeys(entry);
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], U8(u8"澜橙种子搜索器"));
    EXPECT_FALSE(keys["Comment"].empty());
    EXPECT_FALSE(keys["Comment[zh_CN]"].empty());
    EXPECT_EQ(keys["Exec"], "seed-searcher");
    EXPECT_EQ(keys["Icon"], "seed-searcher");
    EXPECT_TRUE(keys["Categories"].starts_with("Network;")) << keys["Categories"];

    const std::string icon = testing_support::ReadFile(
        (fs::path(prefix) / "share/icons/hicolor/256x256/apps/seed-searcher.png").string());
    ASSERT_GE(icon.size(), 24u);
    EXPECT_EQ(icon.substr(1, 3), "PNG");
    // The IHDR chunk's width and height, big-endian.
    const auto be32 = [&icon](std::size_t at) {
        return (static_cast<unsigned char>(icon[at]) << 24) |
               (static_cast<unsigned char>(icon[at + 1]) << 16) |
               (static_cast<unsigned char>(icon[at + 2]) << 8) |
               static_cast<unsigned char>(icon[at + 3]);
    };
    EXPECT_EQ(be32(16), 256);
    EXPECT_EQ(be32(20), 256);
}

}  // namespace
