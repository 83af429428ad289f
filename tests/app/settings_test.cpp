#include "app/settings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using app::NormaliseSiteAddress;
using app::ParseRootOption;
using app::ParseSettingsText;
using app::PartialSettings;
using app::RootOption;

std::vector<std::string> Parse(std::string_view text, PartialSettings& settings) {
    std::vector<std::string> problems;
    ParseSettingsText(text, "sites.conf", settings, problems);
    return problems;
}

TEST(SiteAddressTest, AcceptsHttpAndHttpsAndDropsTrailingSlashes) {
    EXPECT_EQ(NormaliseSiteAddress("http://example.test"), "http://example.test");
    EXPECT_EQ(NormaliseSiteAddress("HTTPS://Example.test:8443//"), "HTTPS://Example.test:8443");
    EXPECT_EQ(NormaliseSiteAddress("http://127.0.0.1:80/prefix/"), "http://127.0.0.1:80/prefix");
}

TEST(SiteAddressTest, RejectsWhatCannotBeASiteRoot) {
    for (const char* bad : {"", "example.test", "ftp://example.test", "http://", "http:///x",
                            "http://exa mple.test", "http://a\tb", "http://a\x7f", "https://:80"}) {
        EXPECT_FALSE(NormaliseSiteAddress(bad).has_value()) << bad;
    }
}

TEST(SettingsFileTest, ReadsKeysCommentsAndBlankLines) {
    PartialSettings settings;
    const auto problems = Parse(
        "# my sites\n"
        "\n"
        "engine1 = http://one.test/\n"
        "  engine3=https://three.test   # the third\n"
        "player2 =http://play.test\r\n"
        "site = http://home.test\n",
        settings);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(settings.engine_roots[0], "http://one.test");
    EXPECT_FALSE(settings.engine_roots[1].has_value());
    EXPECT_EQ(settings.engine_roots[2], "https://three.test");
    EXPECT_FALSE(settings.player_roots[0].has_value());
    EXPECT_EQ(settings.player_roots[1], "http://play.test");
    EXPECT_EQ(settings.site, "http://home.test");
    EXPECT_FALSE(settings.Complete());
}

TEST(SettingsFileTest, BadLinesAreReportedWithTheirNumberAndSkipped) {
    PartialSettings settings;
    const auto problems = Parse(
        "engine1 = http://one.test\n"
        "engine4 = http://four.test\n"
        "just some words\n"
        "player1 = not-an-address\n"
        "Engine2 = http://two.test\n"
        "engine2 = http://two.test\n",
        settings);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].rfind("sites.conf:2: unknown key \"engine4\"", 0), 0u) << problems[0];
    EXPECT_EQ(problems[1].rfind("sites.conf:3: ", 0), 0u) << problems[1];
    EXPECT_EQ(problems[2].rfind("sites.conf:4: ", 0), 0u) << problems[2];
    EXPECT_EQ(problems[3].rfind("sites.conf:5: unknown key", 0), 0u) << problems[3];
    EXPECT_EQ(settings.engine_roots[0], "http://one.test");
    EXPECT_EQ(settings.engine_roots[1], "http://two.test");
    EXPECT_FALSE(settings.player_roots[0].has_value());
}

TEST(SettingsFileTest, HistoryTakesOnOrOff) {
    PartialSettings settings;
    const auto problems = Parse("history = off\nhistory = maybe\n", settings);
    EXPECT_EQ(settings.history, false);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "sites.conf:2: \"history\" takes on or off");
}

// Engines defined in files are named by their file name: their roots and
// the tabs that show them; engine1..engine3 keep their numbered entries.
TEST(SettingsFileTest, EnginesByFileNameForRootsAndTabs) {
    PartialSettings settings;
    const auto problems = Parse("engine.films = http://films.test/\ntab2 = films\n"
                                "tab3 = not a name\nengine.x = ftp://x\n",
                                settings);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "sites.conf:3: \"tab3\" needs an engine's file name");
    EXPECT_EQ(problems[1], "sites.conf:4: \"engine.x\" needs an http:// or https:// address");
    const app::SiteSettings sites = settings.With({});
    EXPECT_EQ(app::EngineRoot("films", "http://own.test", sites), "http://films.test");
    EXPECT_EQ(app::EngineRoot("other", "http://own.test", sites), "http://own.test");
    EXPECT_EQ(sites.tabs[1], "films");

    std::size_t used = 0;
    std::string error;
    const std::vector<std::string_view> args{"--engine-root", "engine2=http://two.test"};
    ASSERT_EQ(ParseRootOption(args, 0, settings, used, error), RootOption::Consumed);
    EXPECT_EQ(settings.engine_roots[1], "http://two.test");
    EXPECT_EQ(app::EngineRoot("engine2", "http://own.test", settings.With({})), "http://two.test");
}

TEST(SettingsFileTest, LaterLineWinsAndJunkIsBounded) {
    PartialSettings settings;
    std::string text = "site = http://first.test\nsite = http://second.test\n";
    for (int i = 0; i < 1000; ++i) text += std::string(5000, '\x01') + "\n";
    text += std::string("\0\xff=\xfe", 4);
    const auto problems = Parse(text, settings);
    EXPECT_EQ(settings.site, "http://second.test");
    // A damaged file is reported, but not a thousand times over.
    EXPECT_LE(problems.size(), 21u);
    EXPECT_EQ(problems.back(), "further problems not shown");
}

TEST(SettingsFileTest, MissingFileIsSilentAndDirectoryIsReported) {
    PartialSettings settings;
    std::vector<std::string> problems;
    app::ReadSettingsFile("/nonexistent/seed-searcher/sites.conf", settings, problems);
    EXPECT_TRUE(problems.empty());
    app::ReadSettingsFile(std::filesystem::temp_directory_path().string(), settings, problems);
    EXPECT_EQ(problems.size(), 1u);
}

TEST(SettingsFileTest, FifoIsReportedWithoutBlocking) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("settings_fifo_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "sites.conf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PartialSettings settings;
    std::vector<std::string> problems;
    std::atomic<bool> done{false};
    std::thread reading([&] {
        app::ReadSettingsFile(fifo, settings, problems);
        done = true;
    });
    for (int waited_ms = 0; !done && waited_ms < 5000; waited_ms += 10) ::usleep(10'000);
    const bool finished = done;
    if (!finished) {
        // Release the blocked reader so that the test can end.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    reading.join();
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(finished) << "reading a FIFO blocked";
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("not a regular file"), std::string::npos) << problems[0];
}

TEST(SettingsFileTest, OversizedFileIsReportedAndIgnored) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("sites_big_" + std::to_string(::getpid()));
    {
        std::ofstream file(path, std::ios::binary);
        file << "engine1 = http://first.test\n" << std::string(2 << 20, '#');
    }
    PartialSettings settings;
    std::vector<std::string> problems;
    app::ReadSettingsFile(path.string(), settings, problems);
    std::filesystem::remove(path);
    EXPECT_FALSE(settings.engine_roots[0].has_value());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("larger than"), std::string::npos) << problems[0];
}

TEST(SettingsFileTest, PathFollowsXdgConfigHome) {
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(app::SettingsFilePath(), "/tmp/cfg/seed-searcher/sites.conf");
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // not allowed: use the home
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(app::SettingsFilePath(), "/home/someone/.config/seed-searcher/sites.conf");
    if (old_xdg) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

RootOption ParseArgs(std::vector<std::string_view> args, PartialSettings& settings,
                     std::size_t& used, std::string& error) {
    return ParseRootOption(args, 0, settings, used, error);
}

TEST(RootOptionTest, BothSpellingsSetTheNamedEntry) {
    PartialSettings settings;
    std::size_t used = 0;
    std::string error;
    EXPECT_EQ(ParseArgs({"--engine-root", "2=http://two.test/"}, settings, used, error),
              RootOption::Consumed);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(ParseArgs({"--player-root=1=http://p.test"}, settings, used, error),
              RootOption::Consumed);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(ParseArgs({"--site", "https://home.test"}, settings, used, error),
              RootOption::Consumed);
    EXPECT_EQ(settings.engine_roots[1], "http://two.test");
    EXPECT_EQ(settings.player_roots[0], "http://p.test");
    EXPECT_EQ(settings.site, "https://home.test");
}

TEST(RootOptionTest, BadValuesAreUsageErrors) {
    PartialSettings settings;
    std::size_t used = 0;
    std::string error;
    for (std::vector<std::string_view> args :
         {std::vector<std::string_view>{"--engine-root", "4=http://x.test"},
          {"--engine-root", "0=http://x.test"},
          {"--engine-root", "http://x.test"},
          {"--player-root", "3=http://x.test"},
          {"--site", "x.test"},
          {"--site"},
          {"--engine-root=1=ftp://x"}}) {
        error.clear();
        EXPECT_EQ(ParseArgs(args, settings, used, error), RootOption::Invalid) << args[0];
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ParseArgs({"--json"}, settings, used, error), RootOption::NotRootOption);
    EXPECT_FALSE(settings.engine_roots[0].has_value());
}

TEST(SettingsPrecedenceTest, CommandLineThenFileThenFallback) {
    PartialSettings command_line;
    command_line.engine_roots[0] = "http://cli.test";
    PartialSettings file;
    Parse("engine1 = http://file1.test\nengine2 = http://file2.test\n", file);
    command_line.FillFrom(file);

    app::SiteSettings demo;
    demo.engine_roots = {"http://d1", "http://d2", "http://d3"};
    demo.player_roots = {"http://dp1", "http://dp2"};
    demo.site = "http://dsite";
    const app::SiteSettings sites = command_line.With(demo);
    EXPECT_EQ(sites.engine_roots[0], "http://cli.test");
    EXPECT_EQ(sites.engine_roots[1], "http://file2.test");
    EXPECT_EQ(sites.engine_roots[2], "http://d3");
    EXPECT_EQ(sites.player_roots[1], "http://dp2");
    EXPECT_EQ(sites.site, "http://dsite");
}

TEST(PlayerPageTest, PlayerAddressesEndInTheUrlFragment) {
    app::SiteSettings sites;
    sites.player_roots = {"http://p1.test", "http://p2.test"};
    EXPECT_EQ(app::PlayerPageAddress(sites, 1), "http://p1.test/okapi.php#!url=");
    EXPECT_EQ(app::PlayerPageAddress(sites, 2), "http://p2.test/happyvod/api.php?top=1#!url=");
    EXPECT_EQ(app::PlayerPageAddress(sites, 3), "");
}

}  // namespace
