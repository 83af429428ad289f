#include "app/skin_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/skin_package.h"
#include "tests/support/paths.h"

namespace {

std::string Utf8(const char8_t* text) {
    return std::string(reinterpret_cast<const char*>(text));
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the command in this process with stdout and stderr sent to files.
class Redirect {
public:
    Redirect(int fd, const std::string& path) : m_fd(fd) {
        std::fflush(nullptr);
        m_saved = ::dup(fd);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ::dup2(::fileno(file), fd);
        std::fclose(file);
    }
    ~Redirect() {
        std::fflush(nullptr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
    }

private:
    int m_fd;
    int m_saved;
};

class SkinCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("skin_command_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        m_cwd = std::filesystem::current_path();
    }
    void TearDown() override {
        std::filesystem::current_path(m_cwd);
        std::filesystem::remove_all(m_dir);
    }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    Outcome Run(std::initializer_list<std::string> args) {
        std::vector<std::string> storage = {"skin"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : storage) argv.push_back(arg.data());
        argv.push_back(nullptr);
        Outcome outcome;
        {
            Redirect out(STDOUT_FILENO, Path("stdout.txt"));
            Redirect err(STDERR_FILENO, Path("stderr.txt"));
            outcome.status = app::RunSkinCommand(static_cast<int>(storage.size()), argv.data());
        }
        outcome.out = testing_support::ReadFile(Path("stdout.txt"));
        outcome.err = testing_support::ReadFile(Path("stderr.txt"));
        return outcome;
    }

    void ExpectUsageError(std::initializer_list<std::string> args) {
        Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_NE(outcome.err.find("Usage:"), std::string::npos);
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_cwd;
};

const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + "rest of a png";
const std::string kJpeg = "\xFF\xD8\xFF\xE0jfif";

TEST_F(SkinCommandTest, VerifyListsResourcesWithUtf8Message) {
    std::string package = Path("skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, {"abc", "", std::string(1000, 'x')}));
    Outcome outcome = Run({"verify", package});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, Utf8(u8"解包成功\n") + "resources: 3\n1\t3\n2\t0\n3\t1000\n");
    EXPECT_EQ(outcome.err, "");
}

TEST_F(SkinCommandTest, VerifyReportsEachFailureWithStatusOne) {
    Outcome missing = Run({"verify", Path("missing.dll")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, Utf8(u8"格式不规范\n"));

    Outcome header = Run({"verify", Write("bad.dll", "no header here!")});
    EXPECT_EQ(header.status, 1);
    EXPECT_EQ(header.out, Utf8(u8"校验头部未成功\n"));

    std::string package = Path("skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, {"image"}));
    std::string bytes = testing_support::ReadFile(package);
    bytes[bytes.size() - 8] ^= 1;  // last byte of the resource
    Outcome checksum = Run({"verify", Write("tampered.dll", bytes)});
    EXPECT_EQ(checksum.status, 1);
    EXPECT_EQ(checksum.out, Utf8(u8"校验数据失败\n"));
}

TEST_F(SkinCommandTest, PackWritesFilesInOrder) {
    std::string a = Write("a.png", kPng), b = Write("b.bin", std::string("\0\1\2", 3));
    Outcome outcome = Run({"pack", Path("out.dll"), b, a, b});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    app::SkinPackage table;
    std::string message;
    ASSERT_TRUE(app::LoadSkinPackage(Path("out.dll"), table, message));
    EXPECT_EQ(table.resources,
              (std::vector<std::string>{std::string("\0\1\2", 3), kPng, std::string("\0\1\2", 3)}));

    EXPECT_EQ(Run({"pack", Path("empty.dll")}).status, 0);
    ASSERT_TRUE(app::LoadSkinPackage(Path("empty.dll"), table, message));
    EXPECT_TRUE(table.resources.empty());
}

TEST_F(SkinCommandTest, PackFailsOnUnreadableInputWithoutWritingOutput) {
    Outcome outcome = Run({"pack", Path("out.dll"), Write("a", "x"), Path("missing")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err, "");
    EXPECT_FALSE(std::filesystem::exists(Path("out.dll")));
    EXPECT_EQ(Run({"pack", Path("out.dll"), m_dir.string()}).status, 1);
    EXPECT_EQ(Run({"pack", Path("no/dir/out.dll"), Write("a", "x")}).status, 1);
}

TEST_F(SkinCommandTest, UnpackNamesFilesAfterTheirContent) {
    const std::vector<std::string> resources = {
        kPng, kJpeg, "GIF89a...", "BM....", std::string("\0\0\1\0\1\0", 6), "plain", ""};
    std::string package = Path("skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, resources));
    std::string dir = Path("out/nested");
    Outcome outcome = Run({"unpack", package, dir});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out.substr(0, outcome.out.find('\n')), Utf8(u8"解包成功"));
    const char* names[] = {"1.png", "2.jpg", "3.gif", "4.bmp", "5.ico", "6.bin", "7.bin"};
    for (std::size_t i = 0; i < resources.size(); ++i) {
        std::string path = dir + "/" + names[i];
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_EQ(testing_support::ReadFile(path), resources[i]) << path;
    }
}

TEST_F(SkinCommandTest, UnpackReplacesLinksInsteadOfWritingThroughThem) {
    std::string package = Path("skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, {kPng, "data"}));
    const std::string victim = Write("victim", "precious");
    std::filesystem::create_directories(Path("out"));
    std::filesystem::create_symlink("../victim", Path("out/1.png"));
    std::filesystem::create_symlink("/nonexistent/dangling", Path("out/2.bin"));

    Outcome outcome = Run({"unpack", package, Path("out")});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(testing_support::ReadFile(victim), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(Path("out/1.png")));
    EXPECT_EQ(testing_support::ReadFile(Path("out/1.png")), kPng);
    EXPECT_EQ(testing_support::ReadFile(Path("out/2.bin")), "data");
    // Unpacking again over the files of the first run works.
    EXPECT_EQ(Run({"unpack", package, Path("out")}).status, 0);
}

TEST_F(SkinCommandTest, UnpackReportsSuccessOnlyAfterEveryFileIsWritten) {
    std::string package = Path("skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, {kPng, "data"}));
    std::filesystem::create_directories(Path("out/2.bin"));  // a directory where a file must go
    Outcome outcome = Run({"unpack", package, Path("out")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out.find(Utf8(u8"解包成功")), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.err.find("2.bin"), std::string::npos) << outcome.err;
    // No temporary file is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(Path("out"))) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
            << entry.path();
    }
}

TEST_F(SkinCommandTest, VerifyOfAnUnreadableFileGivesTheSystemsReason) {
    Outcome missing = Run({"verify", Path("missing.dll")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, Utf8(u8"格式不规范\n"));
    EXPECT_NE(missing.err.find("missing.dll: No such file or directory"), std::string::npos)
        << missing.err;
    Outcome directory = Run({"verify", m_dir.string()});
    EXPECT_NE(directory.err.find("not a regular file"), std::string::npos) << directory.err;
}

TEST_F(SkinCommandTest, PackRefusesAPackageTooLargeForTheLoader) {
    const std::string big = Write("big.bin", std::string(app::kMaxSkinPackageBytes - 40, 'b'));
    Outcome outcome = Run({"pack", Path("out.dll"), big});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("at most"), std::string::npos) << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.dll")));
}

TEST_F(SkinCommandTest, UnpackOfABadPackageWritesNothing) {
    Outcome outcome = Run({"unpack", Write("bad.dll", "short"), Path("out")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, Utf8(u8"格式不规范\n"));
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

TEST_F(SkinCommandTest, ShippedPackageUnpacksIntoEightPngs) {
    Outcome outcome =
        Run({"unpack", testing_support::SourcePath("res/skin.dll"), Path("shipped")});
    ASSERT_EQ(outcome.status, 0);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_TRUE(std::filesystem::exists(Path("shipped/" + std::to_string(n) + ".png"))) << n;
    }
}

TEST_F(SkinCommandTest, HelpIsAvailableEverywhere) {
    for (auto args : {std::initializer_list<std::string>{"--help"}, {"verify", "--help"},
                      {"pack", "-h"}, {"unpack", "x", "--help"}}) {
        Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out.rfind("Usage: seed-searcher skin", 0), 0u) << outcome.out;
        EXPECT_EQ(outcome.err, "");
    }
}

TEST_F(SkinCommandTest, UsageErrorsGoToStderrWithStatusTwo) {
    ExpectUsageError({});
    ExpectUsageError({"explode"});
    ExpectUsageError({"verify"});
    ExpectUsageError({"verify", "a", "b"});
    ExpectUsageError({"verify", "--strict", "a"});
    ExpectUsageError({"pack"});
    ExpectUsageError({"unpack", "a"});
    ExpectUsageError({"unpack", "a", "b", "c"});
}

TEST_F(SkinCommandTest, DoubleDashAllowsNamesStartingWithADash) {
    std::string package = Path("-skin.dll");
    ASSERT_TRUE(app::WriteSkinPackage(package, {"x"}));
    std::filesystem::current_path(m_dir);
    EXPECT_EQ(Run({"verify", "--", "-skin.dll"}).status, 0);
    EXPECT_EQ(Run({"verify", "--", "--help"}).status, 1);
}

// The program itself dispatches "skin" and finds the package copied beside
// it by the build.
TEST(SkinCommandProgram, VerifiesThePackageShippedBesideTheExecutable) {
    std::string command;
    command.append("'").append(testing_support::BinaryPath("seed-searcher"));
    command.append("' skin verify '").append(testing_support::BinaryPath("res/skin.dll"));
    command.append("' 2>&1");
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_EQ(output.rfind(Utf8(u8"解包成功\n") + "resources: 8\n1\t", 0), 0u) << output;
}

}  // namespace
