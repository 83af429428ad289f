#include "app/exit_question.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/start_up.h"
#include "dui/controls/message_box.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

class ExitQuestionTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Headless);
        plat::headless::SetWorkArea({0, 0, 1280, 1000});
        plat::headless::SetAutoAdvanceBudget(60'000);  // close animations run on timers
        ASSERT_TRUE(app::InitialiseModules());
        dui::HostWindowOptions options;
        options.title = "test";
        options.width = 470;
        options.height = 390;
        window = dui::CreateHostWindow(options);
        ASSERT_NE(window, nullptr);
        host = std::make_unique<dui::ExHostWindow>();
        dui::AttachOptions attach;
        attach.flags = app::kMainWindowFlags;
        attach.background_colour = 0xFFFFFF;
        ASSERT_TRUE(host->Attach(window, std::move(attach)));
        host->OnMessage([this](plat::HWND hwnd, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
            return question.ShowExitQuestion(hwnd, message, wparam, lparam);
        });
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        plat::headless::PumpMessages();
    }
    void TearDown() override {
        if (plat::IsWindow(window)) plat::DestroyWindow(window);
        host.reset();
        plat::headless::Reset();
    }

    // The message box window the question opened, seen from a scripted step.
    static plat::HWND OpenBox() {
        const plat::HWND active = plat::GetActiveWindow();
        return plat::GetProp(active, dui::kMessageBoxProperty) != nullptr ? active : nullptr;
    }

    static bool QuitPending() {
        plat::MSG message{};
        while (plat::PeekMessage(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
            if (message.message == plat::WM_QUIT) return true;
        }
        return false;
    }

    plat::HWND window = nullptr;
    std::unique_ptr<dui::ExHostWindow> host;
    app::ExitQuestion question;
};

TEST_F(ExitQuestionTest, CancelKeepsTheWindowAndTheProgram) {
    plat::HWND box = nullptr;
    plat::headless::PushStep([&] {
        box = OpenBox();
        EXPECT_TRUE(question.Asking());
        plat::headless::PressKey(plat::VK_ESCAPE);
    });
    EXPECT_EQ(plat::SendMessage(window, plat::WM_CLOSE, 0, 0), 0);
    EXPECT_NE(box, nullptr);
    EXPECT_FALSE(question.Asking());
    EXPECT_TRUE(plat::IsWindow(window));
    EXPECT_FALSE(QuitPending());
}

TEST_F(ExitQuestionTest, TheDefaultAnswerClosesTheWindowAndEndsTheLoop) {
    plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_RETURN); });
    plat::PostMessage(window, plat::WM_CLOSE, 0, 0);
    plat::headless::PumpMessages();
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_TRUE(QuitPending());
}

TEST_F(ExitQuestionTest, ACloseRequestWhileAskingIsRefusedWithoutASecondBox) {
    intptr_t second_answer = -2;
    plat::HWND first_box = nullptr;
    plat::HWND box_after = nullptr;
    plat::headless::PushStep([&] {
        first_box = OpenBox();
        second_answer = plat::SendMessage(window, plat::WM_CLOSE, 0, 0);
        box_after = OpenBox();
        plat::headless::PressKey(plat::VK_ESCAPE);
    });
    EXPECT_EQ(plat::SendMessage(window, plat::WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(second_answer, 0);
    ASSERT_NE(first_box, nullptr);
    EXPECT_EQ(box_after, first_box);
    EXPECT_TRUE(plat::IsWindow(window));
    // Asking again afterwards works.
    plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_RETURN); });
    plat::SendMessage(window, plat::WM_CLOSE, 0, 0);
    plat::headless::PumpMessages();
    EXPECT_FALSE(plat::IsWindow(window));
}

}  // namespace
