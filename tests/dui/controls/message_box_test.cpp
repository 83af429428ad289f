#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dui/controls/controls_module.h"
#include "dui/controls/label.h"
#include "dui/controls/message_box.h"
#include "dui/controls/text_control.h"
#include "dui/core/control_registry.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::MessageBoxOptions;
namespace headless = plat::headless;

constexpr const char* kExitMessage = "老衲写的这么辛苦,你真的要\r\n退出程序吗?";

// The buttons of a box by position (1 = rightmost), and its label.
struct BoxParts {
    std::vector<dui::ExControl*> buttons;   // index = position - 1
    dui::ExLabel* label = nullptr;
};

BoxParts PartsOf(plat::HWND box) {
    BoxParts parts;
    dui::ExHostWindow* host = dui::HostFromWindow(box);
    if (host == nullptr) return parts;
    for (auto at = host->TopLevelList().first; at != dui::ControlHandle::None;) {
        dui::ExControl* control = dui::ResolveControl(at);
        if (control == nullptr) break;
        if (auto* label = dynamic_cast<dui::ExLabel*>(control); label && label != host->TitleLabel()) {
            parts.label = label;
        }
        const std::string& tag = control->Tag();
        if (std::count(tag.begin(), tag.end(), '|') == 2) {
            const int position = std::stoi(tag.substr(tag.rfind('|') + 1));
            if (parts.buttons.size() < static_cast<size_t>(position)) parts.buttons.resize(position);
            parts.buttons[static_cast<size_t>(position - 1)] = control;
        }
        at = control->NextSibling();
    }
    return parts;
}

plat::POINT CentreOf(const dui::ExControl& control) {
    const dui::RectF& b = control.Bounds();
    return {static_cast<int>(b.left + b.width / 2), static_cast<int>(b.top + b.height / 2)};
}

class MessageBoxTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
        plat::ShowWindow(window, plat::SW_SHOW);
        // Fades of the buttons run on timers while a box waits.
        headless::SetAutoAdvanceBudget(60'000);
    }

    MessageBoxOptions ExitQuestion() {
        MessageBoxOptions options;
        options.buttons = dui::kButtonsConfirmCancel;
        options.captions = {"手贱了", "是的"};
        options.icon = dui::kIconQuestion;
        options.default_button = 2;
        options.centre_on_owner = true;
        options.init = [this](plat::HWND box, int width, int height) {
            this->box = box;
            box_size = {width, height};
        };
        return options;
    }

    // Asks the exit question and answers it with `answer` once the box waits.
    int AskExitQuestion(std::function<void()> answer) {
        headless::PushStep(std::move(answer));
        return dui::ShowMessageBox(window, kExitMessage, ExitQuestion());
    }

    plat::HWND box = nullptr;
    plat::SIZE box_size{};
};

TEST_F(MessageBoxTest, ExitQuestionAnsweredByKeyboard) {
    EXPECT_EQ(AskExitQuestion([] { headless::PressKey(plat::VK_RETURN); }), dui::kCodeConfirm);
    EXPECT_FALSE(plat::IsWindow(box));
    EXPECT_EQ(AskExitQuestion([] { headless::PressKey(plat::VK_ESCAPE); }), dui::kCodeCancel);
    // Tab moves to "手贱了"; Enter answers with its code.
    EXPECT_EQ(AskExitQuestion([] {
                  headless::PressKey(plat::VK_TAB);
                  headless::PressKey(plat::VK_RETURN);
              }),
              dui::kCodeCancel);
    // The replaced captions carry no hotkeys: Alt+Y leaves the box open.
    headless::PushStep([] {
        headless::KeyDown(plat::VK_MENU);
        headless::PressKey('Y');
        headless::KeyUp(plat::VK_MENU);
    });
    EXPECT_EQ(AskExitQuestion([] { headless::PressKey(plat::VK_ESCAPE); }), dui::kCodeCancel);
    EXPECT_EQ(headless::PendingSteps(), 0u);
}

TEST_F(MessageBoxTest, ExitQuestionAnsweredByClicks) {
    EXPECT_EQ(AskExitQuestion([&] {
                  const BoxParts parts = PartsOf(box);
                  ASSERT_EQ(parts.buttons.size(), 2u);
                  headless::Click(box, CentreOf(*parts.buttons[1]));   // "是的"
              }),
              dui::kCodeConfirm);
    EXPECT_EQ(AskExitQuestion([&] { headless::Click(box, CentreOf(*PartsOf(box).buttons[0])); }),
              dui::kCodeCancel);
    // The message label and the close button end it with 1 too.
    EXPECT_EQ(AskExitQuestion([&] { headless::Click(box, CentreOf(*PartsOf(box).label)); }), dui::kCodeCancel);
    EXPECT_EQ(AskExitQuestion([&] {
                  const auto& close = dui::HostFromWindow(box)->CaptionButtons();
                  ASSERT_FALSE(close.empty());
                  headless::Click(box, CentreOf(*close.front()));
              }),
              dui::kCodeCancel);
}

TEST_F(MessageBoxTest, ExitQuestionShapeAndOwnership) {
    plat::RECT owner_rect{};
    plat::GetWindowRect(window, &owner_rect);
    bool owner_enabled_while_open = true;
    bool focused_default = false;
    int code = AskExitQuestion([&] {
        owner_enabled_while_open = plat::IsWindowEnabled(window) != 0;
        const BoxParts parts = PartsOf(box);
        focused_default = dui::HostFromWindow(box)->FocusedControl() == parts.buttons[1]->GetHandle();
        EXPECT_EQ(dynamic_cast<dui::ExTextControl*>(parts.buttons[0])->Caption(), "手贱了");
        EXPECT_EQ(dynamic_cast<dui::ExTextControl*>(parts.buttons[1])->Caption(), "是的");
        EXPECT_EQ(plat::GetParent(box), window);   // owned: kept above its owner
        EXPECT_EQ(plat::GetWindowRole(box), plat::WindowRole::Dialog);
        plat::RECT rect{};
        plat::GetWindowRect(box, &rect);
        EXPECT_EQ((rect.left + rect.right) / 2, (owner_rect.left + owner_rect.right) / 2);
        EXPECT_EQ((rect.top + rect.bottom) / 2, (owner_rect.top + owner_rect.bottom) / 2);
        // The question icon is painted in its cell.
        EXPECT_NE(headless::Pixel(box, 50, 60), headless::Pixel(box, 20, 110));
        headless::PressKey(plat::VK_ESCAPE);
    });
    EXPECT_EQ(code, dui::kCodeCancel);
    EXPECT_FALSE(owner_enabled_while_open);
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    EXPECT_TRUE(focused_default);
    EXPECT_EQ(box_size.cx, 320);   // two short lines fit the standard box
    EXPECT_EQ(headless::Beeps(), std::vector<plat::UINT>{plat::MB_ICONQUESTION});
}

TEST_F(MessageBoxTest, OneLineKeepsTheStandardBoxAndIsCentredOnItsHeight) {
    MessageBoxOptions options;
    options.beep = false;
    plat::HWND seen = nullptr;
    options.init = [&](plat::HWND box, int width, int height) {
        seen = box;
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 150);
        const BoxParts parts = PartsOf(box);
        ASSERT_NE(parts.label, nullptr);
        EXPECT_FALSE(parts.label->WordWrap());
        EXPECT_EQ(parts.label->VerticalAlignment(), dui::kLabelCentre);
        EXPECT_EQ(parts.label->Bounds().top, 43 + 4);  // a single line is nudged down
        ASSERT_EQ(parts.buttons.size(), 1u);
        EXPECT_EQ(parts.buttons[0]->Bounds(), (dui::RectF{320 - 75 - 8, 150 - 35, 70, 24}));
    };
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    // Esc answers 1 even where no button has that code.
    EXPECT_EQ(dui::ShowMessageBox(window, "一行", options), dui::kCodeCancel);
    EXPECT_NE(seen, nullptr);
    EXPECT_TRUE(headless::Beeps().empty());
}

TEST_F(MessageBoxTest, LongTextGrowsTheBoxAndButtonsFollowItsEdges) {
    MessageBoxOptions options;
    options.buttons = dui::kButtonsYesNoCancel;
    plat::SIZE wide{}, tall{};
    options.init = [&](plat::HWND box, int width, int height) {
        wide = {width, height};
        const BoxParts parts = PartsOf(box);
        ASSERT_EQ(parts.buttons.size(), 3u);
        for (int position = 1; position <= 3; ++position) {
            const dui::RectF& b = parts.buttons[static_cast<size_t>(position - 1)]->Bounds();
            EXPECT_EQ(b.left, static_cast<float>(width - position * 75 - 8));
            EXPECT_EQ(b.top, static_cast<float>(height - 35));
        }
    };
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    dui::ShowMessageBox(window, std::string(120, 'W'), options);
    EXPECT_GT(wide.cx, 320);
    EXPECT_EQ(wide.cy, 150);

    options.init = [&](plat::HWND, int width, int height) { tall = {width, height}; };
    std::string lines;
    for (int i = 0; i < 12; ++i) lines += "第几行\n";
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    dui::ShowMessageBox(window, lines, options);
    EXPECT_EQ(tall.cx, 320);
    EXPECT_GT(tall.cy, 150);
}

TEST_F(MessageBoxTest, AResizedBoxPlacesItsButtonsTenPixelsFromTheRightEdge) {
    MessageBoxOptions options;
    options.buttons = dui::kButtonsYesNo;
    options.init = [this](plat::HWND shown, int, int) { box = shown; };
    std::vector<dui::RectF> placed;
    headless::PushStep([&] {
        plat::RECT rect{};
        plat::GetWindowRect(box, &rect);
        plat::MoveWindow(box, rect.left, rect.top, 400, 200, 1);
        headless::PumpMessages();
        for (const auto* button : PartsOf(box).buttons) placed.push_back(button->Bounds());
        headless::PressKey(plat::VK_ESCAPE);
    });
    dui::ShowMessageBox(window, "?", options);
    EXPECT_EQ(placed, (std::vector<dui::RectF>{{400 - 75 - 10, 200 - 35, 70, 24},
                                              {400 - 150 - 10, 200 - 35, 70, 24}}));
}

TEST_F(MessageBoxTest, HostileTextStaysWithinTheWorkArea) {
    MessageBoxOptions options;
    plat::SIZE size{};
    options.init = [&](plat::HWND, int width, int height) { size = {width, height}; };
    std::string huge;
    for (int i = 0; i < 5000; ++i) huge += "很长很长的一行文字\n";
    huge += std::string(100000, 'x');
    huge += '\xB0';   // a cut-off lead byte
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    EXPECT_EQ(dui::ShowMessageBox(window, huge, options), dui::kCodeCancel);
    EXPECT_LE(size.cx, 1920);
    EXPECT_LE(size.cy, 1040);
}

TEST_F(MessageBoxTest, KeptInsideTheWorkAreaWhenTheOwnerIsPartlyOffScreen) {
    plat::MoveWindow(window, -300, 900, 470, 390, 1);
    MessageBoxOptions options = ExitQuestion();
    headless::PushStep([&] {
        plat::RECT rect{};
        plat::GetWindowRect(box, &rect);
        EXPECT_GE(rect.left, 0);
        EXPECT_LE(rect.bottom, 1040);
        headless::PressKey(plat::VK_ESCAPE);
    });
    dui::ShowMessageBox(window, "?", options);
}

TEST_F(MessageBoxTest, CaptionsBeyondTheSetAreIgnoredAndMissingOnesStandard) {
    MessageBoxOptions options;
    options.buttons = dui::kButtonsYesNoCancel;
    options.captions = {"算了"};
    std::vector<std::string> captions;
    options.init = [&](plat::HWND box, int, int) {
        for (dui::ExControl* button : PartsOf(box).buttons) {
            captions.push_back(dynamic_cast<dui::ExTextControl*>(button)->Caption());
        }
    };
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    dui::ShowMessageBox(window, "?", options);
    EXPECT_EQ(captions, (std::vector<std::string>{"算了", "否(&N)", "是(&Y)"}));

    // A set with no buttons stays that way whatever captions are given;
    // only Esc or the close button end it.
    options.buttons = 9;
    options.captions = {"一", "二"};
    captions.clear();
    headless::PushStep([] { headless::PressKey(plat::VK_RETURN); });
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    EXPECT_EQ(dui::ShowMessageBox(window, "?", options), dui::kCodeCancel);
    EXPECT_TRUE(captions.empty());
    EXPECT_EQ(headless::PendingSteps(), 0u);
}

TEST_F(MessageBoxTest, HotkeysAndTagsOfOtherBoxesAreIgnored) {
    MessageBoxOptions options;
    options.buttons = dui::kButtonsYesNo;
    headless::PushStep([] {
        headless::KeyDown(plat::VK_MENU);
        headless::PressKey('N');
        headless::KeyUp(plat::VK_MENU);
    });
    EXPECT_EQ(dui::ShowMessageBox(window, "?", options), dui::kCodeNo);

    plat::HWND seen = nullptr;
    options.init = [&](plat::HWND box, int, int) {
        seen = box;
        PartsOf(box).buttons[0]->Tag("99999|4|1");   // not this box's
    };
    headless::PushStep([&] { headless::Click(seen, CentreOf(*PartsOf(seen).buttons[0])); });
    EXPECT_EQ(dui::ShowMessageBox(window, "?", options), dui::kCodeCancel);
}

TEST_F(MessageBoxTest, QuitWhileOpenEndsTheBoxAndReachesTheOuterLoop) {
    MessageBoxOptions options = ExitQuestion();
    headless::PushStep([] { plat::PostQuitMessage(3); });
    EXPECT_EQ(dui::ShowMessageBox(window, kExitMessage, options), dui::kCodeCancel);
    EXPECT_FALSE(plat::IsWindow(box));
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageBoxTest, AskedFromAClickHandlerInsideAnotherModalLoop) {
    auto& button = AddControl({10, 10, 80, 30});
    std::vector<int> answers;
    button.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) {
        MessageBoxOptions outer;
        outer.buttons = dui::kButtonsConfirmCancel;
        outer.init = [&](plat::HWND outer_box, int, int) {
            // Asked from a button of the first box: boxes nest.
            auto* first = PartsOf(outer_box).buttons[1];
            first->BindEvent(dui::EX_MSG_CLICK, [&, outer_box](const dui::ControlEvent&) {
                MessageBoxOptions inner;
                inner.buttons = dui::kButtonsYesNo;
                headless::PushStep([] { headless::PressKey(plat::VK_RETURN); });
                answers.push_back(dui::ShowMessageBox(outer_box, "inner", inner));
                EXPECT_FALSE(plat::IsWindowEnabled(window));   // still under the outer box
            });
        };
        headless::PushStep([&] { headless::PressKey(plat::VK_TAB); headless::PressKey(plat::VK_SPACE); });
        answers.push_back(dui::ShowMessageBox(window, "outer", outer));
        plat::DestroyWindow(window);
    });
    headless::PushStep([&] { headless::Click(window, {20, 20}); });
    dui::RunModalLoop(window);
    EXPECT_EQ(answers, (std::vector<int>{dui::kCodeNo, dui::kCodeConfirm}));
}

TEST_F(MessageBoxTest, WithoutOwnerItCentresOnTheWorkAreaInTheAccentLook) {
    MessageBoxOptions options;
    plat::HWND seen = nullptr;
    options.init = [&](plat::HWND box, int, int) { seen = box; };
    headless::PushStep([&] {
        plat::RECT rect{};
        plat::GetWindowRect(seen, &rect);
        EXPECT_EQ(rect.left, (1920 - 320) / 2);
        EXPECT_EQ(rect.top, (1040 - 150) / 2);
        EXPECT_EQ(dui::HostFromWindow(seen)->BackgroundColour(), 0xFF8800);
        headless::PressKey(plat::VK_ESCAPE);
    });
    EXPECT_EQ(dui::ShowMessageBox(nullptr, "?", options), dui::kCodeCancel);
    plat::HWND stale = plat::CreateWindowEx(0, "Ex_DirectUI", "", plat::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                            nullptr, nullptr);
    plat::DestroyWindow(stale);
    headless::PushStep([] { headless::PressKey(plat::VK_ESCAPE); });
    options.centre_on_owner = true;
    EXPECT_EQ(dui::ShowMessageBox(stale, "?", options), dui::kCodeCancel);
}

}  // namespace
