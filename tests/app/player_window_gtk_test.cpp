// The player window with the real browser module under an X server: the
// player page on the loopback interface copies its address's fragment into
// its title, which is what the player pages read.

#include "app/player_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/start_up.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "services/browser_host.h"
#include "tests/support/loopback_server.h"
#include "tests/support/paths.h"

namespace {

using namespace plat;

// What the timer of the running player looks at. Timer procedures take no
// context, so it lives here.
struct Watch {
    services::BrowserHost* browser = nullptr;
    std::string expected_title;
    std::string title;
    uint64_t deadline = 0;
    bool timed_out = false;
};
Watch& Watched() {
    static Watch watch;
    return watch;
}

void CheckPlayer(HWND, UINT, UINT_PTR timer, DWORD) {
    Watch& watch = Watched();
    if (watch.browser == nullptr) return;
    watch.title = watch.browser->Title();
    const bool done = watch.title == watch.expected_title;
    if (!done && GetTickCount64() < watch.deadline) return;
    watch.timed_out = !done;
    KillTimer(nullptr, timer);
    // The player's loop ends with its window.
    DestroyWindow(GetAncestor(watch.browser->Window(), GA_ROOT));
}

class PlayerWindowGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        Initialise(Backend::Gtk);
        if (gtk::GtkWindowSystem::Current() == nullptr) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(app::InitialiseModules());
        app::App() = app::Application{};
        app::App().data_directory = "/nonexistent";
        services::SetBrowserModulePath(testing_support::BinaryPath("libseed-browser.so"));
        // The real module, with the browser handed to the watch.
        services::SetBrowserHostFactory([] {
            std::unique_ptr<services::BrowserHost> browser = services::NewModuleBrowserHost();
            Watched().browser = browser.get();
            return browser;
        });
        m_server.Routes().Get("/okapi.php", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body><script>document.title = location.hash;</script></body></html>",
                                 "text/html");
        });
        m_server.Routes().set_keep_alive_max_count(1);
        m_server.Start();
        const std::string root = m_server.Url("/");
        app::App().sites.player_roots = {root.substr(0, root.size() - 1), root.substr(0, root.size() - 1)};
    }
    void TearDown() override {
        services::SetBrowserHostFactory({});
        Shutdown();
    }

    // Opens a player and waits for its page's title; the player is closed
    // when the title is there or the time is up.
    std::string PlayAndReadTitle(const app::PlayRequest& request, const std::string& expected) {
        Watch& watch = Watched();
        watch = Watch{};
        watch.expected_title = expected;
        watch.deadline = GetTickCount64() + 20'000;
        SetTimer(nullptr, 0, 20, CheckPlayer);
        app::OpenPlayer(request);
        EXPECT_FALSE(watch.timed_out) << "the page never showed its title";
        return watch.title;
    }

    testing_support::LoopbackServer m_server;
};

TEST_F(PlayerWindowGtkTest, PageSeesTheEncodedAddressAndASecondPlayerWorksAfterTheFirst) {
    const app::PlayRequest request{"magnet:?xt=urn:btih:AB12&dn=中文 片名|1", "片名", 1};
    const std::string expected = "#!url=" + app::EncodePlayAddress(request.address);
    EXPECT_EQ(PlayAndReadTitle(request, expected), expected);
    // The first player and its browser are gone; a new one starts afresh.
    EXPECT_EQ(PlayAndReadTitle(app::PlayRequest{"ed2k://|file|x|", "x", 1},
                               "#!url=ed2k://%7Cfile%7Cx%7C"),
              "#!url=ed2k://%7Cfile%7Cx%7C");
}

}  // namespace
