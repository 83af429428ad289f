#include "services/browser_host.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "services/browser_host_recorder.h"
#include "tests/support/paths.h"

namespace {

using namespace plat;
using services::BrowserCommand;
using services::BrowserHost;

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        Initialise(Backend::Headless);
        headless::Reset();
        WNDCLASSEX window_class;
        window_class.lpfnWndProc = DefWindowProc;
        window_class.lpszClassName = "BrowserHostTestWindow";
        RegisterClassEx(&window_class);
        m_window = CreateWindowEx(0, "BrowserHostTestWindow", "", WS_POPUP, 0, 0, 560, 466,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override { Shutdown(); }

    HWND m_window = nullptr;
};

TEST_F(BrowserHostTest, CommandNumbersOutsideTheTableMeanGoForward) {
    EXPECT_EQ(services::BrowserCommandFromNumber(10), BrowserCommand::GoForward);
    EXPECT_EQ(services::BrowserCommandFromNumber(-1), BrowserCommand::GoForward);
    EXPECT_EQ(services::BrowserCommandFromNumber(4), BrowserCommand::Refresh);
    EXPECT_EQ(services::BrowserCommandFromNumber(9), BrowserCommand::PageSetup);
}

TEST_F(BrowserHostTest, WithoutTheModuleABrowserIsEmptyAndSaysWhy) {
    for (const std::string& path : {std::string("/nonexistent/libseed-browser.so"),
                                   testing_support::SourcePath("CMakeLists.txt")}) {
        services::SetBrowserModulePath(path);
        std::unique_ptr<BrowserHost> browser = services::NewBrowserHost();
        ASSERT_NE(browser, nullptr);
        EXPECT_FALSE(services::BrowserModuleLoaded());
        EXPECT_NE(services::BrowserModuleError().find(path), std::string::npos)
            << services::BrowserModuleError();

        EXPECT_FALSE(browser->Create(m_window, "http://127.0.0.1/", 10, 36, 540, 420));
        EXPECT_EQ(browser->Window(), nullptr);
        EXPECT_FALSE(browser->Navigate("http://127.0.0.1/"));
        browser->Command(BrowserCommand::Refresh);
        EXPECT_EQ(browser->Title("x"), "");
        EXPECT_EQ(browser->Location(), "");
        EXPECT_EQ(browser->PageSource(), "");
        EXPECT_EQ(browser->RawInterface(), nullptr);
        EXPECT_EQ(browser->Document(), nullptr);
    }
    services::SetBrowserModulePath({});
}

TEST_F(BrowserHostTest, RecorderHandsOutBrowsersThatLiveAndDieWithTheirWindow) {
    services::BrowserHostRecorder recorder;
    std::unique_ptr<BrowserHost> first = services::NewBrowserHost();
    std::unique_ptr<BrowserHost> second = services::NewBrowserHost();
    ASSERT_TRUE(first->Create(m_window, "http://a/", 10, 36, 540, 420));
    ASSERT_TRUE(second->Create(m_window, std::nullopt, 0, 0));
    ASSERT_EQ(recorder.Browsers().size(), 2u);
    const services::RecordedBrowser& a = *recorder.Browsers()[0];
    const services::RecordedBrowser& b = *recorder.Browsers()[1];
    EXPECT_EQ(a.created_with, "http://a/");
    EXPECT_EQ(a.id, services::kFirstBrowserId);
    EXPECT_EQ(b.id, services::kFirstBrowserId + 1);
    EXPECT_FALSE(b.created_with.has_value());
    EXPECT_EQ(b.rect.right, services::kDefaultBrowserWidth);
    EXPECT_TRUE(IsChild(m_window, first->Window()));

    // Events reach the handler, which may destroy its browser.
    int fired = 0;
    first->OnDocumentComplete([&](const services::BrowserEvent& event) {
        ++fired;
        EXPECT_EQ(event.address, "http://a/");
        first.reset();
    });
    services::BrowserHostRecorder::Fire(*recorder.Browsers()[0],
                                        {services::BrowserEventKind::DocumentComplete, 501, "http://a/", ""});
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(a.object_destroyed);
    EXPECT_TRUE(a.window_destroyed);

    DestroyWindow(m_window);
    EXPECT_TRUE(b.window_destroyed);
    EXPECT_EQ(second->Window(), nullptr);
    EXPECT_FALSE(second->Navigate("http://b/"));
    second.reset();

    recorder.FailCreation(true);
    std::unique_ptr<BrowserHost> failing = services::NewBrowserHost();
    EXPECT_FALSE(failing->Create(nullptr, "http://c/", 0, 0));
}

}  // namespace
