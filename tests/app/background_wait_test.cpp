#include "app/background_wait.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

constexpr plat::UINT kPing = plat::WM_USER + 1;
constexpr plat::UINT kDropped = plat::WM_USER + 2;

std::vector<plat::UINT> g_received;

plat::LRESULT RecordingProc(plat::HWND hwnd, plat::UINT message, plat::WPARAM wparam,
                            plat::LPARAM lparam) {
    if (message >= plat::WM_USER) g_received.push_back(message);
    return plat::DefWindowProc(hwnd, message, wparam, lparam);
}

class BackgroundWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Headless);
        g_received.clear();
        plat::WNDCLASS window_class{};
        window_class.lpfnWndProc = RecordingProc;
        window_class.lpszClassName = "BackgroundWaitTest";
        plat::RegisterClass(&window_class);
        window = plat::CreateWindowEx(0, "BackgroundWaitTest", "", plat::WS_POPUP, 0, 0, 100, 100,
                                      nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { plat::headless::Reset(); }

    static bool DropsTheMarkedMessage(const plat::MSG& message) {
        return message.message == kDropped;
    }

    plat::HWND window = nullptr;
};

// A job slow enough that the wait has to serve messages first.
std::string SlowAnswer() {
    usleep(50'000);
    return "done";
}

TEST_F(BackgroundWaitTest, ServesOtherMessagesAndReturnsTheResult) {
    plat::PostMessage(window, kPing, 0, 0);
    plat::PostMessage(window, kDropped, 0, 0);
    plat::PostMessage(window, kPing, 0, 0);
    const std::optional<std::string> result =
        app::WaitForBackgroundJob<std::string>(window, SlowAnswer, DropsTheMarkedMessage);
    EXPECT_EQ(result, std::optional<std::string>("done"));
    EXPECT_EQ(g_received, (std::vector<plat::UINT>{kPing, kPing}));
}

TEST_F(BackgroundWaitTest, AQuitMessageEndsTheWaitAndReachesTheOuterLoop) {
    plat::PostQuitMessage(4);
    EXPECT_FALSE(app::WaitForBackgroundJob<std::string>(window, SlowAnswer, nullptr).has_value());
    plat::MSG message{};
    ASSERT_EQ(plat::GetMessage(&message, nullptr, 0, 0), 0);
    EXPECT_EQ(message.wParam, 4u);
}

TEST_F(BackgroundWaitTest, TheWindowGoingAwayEndsTheWait) {
    plat::PostMessage(window, kPing, 0, 0);
    const plat::HWND doomed = window;
    const auto destroy_on_ping = [doomed](const plat::MSG& message) {
        if (message.message == kPing) plat::DestroyWindow(doomed);
        return false;
    };
    EXPECT_FALSE(
        app::WaitForBackgroundJob<std::string>(window, SlowAnswer, destroy_on_ping).has_value());
    EXPECT_FALSE(plat::IsWindow(window));
    // Nothing is started for a window that is already gone.
    EXPECT_FALSE(app::WaitForBackgroundJob<std::string>(window, SlowAnswer, nullptr).has_value());
}

}  // namespace
