#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/demo_catalogue.h"
#include "app/demo_engines.h"
#include "tests/app/desktop_session.h"
#include "tests/support/raw_responder.h"

namespace {

using namespace desktop_session;

class MainWindowE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ArmWatchdog(120);
        ASSERT_TRUE(x.Ready()) << "Xvfb did not start";
    }
    void TearDown() override { alarm(0); }
    XServer x;
    RecordingEngines engines;
};

TEST_F(MainWindowE2eTest, WindowOpensCentredWithItsTitle) {
    DesktopProgram program(x, engines.SiteOptions());
    ASSERT_TRUE(program.WaitForMainWindow()) << program.Output();
    EXPECT_EQ(program.Box().width, 470);
    EXPECT_EQ(program.Box().height, 390);
}

TEST_F(MainWindowE2eTest, ExitQuestionKeepsRunningOnNoAndExitsWithZeroOnYes) {
    DesktopProgram program(x, engines.SiteOptions());
    ASSERT_TRUE(program.WaitForMainWindow()) << program.Output();

    x.RequestClose(program.MainWindow());
    ASSERT_TRUE(x.AnswerMessageBox(1)) << "no exit question";  // "手贱了"
    ASSERT_TRUE(x.NoWindowTitled(U8(u8"提示：")));
    EXPECT_FALSE(program.Proc().WaitForExit(500).has_value());
    EXPECT_FALSE(x.WindowsTitled(U8(u8"澜橙种子搜索器")).empty());

    x.RequestClose(program.MainWindow());
    ASSERT_TRUE(x.AnswerMessageBox(2)) << "no exit question";  // "是的"
    EXPECT_EQ(program.Proc().WaitForExit(10000), std::optional<int>(0)) << program.Output();
}

// Client coordinates of the main window's controls.
constexpr int kKeywordX = 166, kKeywordY = 336;
constexpr int kSearchX = 290, kPreviousX = 357, kNextX = 424, kButtonY = 337;
// The list's first row: rows start 27 pixels into the list and are 22 high.
constexpr int kRowX = 100;
int RowY(int row) { return 116 + 27 + 22 * (row - 1) + 11; }
int TabX(int tab) { return 102 + 90 * (tab - 1); }
constexpr int kTabY = 70;

class SearchingE2eTest : public MainWindowE2eTest {
protected:
    void Start(const std::vector<std::string>& options, const std::string& state_home = {}) {
        program.emplace(x, options, state_home);
        ASSERT_TRUE(program->WaitForMainWindow()) << program->Output();
        ASSERT_TRUE(program->WaitUntilShown()) << program->Output();
    }
    // Switches to the engine's tab, types the keyword (any text) and searches.
    void Search(int engine, const std::string& keyword) {
        program->Click(TabX(engine + 1), kTabY);
        program->Click(kKeywordX, kKeywordY);
        if (!keyword.empty()) {
            ASSERT_TRUE(x.Type(keyword));
        }
        program->Click(kSearchX, kButtonY);
    }
    bool Requested(const std::string& target, milliseconds limit = 10000) {
        return Eventually(
            [&] {
                const auto targets = engines.Targets();
                return std::find(targets.begin(), targets.end(), target) != targets.end();
            },
            limit);
    }
    // Right-clicks a row and picks item `item` of its menu.
    bool MenuCommand(int row, int item) {
        program->Click(kRowX, RowY(row), 3);
        const auto menu = x.WaitForWindow("Ex_DirectUI_Menu", 5000);
        if (!menu) return false;
        const auto box = x.Geometry(*menu);
        x.Click(box.x + box.width / 2, box.y + 8 + 22 * (item - 1) + 11);
        return true;
    }
    std::string Targets() const {
        std::string all;
        for (const std::string& target : engines.Targets()) all += target + "\n";
        return all;
    }
    std::optional<DesktopProgram> program;
};

TEST_F(SearchingE2eTest, EachEngineRequestsItsPageWithTheTypedKeyword) {
    Start(engines.SiteOptions());
    Search(1, U8(u8"中文"));
    EXPECT_TRUE(Requested("/e1/?s=%E4%B8%AD%E6%96%87&p=1")) << Targets();
    Search(2, "ab");
    EXPECT_TRUE(Requested("/e2/search/%61%62/currentPage/1"));
    Search(3, U8(u8"书"));
    EXPECT_TRUE(Requested("/e3//search/%E4%B9%A6?page=1&mode=list"));
}

TEST_F(SearchingE2eTest, PagingMovesThroughPagesAndADisabledButtonSendsNothing) {
    Start(engines.SiteOptions());
    Search(1, "");
    ASSERT_TRUE(Requested("/e1/?s=&p=1"));
    const std::size_t after_search = engines.Count();
    program->Click(kPreviousX, kButtonY);  // off on page 1
    SleepMs(500);
    EXPECT_EQ(engines.Count(), after_search);
    program->Click(kNextX, kButtonY);
    EXPECT_TRUE(Requested("/e1/?s=&p=2"));
    engines.ClearTargets();
    program->Click(kPreviousX, kButtonY);
    EXPECT_TRUE(Requested("/e1/?s=&p=1"));
}

TEST_F(SearchingE2eTest, CopyPutsTheHiddenAddressOnTheClipboard) {
    Start(engines.SiteOptions());
    Search(1, "");
    ASSERT_TRUE(Requested("/e1/?s=&p=1"));
    const auto rows = app::DemoSearch("", 1);
    ASSERT_GE(rows.size(), 2u);
    SleepMs(300);  // the rows are painted
    ASSERT_TRUE(MenuCommand(2, 3));
    const std::string expected = "magnet:?xt=urn:btih:" + app::InfoHash(*rows[1]);
    std::optional<std::string> copied;
    EXPECT_TRUE(Eventually([&] {
        copied = x.Clipboard();
        return copied && copied->starts_with(expected);
    })) << (copied ? *copied : "no clipboard");

    // Engine 2's copy looks the address up on the detail page, once.
    Search(2, "");
    ASSERT_TRUE(Requested("/e2/search//currentPage/1"));
    SleepMs(300);
    engines.ClearTargets();
    ASSERT_TRUE(MenuCommand(1, 3));
    const std::string id = std::to_string(rows[0] - app::DemoCatalogue().data());
    EXPECT_TRUE(Eventually([&] {
        copied = x.Clipboard();
        return copied && *copied == RecordingEngines::DetailAddress(id);
    })) << (copied ? *copied : "no clipboard");
    EXPECT_EQ(engines.Targets(), std::vector<std::string>{"/engine2/detail/" + id});
}

TEST_F(SearchingE2eTest, PlayOpensThePlayerAndClosingItKeepsTheMainWindow) {
    Start(engines.SiteOptions());
    Search(1, "");
    ASSERT_TRUE(Requested("/e1/?s=&p=1"));
    const auto rows = app::DemoSearch("", 1);
    SleepMs(300);
    ASSERT_TRUE(MenuCommand(1, 1));
    const auto player = x.WaitForWindow(U8(u8"正在播放："), 20000, /*prefix=*/true);
    ASSERT_TRUE(player.has_value()) << program->Output();
    const std::string title = x.Title(*player);
    // The title names the row.
    EXPECT_NE(title.find(app::Utf8Name(*rows[0]).substr(0, 6)), std::string::npos) << title;
    const auto box = x.Geometry(*player);
    EXPECT_EQ(box.width, 560);
    EXPECT_EQ(box.height, 466);
    EXPECT_TRUE(Requested("/p1/okapi.php", 20000));

    x.RequestClose(*player);
    ASSERT_TRUE(x.AnswerMessageBox(2));  // "是的"
    EXPECT_TRUE(x.NoWindowTitled(title, 10000));
    EXPECT_TRUE(program->Proc().Running());
    EXPECT_FALSE(x.WindowsTitled(U8(u8"澜橙种子搜索器")).empty());
}

// Distinct colours in a rectangle of the main window.
std::size_t Colours(DesktopProgram& program, int left, int top, int width, int height) {
    auto pixels = program.Pixels(left, top, width, height);
    std::sort(pixels.begin(), pixels.end());
    return static_cast<std::size_t>(std::unique(pixels.begin(), pixels.end()) - pixels.begin());
}

TEST_F(SearchingE2eTest, ADeadSiteLeavesTheWindowPaintingAndTheListSaysItFailed) {
    // Accepts the connection, says nothing for three seconds, then drops it.
    testing_support::RawResponder dead([](testing_support::RawResponder::Connection& connection) {
        if (connection.Pause(3000)) connection.Reset();
    });
    std::vector<std::string> options = engines.SiteOptions();
    options[1] = "1=" + dead.Url("/e1");
    Start(options);
    program->Click(TabX(2), kTabY);
    SleepMs(300);
    const std::size_t empty_list = Colours(*program, 130, 215, 200, 30);

    program->Click(kSearchX, kButtonY);
    ASSERT_TRUE(Eventually([&] { return !dead.Requests().empty(); }, 5000));
    // While the site is silent the window still switches pages and paints.
    const auto page_before = program->Pixels(100, 200, 200, 60);
    program->Click(TabX(1), kTabY);
    EXPECT_TRUE(Eventually([&] { return program->Pixels(100, 200, 200, 60) != page_before; }, 2000));
    program->Click(TabX(2), kTabY);
    EXPECT_TRUE(Eventually([&] { return program->Pixels(100, 200, 200, 60) == page_before; }, 2000));

    // Once it fails, the empty list carries a line of text.
    EXPECT_TRUE(Eventually([&] { return Colours(*program, 130, 215, 200, 30) > empty_list + 4; },
                           15000));
    EXPECT_TRUE(program->Proc().Running());
}

TEST_F(SearchingE2eTest, KeywordsAreRememberedAcrossRunsUnlessSwitchedOff) {
    char state[] = "/tmp/seed-state-XXXXXX";
    ASSERT_NE(mkdtemp(state), nullptr);
    const std::string history = std::string(state) + "/seed-searcher/history";
    const auto quit = [&] {
        x.RequestClose(program->MainWindow());
        ASSERT_TRUE(x.AnswerMessageBox(2));
        ASSERT_EQ(program->Proc().WaitForExit(10000), std::optional<int>(0)) << program->Output();
    };

    Start(engines.SiteOptions(), state);
    Search(1, "ubuntu");
    ASSERT_TRUE(Requested("/e1/?s=%75%62%75%6E%74%75&p=1")) << Targets();
    quit();
    EXPECT_EQ(testing_support::ReadFile(history), "ubuntu\n");

    std::vector<std::string> off = engines.SiteOptions();
    off.insert(off.begin(), "--no-history");
    Start(off, state);
    Search(1, "debian");
    ASSERT_TRUE(Requested("/e1/?s=%64%65%62%69%61%6E&p=1")) << Targets();
    program->Click(kKeywordX, kKeywordY);
    x.Key("Down");
    EXPECT_FALSE(x.WaitForWindow("Ex_DirectUI_Menu", 1000).has_value());
    quit();
    EXPECT_EQ(testing_support::ReadFile(history), "ubuntu\n");

    // The next run offers it: the first item goes into the box, Enter searches.
    engines.ClearTargets();
    Start(engines.SiteOptions(), state);
    program->Click(TabX(2), kTabY);
    program->Click(kKeywordX, kKeywordY);
    x.Key("Down");
    const auto menu = x.WaitForWindow("Ex_DirectUI_Menu", 5000);
    ASSERT_TRUE(menu.has_value());
    const auto box = x.Geometry(*menu);
    x.Click(box.x + box.width / 2, box.y + 8 + 11);
    ASSERT_TRUE(x.NoWindowTitled("Ex_DirectUI_Menu"));
    x.Key("Return");
    EXPECT_TRUE(Requested("/e1/?s=%75%62%75%6E%74%75&p=1")) << Targets();
    quit();
    std::filesystem::remove_all(state);
}

TEST_F(SearchingE2eTest, ClosingDuringASearchEndsTheProgramAtOnce) {
    testing_support::RawResponder dead([](testing_support::RawResponder::Connection& connection) {
        connection.Pause(60000);
    });
    std::vector<std::string> options = engines.SiteOptions();
    options[1] = "1=" + dead.Url("/e1");
    Start(options);
    program->Click(TabX(2), kTabY);
    program->Click(kSearchX, kButtonY);
    ASSERT_TRUE(Eventually([&] { return !dead.Requests().empty(); }, 5000));
    x.RequestClose(program->MainWindow());
    ASSERT_TRUE(x.AnswerMessageBox(2));
    EXPECT_EQ(program->Proc().WaitForExit(5000), std::optional<int>(0)) << program->Output();
}

}  // namespace
