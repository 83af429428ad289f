#include "app/player_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "services/browser_host_recorder.h"
#include "tests/support/loopback_server.h"

namespace {

using namespace plat;
using services::RecordedBrowser;

constexpr char kPlayer1Root[] = "http://player-one.test";
constexpr char kPlayer2Root[] = "http://player-two.test";
constexpr char kSite[] = "http://product.test";

// Commands run from the message loop, the way a menu command posted by the
// main window runs.
constexpr UINT kRunCommand = WM_APP + 1;
std::deque<std::function<void()>>& Commands() {
    static std::deque<std::function<void()>> commands;
    return commands;
}
LRESULT CommandProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunCommand && !Commands().empty()) {
        std::function<void()> command = std::move(Commands().front());
        Commands().pop_front();
        command();
        return 0;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Initialise(Backend::Headless);
        headless::SetWorkArea({0, 0, 1280, 1000});
        headless::SetAutoAdvanceBudget(600'000);
        ASSERT_TRUE(app::InitialiseModules());
        app::App() = app::Application{};
        app::App().data_directory = "/nonexistent";
        app::App().sites.player_roots = {kPlayer1Root, kPlayer2Root};
        app::App().sites.site = kSite;
        Commands().clear();

        WNDCLASSEX command_class;
        command_class.lpfnWndProc = CommandProc;
        command_class.lpszClassName = "PlayerTestCommands";
        RegisterClassEx(&command_class);
        m_commands = CreateWindowEx(0, "PlayerTestCommands", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                    nullptr, nullptr, nullptr);

        // A main window whose destruction ends the program's loop.
        dui::HostWindowOptions options;
        options.title = "main";
        m_main = dui::CreateHostWindow(options);
        m_main_host = std::make_unique<dui::ExHostWindow>();
        ASSERT_TRUE(m_main_host->Attach(m_main));
        m_main_host->OnMessage([](HWND, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
            if (message == WM_DESTROY) PostQuitMessage(0);
            return -1;
        });
        ShowWindow(m_main, SW_SHOW);
    }
    void TearDown() override {
        m_main_host.reset();
        headless::Reset();
    }

    void Post(std::function<void()> command) {
        Commands().push_back(std::move(command));
        PostMessage(m_commands, kRunCommand, 0, 0);
    }
    // Plays a row and writes down when that player's call returned.
    void PostPlay(int engine, int player_engine, std::string address, std::string name) {
        Post([=, this] {
            app::RunPlayCommand(engine, player_engine, address, name);
            m_returned.push_back(name);
        });
    }
    // The window of the n-th player opened (0-based).
    HWND Player(std::size_t index) const {
        return index < m_recorder.Browsers().size() ? m_recorder.Browsers()[index]->parent : nullptr;
    }
    const RecordedBrowser& Browser(std::size_t index) const { return *m_recorder.Browsers()[index]; }

    // Runs the program's loop to its end; returns its exit code.
    int RunProgram() { return app::RunMessageLoop(); }

    services::BrowserHostRecorder m_recorder;
    HWND m_commands = nullptr;
    HWND m_main = nullptr;
    std::unique_ptr<dui::ExHostWindow> m_main_host;
    std::vector<std::string> m_returned;
};

TEST(EncodePlayAddress, KeepsBytesFromBangToLowerZAndEncodesTheRestAsUtf8) {
    EXPECT_EQ(app::EncodePlayAddress("magnet:?xt=urn:btih:ABCdef0123456789"),
              "magnet:?xt=urn:btih:ABCdef0123456789");
    EXPECT_EQ(app::EncodePlayAddress("a b|c"), "a%20b%7Cc");
    EXPECT_EQ(app::EncodePlayAddress("{}~\x7F\x01"), "%7B%7D%7E%7F%01");
    EXPECT_EQ(app::EncodePlayAddress("%#&/:=?!z"), "%#&/:=?!z");
    EXPECT_EQ(app::EncodePlayAddress("中文"), "%E4%B8%AD%E6%96%87");
    // Characters of GBK beyond GB2312, common in names.
    EXPECT_EQ(app::EncodePlayAddress("镕堃"), "%E9%95%95%E5%A0%83");
    EXPECT_EQ(app::EncodePlayAddress(""), "");
    // Not GBK at all: nothing rather than a wrong address.
    EXPECT_EQ(app::EncodePlayAddress("ab\x81"), "");
}

TEST(PlayerTitle, IsValidTextOfBoundedLength) {
    EXPECT_EQ(app::PlayerTitle("电影.mkv"), "正在播放：电影.mkv");
    EXPECT_EQ(app::PlayerTitle("a\xFF\x30" "b\n"), "正在播放：a?0b ");
    const std::string title = app::PlayerTitle(std::string(1000, 'x'));
    EXPECT_EQ(title, std::string("正在播放：") + std::string(app::kMaxPlayerNameCharacters, 'x'));
    // A cut never splits a two-byte character.
    std::string long_name;
    for (int i = 0; i < 200; ++i) long_name += "影";
    std::string expected = "正在播放：";
    for (std::size_t i = 0; i < app::kMaxPlayerNameCharacters; ++i) expected += "影";
    EXPECT_EQ(app::PlayerTitle(long_name), expected);
}

TEST_F(PlayerWindowTest, EachListAndPlayerEngineOpensItsPageWithTheEncodedAddress) {
    struct Case {
        int engine;
        int player_engine;
        const char* expected_page;
    };
    const Case cases[] = {
        {1, 1, "http://player-one.test/okapi.php#!url=magnet:?xt=a%20b"},
        {1, 2, "http://player-two.test/happyvod/api.php?top=1#!url=magnet:?xt=a%20b"},
        {3, 1, "http://player-one.test/okapi.php#!url=magnet:?xt=a%20b"},
        {3, 2, "http://player-two.test/happyvod/api.php?top=1#!url=magnet:?xt=a%20b"},
    };
    // One player at a time: each is closed, then the next one is played.
    PostPlay(cases[0].engine, cases[0].player_engine, "magnet:?xt=a b", "film");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        headless::PushStep([this, i, &cases] {
            ASSERT_EQ(m_recorder.Browsers().size(), i + 1);
            DestroyWindow(Player(i));
            if (i + 1 < std::size(cases)) {
                PostPlay(cases[i + 1].engine, cases[i + 1].player_engine, "magnet:?xt=a b", "film");
            }
        });
    }
    headless::PushStep([this] { DestroyWindow(m_main); });
    EXPECT_EQ(RunProgram(), 0);

    ASSERT_EQ(m_recorder.Browsers().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Browser(i).created_with, cases[i].expected_page) << i;
        EXPECT_TRUE(Browser(i).object_destroyed) << "freed with its window";
    }
}

TEST_F(PlayerWindowTest, PlayerIsATitledWindowWithItsBrowserInPlace) {
    PostPlay(1, 1, "", "电影\x01.mkv");
    struct Seen {
        RECT rect{};
        std::string title;
        bool visible = false;
        bool has_host = false;
    } seen;
    headless::PushStep([&] {
        const HWND player = Player(0);
        GetWindowRect(player, &seen.rect);
        seen.title = GetWindowText(player);
        seen.visible = IsWindowVisible(player);
        seen.has_host = dui::HostFromWindow(player) != nullptr;
        DestroyWindow(player);
    });
    headless::PushStep([this] { DestroyWindow(m_main); });
    EXPECT_EQ(RunProgram(), 0);

    EXPECT_EQ(seen.rect.right - seen.rect.left, app::kPlayerWidth);
    EXPECT_EQ(seen.rect.bottom - seen.rect.top, app::kPlayerHeight);
    EXPECT_EQ(seen.title, "正在播放：电影 .mkv");
    EXPECT_TRUE(seen.visible);
    EXPECT_TRUE(seen.has_host);
    const RecordedBrowser& browser = Browser(0);
    EXPECT_EQ(browser.rect.left, 10);
    EXPECT_EQ(browser.rect.top, 36);
    EXPECT_EQ(browser.rect.right - browser.rect.left, 540);
    EXPECT_EQ(browser.rect.bottom - browser.rect.top, 420);
    // An empty address still opens the page, with nothing after "#!url=".
    EXPECT_EQ(browser.created_with, std::string(kPlayer1Root) + "/okapi.php#!url=");
}

TEST_F(PlayerWindowTest, TwoPlayersCloseInEitherOrder) {
    for (const bool first_closes_first : {true, false}) {
        SCOPED_TRACE(first_closes_first ? "first, then second" : "second, then first");
        m_returned.clear();
        const std::size_t base = m_recorder.Browsers().size();
        PostPlay(1, 1, "a", "first");
        // Opened from the main window while the first player runs.
        headless::PushStep([this] { PostPlay(1, 2, "b", "second"); });
        headless::PushStep([this, base, first_closes_first] {
            ASSERT_EQ(m_recorder.Browsers().size(), base + 2);
            DestroyWindow(Player(base + (first_closes_first ? 0 : 1)));
        });
        headless::PushStep([this, base, first_closes_first] {
            // The other player is still open and still has its page.
            const std::size_t other = base + (first_closes_first ? 1 : 0);
            EXPECT_TRUE(IsWindow(Player(other)));
            EXPECT_TRUE(Browser(other).navigations.empty());
            DestroyWindow(Player(other));
        });
        headless::PushStep([this] { PostQuitMessage(7); });
        EXPECT_EQ(RunProgram(), 7);
        // The second call runs inside the first: it returns first.
        EXPECT_EQ(m_returned, (std::vector<std::string>{"second", "first"}));
        EXPECT_TRUE(Browser(base).object_destroyed);
        EXPECT_TRUE(Browser(base + 1).object_destroyed);
    }
}

TEST_F(PlayerWindowTest, ClosingTheMainWindowWhilePlayersRunEndsTheProgram) {
    PostPlay(1, 1, "a", "first");
    headless::PushStep([this] { PostPlay(3, 2, "b", "second"); });
    headless::PushStep([this] { DestroyWindow(m_main); });
    EXPECT_EQ(RunProgram(), 0);
    ASSERT_EQ(m_recorder.Browsers().size(), 2u);
    EXPECT_FALSE(IsWindow(Player(0)));
    EXPECT_FALSE(IsWindow(Player(1)));
    EXPECT_TRUE(Browser(0).object_destroyed);
    EXPECT_TRUE(Browser(1).object_destroyed);
    EXPECT_EQ(m_returned, (std::vector<std::string>{"second", "first"}));
}

TEST_F(PlayerWindowTest, CloseQuestionKeepsThePlayerUnlessAnsweredYes) {
    PostPlay(1, 1, "a", "film");
    struct Seen {
        std::string box_title;
        HWND box = nullptr;
        bool still_open_after_escape = false;
        bool still_open_after_keep = false;
        bool same_box_after_second_request = false;
    } seen;
    headless::PushStep([this] { headless::RequestClose(Player(0)); });
    headless::PushStep([&] {   // the question runs
        seen.box_title = GetWindowText(GetActiveWindow());
        headless::PressKey(VK_ESCAPE);
    });
    headless::PushStep([&, this] {
        seen.still_open_after_escape = IsWindowVisible(Player(0)) && Browser(0).navigations.empty();
        headless::RequestClose(Player(0));
    });
    headless::PushStep([] {   // Tab to "手贱了"
        headless::PressKey(VK_TAB);
        headless::PressKey(VK_RETURN);
    });
    headless::PushStep([&, this] {
        seen.still_open_after_keep = IsWindowVisible(Player(0)) && Browser(0).navigations.empty();
        headless::RequestClose(Player(0));
    });
    headless::PushStep([&, this] {
        // A second request while the question is open is refused: no
        // second box comes up over the first.
        seen.box = GetActiveWindow();
        headless::RequestClose(Player(0));
    });
    headless::PushStep([&] {
        seen.same_box_after_second_request = GetActiveWindow() == seen.box;
        headless::PressKey(VK_RETURN);   // "是的", the default
    });
    headless::PushStep([this] { DestroyWindow(m_main); });
    EXPECT_EQ(RunProgram(), 0);

    EXPECT_EQ(seen.box_title, "提示：");
    EXPECT_TRUE(seen.still_open_after_escape);
    EXPECT_TRUE(seen.still_open_after_keep);
    EXPECT_TRUE(seen.same_box_after_second_request);
    // "是的": the page is left for the product site, then the player closes.
    EXPECT_EQ(Browser(0).navigations, std::vector<std::string>{kSite});
    EXPECT_TRUE(Browser(0).window_destroyed);
    EXPECT_EQ(m_returned, std::vector<std::string>{"film"});
    EXPECT_EQ(headless::PendingSteps(), 0u);
}

TEST_F(PlayerWindowTest, PlayerWithoutABrowserStillOpens) {
    m_recorder.FailCreation(true);
    bool open = false;
    PostPlay(1, 1, "a", "film");
    headless::PushStep([&] {
        open = IsWindowVisible(Player(0));
        DestroyWindow(Player(0));
    });
    headless::PushStep([this] { DestroyWindow(m_main); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_TRUE(open);
}

// Engine 2's detail pages, served on the loopback interface.
class PlayerDetailTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        PlayerWindowTest::SetUp();
        m_server.Routes().Get("/detail/good", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<textarea readonly>magnet:?xt=urn:btih:GOOD</textarea>", "text/html");
        });
        m_server.Routes().Get("/detail/empty", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<p>no address here</p>", "text/html");
        });
        m_server.Start();
        // The lookup runs on a worker thread in real time: let the loop wait
        // for it instead of failing.
        headless::SetAutoAdvanceBudget(0);
        headless::SetBlockedHandler([](const std::string&) {
            usleep(1000);
        });
    }
    // Once the count-th player is open, closes it and ends the loop.
    void CloseWhenOpen(std::size_t count) {
        headless::PushStep([this, count] {
            if (m_recorder.Browsers().size() < count) {
                // Real time for the worker, virtual time for the loop's timer.
                usleep(1000);
                headless::AdvanceClock(20);
                CloseWhenOpen(count);
                return;
            }
            DestroyWindow(Player(count - 1));
            headless::PushStep([] { PostQuitMessage(0); });
        });
    }

    testing_support::LoopbackServer m_server;
};

TEST_F(PlayerDetailTest, EngineTwoPlaysTheResolvedAddressOrElseTheCellText) {
    PostPlay(2, 1, m_server.Url("/detail/good"), "resolved");
    CloseWhenOpen(1);
    EXPECT_EQ(RunProgram(), 0);
    ASSERT_EQ(m_recorder.Browsers().size(), 1u);
    EXPECT_EQ(Browser(0).created_with,
              std::string(kPlayer1Root) + "/okapi.php#!url=magnet:?xt=urn:btih:GOOD");

    const std::string empty_page = m_server.Url("/detail/empty");
    PostPlay(2, 2, empty_page, "fallback");
    CloseWhenOpen(2);
    EXPECT_EQ(RunProgram(), 0);
    ASSERT_EQ(m_recorder.Browsers().size(), 2u);
    EXPECT_EQ(Browser(1).created_with,
              std::string(kPlayer2Root) + "/happyvod/api.php?top=1#!url=" + app::EncodePlayAddress(empty_page));
    EXPECT_FALSE(plat::ClipboardHasText()) << "the clipboard is left alone";
}

}  // namespace
