// The browser module on the real engine, under an X server, against pages
// served on the loopback interface.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"
#include "services/browser_host.h"
#include "tests/support/loopback_server.h"
#include "tests/support/paths.h"
#include "tests/support/x_input.h"

namespace {

using namespace plat;
using services::BrowserEvent;
using services::BrowserEventKind;
using services::BrowserHost;
using services::BrowserReadyState;

constexpr char kPlainPage[] =
    "<html><head><title>plain</title></head><body><p id=marker>loopback page</p>"
    "<a id=link href='/plain' style='display:block;width:400px;height:200px'>link</a></body></html>";

// Every trick below must fail; the title reports what the script saw.
constexpr char kHostilePage[] = R"(<html><head><title>hostile</title></head><body><script>
const outcome = [];
const popup = window.open('/popup', '_blank');
outcome.push(popup ? 'window-opened' : 'window-blocked');
fetch('file:///etc/hostname').then(() => outcome.push('file-read'))
  .catch(() => outcome.push('file-denied'))
  .finally(() => {
    const link = document.createElement('a');
    link.href = '/download';
    link.download = 'payload.bin';
    document.body.appendChild(link);
    link.click();
    setTimeout(() => { location.href = 'file:///etc/hostname'; }, 50);
    setTimeout(() => { location.href = 'data:text/html,<title>data</title>'; }, 100);
    setTimeout(() => { document.title = outcome.join(' '); }, 400);
  });
</script></body></html>)";

// Plays the fixture clip muted (no sound device under test) and reports in
// its title what it reached and whether streaming players could feed it.
constexpr char kVideoPage[] = R"(<html><body><video id=clip muted autoplay src='/clip.mp4'></video><script>
const clip = document.getElementById('clip');
const streamable = MediaSource.isTypeSupported('video/mp4; codecs="avc1.42E01E, mp4a.40.2"');
clip.addEventListener('error', () => { document.title = 'error ' + clip.error.code; });
clip.addEventListener('timeupdate', () => {
  if (clip.currentTime > 0) document.title = 'playing mse=' + streamable;
});
</script></body></html>)";

class BrowserHostGtkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The file chooser would otherwise try to store its settings
        // through a session bus the test machine does not have.
        g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
        services::SetBrowserModulePath(testing_support::BinaryPath("libseed-browser.so"));
    }

    void SetUp() override {
        m_system = testing_support::StartGtkBackend();
        if (m_system == nullptr) GTEST_SKIP() << "needs an X display";
        WNDCLASSEX window_class;
        window_class.lpfnWndProc = DefWindowProc;
        window_class.lpszClassName = "BrowserTestWindow";
        RegisterClassEx(&window_class);

        auto& routes = m_server.Routes();
        routes.Get("/plain", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(kPlainPage, "text/html");
        });
        routes.Get("/second", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><head><title>second</title></head></html>", "text/html");
        });
        routes.Get("/hash", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body><script>document.title = location.hash;</script></body></html>",
                                 "text/html");
        });
        routes.Get("/headers", [](const httplib::Request& request, httplib::Response& response) {
            std::string value = request.get_header_value("X-Seed");
            for (char& c : value) {
                if (c == '<' || c == '&') c = '_';
            }
            response.set_content("<html><head><title>" + value + "</title></head></html>", "text/html");
        });
        routes.Get("/hostile", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(kHostilePage, "text/html");
        });
        routes.Get("/video", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(kVideoPage, "text/html");
        });
        routes.Get("/clip.mp4", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(testing_support::ReadFile(testing_support::FixturePath("media/h264-aac.mp4")),
                                 "video/mp4");
        });
        routes.Get("/popup", [this](const httplib::Request&, httplib::Response& response) {
            ++m_popup_hits;
            response.set_content("<title>popup</title>", "text/html");
        });
        routes.Get("/download", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Disposition", "attachment; filename=\"payload.bin\"");
            response.set_content(std::string(4096, 'x'), "application/octet-stream");
        });
        // One request per connection: a kept-alive connection would hold up
        // the server's shutdown at the end of each test.
        routes.set_keep_alive_max_count(1);
        // The engine opens connections ahead of need that may never carry a
        // request; the server waits on an idle one only briefly, so that its
        // shutdown is not held up by the default five seconds.
        routes.set_read_timeout(1, 0);
        routes.set_keep_alive_timeout(1);
        m_server.Start();
    }

    void TearDown() override { Shutdown(); }

    HWND OpenWindow() {
        HWND window = CreateWindowEx(0, "BrowserTestWindow", "browser test", WS_POPUP | WS_VISIBLE,
                                     100, 100, 560, 466, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        return window;
    }

    // The engine takes its time: pages get a longer deadline than input.
    static bool PumpUntil(const std::function<bool()>& done, uint64_t limit_ms = 15000) {
        return testing_support::PumpUntil(done, limit_ms);
    }

    // Records every event of a browser.
    static void Record(BrowserHost& browser, std::vector<BrowserEvent>& events) {
        auto record = [&events](const BrowserEvent& event) { events.push_back(event); };
        browser.OnNavigateStart(record);
        browser.OnNavigateComplete(record);
        browser.OnDocumentComplete(record);
        browser.OnNavigateError(record);
        browser.OnTitleChange(record);
        browser.OnStatusTextChange(record);
    }

    static bool Has(const std::vector<BrowserEvent>& events, BrowserEventKind kind) {
        for (const BrowserEvent& event : events) {
            if (event.kind == kind) return true;
        }
        return false;
    }

    static bool Finished(const std::vector<BrowserEvent>& events, const std::string& address) {
        for (const BrowserEvent& event : events) {
            if (event.kind == BrowserEventKind::DocumentComplete && event.address == address) return true;
        }
        return false;
    }

    // The visible top-level GTK windows of a type (dialogs of the commands).
    static int CountWindows(GType type) {
        GList* windows = gtk_window_list_toplevels();
        int count = 0;
        for (GList* at = windows; at != nullptr; at = at->next) {
            if (G_TYPE_CHECK_INSTANCE_TYPE(at->data, type) && gtk_widget_get_visible(GTK_WIDGET(at->data))) ++count;
        }
        g_list_free(windows);
        return count;
    }
    static GtkWidget* FindWindow(const char* type_name) {
        GList* windows = gtk_window_list_toplevels();
        GtkWidget* found = nullptr;
        for (GList* at = windows; at != nullptr && found == nullptr; at = at->next) {
            if (std::strcmp(G_OBJECT_TYPE_NAME(at->data), type_name) == 0 &&
                gtk_widget_get_visible(GTK_WIDGET(at->data))) {
                found = GTK_WIDGET(at->data);
            }
        }
        g_list_free(windows);
        return found;
    }

    // A loopback port nothing listens on.
    static int ClosedPort() {
        const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &length);
        close(socket_fd);
        return ntohs(address.sin_port);
    }

    gtk::GtkWindowSystem* m_system = nullptr;
    testing_support::LoopbackServer m_server;
    std::atomic<int> m_popup_hits{0};
};

TEST_F(BrowserHostGtkTest, CreateWithAnAddressLoadsItAndReportsTheLoad) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(services::BrowserModuleLoaded()) << services::BrowserModuleError();
    std::vector<BrowserEvent> events;
    Record(*browser, events);

    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 10, 36, 540, 420));
    EXPECT_GE(browser->Id(), services::kFirstBrowserId);
    ASSERT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));

    EXPECT_EQ(events.front().kind, BrowserEventKind::NavigateStart);
    EXPECT_TRUE(Has(events, BrowserEventKind::NavigateComplete));
    for (const BrowserEvent& event : events) EXPECT_EQ(event.id, browser->Id());
    EXPECT_EQ(browser->Location(), m_server.Url("/plain"));
    // The title may reach this process after the load has finished.
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "plain"; }));
    EXPECT_EQ(browser->ReadyState(), BrowserReadyState::Complete);
    EXPECT_FALSE(browser->Busy());
    EXPECT_EQ(browser->Type(), "text/html");
    EXPECT_NE(browser->PageSource().find("<p id=\"marker\">loopback page</p>"), std::string::npos);

    RECT rect{};
    GetWindowRect(browser->Window(), &rect);
    EXPECT_EQ(rect.left, 110);
    EXPECT_EQ(rect.top, 136);
    EXPECT_EQ(rect.right - rect.left, 540);
    EXPECT_EQ(rect.bottom - rect.top, 420);
}

TEST_F(BrowserHostGtkTest, PlaysH264AacVideoAndMediaSourceAcceptsIt) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, m_server.Url("/video"), 10, 36, 200, 150));
    EXPECT_TRUE(PumpUntil([&] { return browser->Title().starts_with("playing") ||
                                       browser->Title().starts_with("error"); }));
    EXPECT_EQ(browser->Title(), "playing mse=true");
}

TEST_F(BrowserHostGtkTest, CreateWithoutAnAddressNavigatesNowhere) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> first = services::NewBrowserHost();
    std::unique_ptr<BrowserHost> second = services::NewBrowserHost();
    std::vector<BrowserEvent> events;
    Record(*first, events);
    ASSERT_TRUE(first->Create(window, std::nullopt, 0, 0));
    ASSERT_TRUE(second->Create(window, std::nullopt, 0, 0));
    EXPECT_EQ(second->Id(), first->Id() + 1);

    RECT rect{};
    GetClientRect(first->Window(), &rect);
    EXPECT_EQ(rect.right, services::kDefaultBrowserWidth);
    EXPECT_EQ(rect.bottom, services::kDefaultBrowserHeight);
    EXPECT_TRUE(first->Location().empty());
    EXPECT_EQ(first->ReadyState(), BrowserReadyState::Uninitialised);
    m_system->WaitForInput(GetTickCount64() + 200);
    testing_support::PumpFor(200);
    EXPECT_TRUE(events.empty());
}

TEST_F(BrowserHostGtkTest, ScriptSeesTheFragmentOfTheAddress) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, m_server.Url("/hash#!url=magnet:?xt=urn%20x"), 10, 36, 540, 420));
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "#!url=magnet:?xt=urn%20x"; }))
        << browser->Title();
}

TEST_F(BrowserHostGtkTest, NavigateSendsWellFormedHeadersAndRefusesWhatItCannotDo) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, std::nullopt, 0, 0, 300, 200));

    EXPECT_FALSE(browser->Navigate(m_server.Url("/headers"), std::nullopt, std::nullopt,
                                   "X-Seed: a\r\nInjected\r\n"));
    EXPECT_FALSE(browser->Navigate(m_server.Url("/headers"), std::nullopt, std::nullopt, "Bad Name: x"));
    EXPECT_FALSE(browser->Navigate(m_server.Url("/headers"), std::nullopt, std::string("a=1")));
    EXPECT_FALSE(browser->Navigate(m_server.Url("/headers"), std::string("other_frame")));
    EXPECT_FALSE(browser->Navigate(""));
    EXPECT_FALSE(browser->Navigate(std::string(services::kMaxAddressBytes + 1, 'a')));

    ASSERT_TRUE(browser->Navigate(m_server.Url("/headers"), std::string("_self"), std::nullopt,
                                  "Accept-Language: zh-CN\r\nX-Seed: seeded value\r\n"));
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "seeded value"; })) << browser->Title();
}

TEST_F(BrowserHostGtkTest, HostilePageOpensNoWindowReadsNoFileAndDownloadsNothing) {
    const std::filesystem::path downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)
                                                ? g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)
                                                : g_get_home_dir();
    std::filesystem::remove(downloads / "payload.bin");
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    std::vector<BrowserEvent> events;
    Record(*browser, events);
    ASSERT_TRUE(browser->Create(window, m_server.Url("/hostile"), 10, 36, 540, 420));

    ASSERT_TRUE(PumpUntil([&] { return browser->Title().find("file-") != std::string::npos; }))
        << browser->Title();
    testing_support::PumpFor(500);   // later tricks have had their chance
    EXPECT_EQ(browser->Title(), "window-blocked file-denied");
    EXPECT_EQ(browser->Location(), m_server.Url("/hostile")) << "left for a file or data address";
    EXPECT_EQ(m_popup_hits.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(downloads / "payload.bin"));
    // One window: the test's own.
    GList* windows = gtk_window_list_toplevels();
    int visible = 0;
    for (GList* at = windows; at != nullptr; at = at->next) {
        if (gtk_widget_get_visible(GTK_WIDGET(at->data)) &&
            gtk_window_get_window_type(GTK_WINDOW(at->data)) == GTK_WINDOW_TOPLEVEL) {
            ++visible;
        }
    }
    g_list_free(windows);
    EXPECT_EQ(visible, 1);
}

TEST_F(BrowserHostGtkTest, WritePageSetTitleAndPageSourceGoThroughThePage) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    std::vector<BrowserEvent> events;
    Record(*browser, events);
    ASSERT_TRUE(browser->Create(window, std::nullopt, 0, 0, 300, 200));

    // Quotes and script-like text in the title travel as an argument.
    browser->WritePage("<html><head><title>written</title></head><body>中文内容</body></html>");
    ASSERT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "written"; }));
    EXPECT_NE(browser->PageSource().find("中文内容"), std::string::npos);

    const std::string tricky = "a\"; document.title='pwned'; \"标题";
    EXPECT_EQ(browser->Title(tricky), tricky);
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == tricky; })) << browser->Title();
    EXPECT_TRUE(Has(events, BrowserEventKind::TitleChange));
}

TEST_F(BrowserHostGtkTest, PageProcessEndingLeavesAnEmptyViewAndTheProgramAlive) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    std::vector<BrowserEvent> events;
    Record(*browser, events);
    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 0, 0, 300, 200));
    ASSERT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));

    events.clear();
    // The engine is loaded by the module only; reach it the same way.
    void* engine = dlopen("libwebkit2gtk-4.1.so.0", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(engine, nullptr);
    auto terminate = reinterpret_cast<void (*)(void*)>(dlsym(engine, "webkit_web_view_terminate_web_process"));
    ASSERT_NE(terminate, nullptr);
    void* view = browser->RawInterface();
    ASSERT_NE(view, nullptr);
    terminate(view);
    g_object_unref(view);
    dlclose(engine);
    ASSERT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::NavigateError); }));
    EXPECT_EQ(browser->ReadyState(), BrowserReadyState::Uninitialised);
    EXPECT_TRUE(browser->PageSource().empty());

    events.clear();
    ASSERT_TRUE(browser->Navigate(m_server.Url("/plain")));
    EXPECT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));
    EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "plain"; }));
}

TEST_F(BrowserHostGtkTest, BrowserWorksAgainInANewWindowAfterTheFirstWasDestroyed) {
    for (int round = 0; round < 2; ++round) {
        HWND window = OpenWindow();
        std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
        ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 10, 36, 540, 420)) << round;
        EXPECT_TRUE(PumpUntil([&] { return browser->Title() == "plain"; })) << round;
        DestroyWindow(window);
        EXPECT_EQ(browser->Window(), nullptr) << "the browser forgets a destroyed window";
        EXPECT_TRUE(browser->Location().empty());
        EXPECT_FALSE(browser->Navigate(m_server.Url("/plain")));
    }
}

TEST_F(BrowserHostGtkTest, HandlerMayDestroyTheBrowserWhileEventsArePending) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    int calls = 0;
    browser->OnNavigateStart([&](const BrowserEvent&) {
        ++calls;
        browser.reset();
    });
    browser->OnNavigateComplete([&](const BrowserEvent&) { ++calls; });
    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 0, 0, 300, 200));
    ASSERT_TRUE(PumpUntil([&] { return browser == nullptr; }));
    testing_support::PumpFor(300);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(BrowserHostGtkTest, AttachTakesOverAnotherBrowsersWindow) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> creator = services::NewBrowserHost();
    ASSERT_TRUE(creator->Create(window, std::nullopt, 0, 0, 300, 200));
    std::unique_ptr<BrowserHost> taker = services::NewBrowserHost();
    EXPECT_FALSE(taker->Attach(window, 900)) << "not a browser window";
    ASSERT_TRUE(taker->Attach(creator->Window(), 900));
    EXPECT_EQ(taker->Id(), 900);
    EXPECT_EQ(creator->Window(), nullptr);
    const HWND browser_window = taker->Window();
    creator.reset();
    EXPECT_TRUE(IsWindow(browser_window)) << "the old owner no longer destroys it";
    std::vector<BrowserEvent> events;
    Record(*taker, events);
    ASSERT_TRUE(taker->Navigate(m_server.Url("/plain")));
    EXPECT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));
    EXPECT_EQ(events.front().id, 900);
}

}  // namespace

namespace {

TEST_F(BrowserHostGtkTest, CommandsMoveThroughHistoryAndToTheConfiguredPages) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    // Each step waits for its own page to finish loading: a command given
    // while the previous load is still under way would act on a history
    // that has not moved yet.
    std::vector<BrowserEvent> events;
    Record(*browser, events);
    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 0, 0, 300, 200));
    ASSERT_TRUE(PumpUntil([&] { return Finished(events, m_server.Url("/plain")); }));
    ASSERT_TRUE(browser->Navigate(m_server.Url("/second")));
    ASSERT_TRUE(PumpUntil([&] { return Finished(events, m_server.Url("/second")); }));

    events.clear();
    browser->Command(services::BrowserCommand::GoBack);
    EXPECT_TRUE(PumpUntil([&] { return Finished(events, m_server.Url("/plain")); }));
    EXPECT_EQ(browser->Location(), m_server.Url("/plain"));
    events.clear();
    browser->Command(-1);   // counts as GoForward
    EXPECT_TRUE(PumpUntil([&] { return Finished(events, m_server.Url("/second")); }));
    EXPECT_EQ(browser->Location(), m_server.Url("/second"));

    // Without a configured page, home and search do nothing.
    browser->Command(services::BrowserCommand::GoHome);
    browser->Command(services::BrowserCommand::GoSearch);
    testing_support::PumpFor(300);
    EXPECT_EQ(browser->Location(), m_server.Url("/second"));
    browser->HomePage(m_server.Url("/plain"));
    browser->Command(services::BrowserCommand::GoHome);
    EXPECT_TRUE(PumpUntil([&] { return browser->Location() == m_server.Url("/plain"); }));
    browser->SearchPage(m_server.Url("/second"));
    browser->Command(services::BrowserCommand::GoSearch);
    EXPECT_TRUE(PumpUntil([&] { return browser->Location() == m_server.Url("/second"); }));

    events.clear();
    browser->Command(services::BrowserCommand::Refresh);
    EXPECT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::DocumentComplete); }));
}

TEST_F(BrowserHostGtkTest, OfflineRefusesNetworkLoadsAndSilentHidesErrorPages) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, std::nullopt, 0, 0, 300, 200));
    EXPECT_TRUE(browser->Offline(true));
    EXPECT_FALSE(browser->Navigate(m_server.Url("/plain")));
    // A link followed by the page itself is refused too.
    browser->WritePage("<html><body><a id=a href='" + m_server.Url("/plain") +
                       "'>x</a><script>document.getElementById('a').click();</script></body></html>");
    testing_support::PumpFor(700);
    EXPECT_NE(browser->Location(), m_server.Url("/plain"));
    EXPECT_FALSE(browser->Offline(false));

    std::vector<BrowserEvent> events;
    Record(*browser, events);
    EXPECT_TRUE(browser->Silent(true));
    const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
    ASSERT_TRUE(browser->Navigate(refused));
    ASSERT_TRUE(PumpUntil([&] { return Has(events, BrowserEventKind::NavigateError); }));
    for (const BrowserEvent& event : events) {
        if (event.kind != BrowserEventKind::NavigateError) continue;
        EXPECT_EQ(event.address, refused);
        EXPECT_FALSE(event.text.empty()) << "the error says why";
    }
    PumpUntil([&] { return !browser->Busy(); });
    EXPECT_EQ(browser->PageSource().find(refused), std::string::npos) << "no error page";
}

TEST_F(BrowserHostGtkTest, SaveAsPageSetupAndPrintAskThroughDialogs) {
    HWND window = OpenWindow();
    std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 0, 0, 300, 200));
    ASSERT_TRUE(PumpUntil([&] { return browser->Title() == "plain"; }));

    browser->Command(services::BrowserCommand::SaveAs);
    browser->Command(services::BrowserCommand::SaveAs);   // the open dialog is raised instead
    ASSERT_TRUE(PumpUntil([] { return CountWindows(GTK_TYPE_FILE_CHOOSER_DIALOG) > 0; }));
    EXPECT_EQ(CountWindows(GTK_TYPE_FILE_CHOOSER_DIALOG), 1);
    GtkWidget* chooser = FindWindow("GtkFileChooserDialog");
    ASSERT_NE(chooser, nullptr);
    EXPECT_STREQ(gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(chooser)), "plain.mht");
    browser.reset();   // its dialog goes with it
    EXPECT_TRUE(PumpUntil([] { return CountWindows(GTK_TYPE_FILE_CHOOSER_DIALOG) == 0; }));

    browser = services::NewBrowserHost();
    ASSERT_TRUE(browser->Create(window, m_server.Url("/plain"), 0, 0, 300, 200));
    browser->Command(services::BrowserCommand::PageSetup);
    ASSERT_TRUE(PumpUntil([] { return FindWindow("GtkPageSetupUnixDialog") != nullptr; }));
    gtk_dialog_response(GTK_DIALOG(FindWindow("GtkPageSetupUnixDialog")), GTK_RESPONSE_CANCEL);
    EXPECT_TRUE(PumpUntil([] { return FindWindow("GtkPageSetupUnixDialog") == nullptr; }));

    // The print dialog runs until answered; the answer comes from a timer.
    static bool answered;
    answered = false;
    g_timeout_add(100, [](gpointer) -> gboolean {
        GtkWidget* dialog = FindWindow("GtkPrintUnixDialog");
        if (dialog == nullptr) return G_SOURCE_CONTINUE;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        answered = true;
        return G_SOURCE_REMOVE;
    }, nullptr);
    browser->Command(services::BrowserCommand::Print);
    EXPECT_TRUE(answered);
    EXPECT_EQ(FindWindow("GtkPrintUnixDialog"), nullptr);
}

}  // namespace
