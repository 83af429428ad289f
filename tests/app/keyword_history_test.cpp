#include "app/keyword_history.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/paths.h"

namespace {

using app::KeywordHistory;

std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

class KeywordHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/seed-history-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory = name;
        path = directory + "/state/seed-searcher/history";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string directory;
    std::string path;
};

TEST_F(KeywordHistoryTest, KeepsTheLastFiftyDistinctKeywordsAcrossRuns) {
    {
        KeywordHistory first_run(path);
        first_run.Load();
        for (int n = 1; n <= 55; ++n) first_run.Remember("word" + std::to_string(n));
        first_run.Remember("电影");
        first_run.Remember("word40");  // moves to the front instead of repeating
        first_run.Remember("");
        first_run.Remember("  ");
        EXPECT_TRUE(first_run.Problem().empty()) << first_run.Problem();
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string file = testing_support::ReadFile(path);
    EXPECT_TRUE(file.starts_with("word40\n" + U8(u8"电影") + "\nword55\n")) << file;

    KeywordHistory second_run(path);
    second_run.Load();
    const std::vector<std::string>& kept = second_run.Keywords();
    ASSERT_EQ(kept.size(), app::kHistoryCapacity);
    EXPECT_EQ(kept[0], "word40");
    EXPECT_EQ(kept[1], "电影");
    EXPECT_EQ(kept[2], "word55");
    EXPECT_EQ(kept.back(), "word7");
    EXPECT_EQ(std::count(kept.begin(), kept.end(), "word40"), 1);
}

TEST_F(KeywordHistoryTest, MatchesByPrefixFoldingOnlyAsciiLetters) {
    KeywordHistory history(path);
    // 0x81 0x41 is one character whose second byte reads as "A".
    for (const char* keyword : {"Ubuntu 24", "debian", "ubuntu 22", "电影", "电视", "\x81\x41"}) {
        history.Remember(keyword);
    }
    EXPECT_EQ(history.Matching("ubu", 10), (std::vector<std::string>{"ubuntu 22", "Ubuntu 24"}));
    EXPECT_EQ(history.Matching("UBU", 1), (std::vector<std::string>{"ubuntu 22"}));
    EXPECT_EQ(history.Matching("电", 10), (std::vector<std::string>{"电视", "电影"}));
    EXPECT_TRUE(history.Matching("\x81\x61", 10).empty());
    EXPECT_EQ(history.Matching("", 3).size(), 3u);
    EXPECT_TRUE(history.Matching("Ubuntu 24 LTS", 10).empty());
}

TEST_F(KeywordHistoryTest, ClearingEmptiesTheFileToo) {
    KeywordHistory history(path);
    history.Remember("one");
    history.Clear();
    EXPECT_TRUE(history.Keywords().empty());
    KeywordHistory next_run(path);
    next_run.Load();
    EXPECT_TRUE(next_run.Keywords().empty());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(KeywordHistoryTest, ACorruptFileIsReadLineByLine) {
    // Binary junk, invalid UTF-8, a 5000-byte line, C1 and C0 controls, an
    // emoji GBK lacks, a CRLF line, a repeat and a last line without LF.
    KeywordHistory history(testing_support::FixturePath("history/corrupt"));
    history.Load();
    EXPECT_EQ(history.Keywords(), (std::vector<std::string>{"ubuntu", "电影", "Debian 12"}));
    EXPECT_TRUE(history.Problem().empty()) << history.Problem();
}

TEST_F(KeywordHistoryTest, AnUnwritableLocationWarnsOnceAndKeepsTheListInMemory) {
    std::ofstream(directory + "/file") << "not a folder";
    KeywordHistory history(directory + "/file/seed-searcher/history");
    testing::internal::CaptureStderr();
    history.Load();
    history.Remember("one");
    history.Remember("two");
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
    EXPECT_NE(history.Problem().find("Not a directory"), std::string::npos) << history.Problem();
    EXPECT_EQ(history.Keywords(), (std::vector<std::string>{"two", "one"}));
}

}  // namespace
