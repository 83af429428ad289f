#include <gtest/gtest.h>

#include "dui/controls/controls_module.h"
#include "dui/controls/page_set.h"
#include "dui/controls/text_control.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ExPageSet;
namespace headless = plat::headless;

class PageSetTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
        pages.SetPageRect(window, 10, 40, 300, 200);
    }

    void AddPages(int count) {
        for (int i = 0; i < count; ++i) {
            const int expected = pages.PageCount() + 1;
            ASSERT_EQ(pages.AddPage(), expected);
        }
    }

    ExPageSet pages;
};

TEST_F(PageSetTest, AddingAPageSelectsItAndHiddenPagesReachNothing) {
    AddPages(1);
    auto& on_first = AddControl({20, 50, 60, 30}, pages.PageHandle(1), 0xFFFF0000);
    AddPages(3);
    EXPECT_EQ(pages.SelectPage(), 4);
    for (int i = 1; i <= 3; ++i) EXPECT_FALSE(pages.Page(i)->Visible()) << i;
    EXPECT_TRUE(pages.Page(4)->Visible());

    headless::Click(window, {30, 60});
    Pump();
    EXPECT_FALSE(on_first.Received(plat::WM_LBUTTONDOWN));
    EXPECT_FALSE(on_first.Received(dui::EX_MSG_CLICK));
    EXPECT_NE(ScreenPixel(30, 60), 0xFFFF0000u);   // not drawn either

    EXPECT_EQ(pages.SelectPage(1), 1);
    Pump();
    EXPECT_EQ(ScreenPixel(30, 60), 0xFFFF0000u);
    headless::Click(window, {30, 60});
    Pump();
    EXPECT_TRUE(on_first.Received(dui::EX_MSG_CLICK));
}

TEST_F(PageSetTest, InvalidPagesChangeNothing) {
    AddPages(dui::ExPageSet::kMaxPages);
    EXPECT_EQ(pages.AddPage(), 0);   // a 21st page
    EXPECT_EQ(pages.PageCount(), 20);
    EXPECT_EQ(pages.SelectPage(), 20);
    pages.SelectPage(3);
    for (int invalid : {0, -1, 21, 1000}) {
        EXPECT_EQ(pages.SelectPage(invalid), 3);
        EXPECT_TRUE(pages.Page(3)->Visible());
        EXPECT_EQ(pages.Page(invalid), nullptr);
    }

    // The handle of a page that does not exist is no parent at all: the
    // control stays where it was instead of going to the top level.
    auto& control = AddControl({20, 50, 60, 30}, pages.PageHandle(3));
    control.SetParent(pages.PageHandle(21));
    EXPECT_EQ(control.GetParent(), pages.PageHandle(3));
    testing_support::RecordingControl orphan;
    EXPECT_EQ(orphan.Create(pages.PageHandle(0), {0, 0, 5, 5}, dui::ControlKind::TextControl),
              dui::ControlHandle::None);
}

TEST_F(PageSetTest, HiddenPagesKeepTheirHotkeysAndTabStopsToThemselves) {
    AddPages(2);
    dui::ExTextControl on_first;
    on_first.CreateTextControl(pages.PageHandle(1), 20, 50, 80, 24, "播放(&K)");
    dui::ExTextControl top_level;
    top_level.CreateTextControl(window, 320, 10, 80, 24, "顶层");
    int clicks = 0;
    on_first.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { ++clicks; });
    pages.SelectPage(2);

    headless::KeyDown(plat::VK_MENU);
    headless::PressKey('K');
    headless::KeyUp(plat::VK_MENU);
    Pump();
    EXPECT_EQ(clicks, 0);

    for (int i = 0; i < 4; ++i) {
        headless::PressKey(plat::VK_TAB);
        Pump();
        EXPECT_NE(host->FocusedControl(), on_first.GetHandle());
    }

    pages.SelectPage(1);
    headless::KeyDown(plat::VK_MENU);
    headless::PressKey('K');
    headless::KeyUp(plat::VK_MENU);
    Pump();
    EXPECT_EQ(clicks, 1);
}

TEST_F(PageSetTest, FocusLeavesAPageThatIsHiddenAndComesBackWithIt) {
    AddPages(2);
    dui::ExTextControl first_a, first_b, second;
    first_a.CreateTextControl(pages.PageHandle(1), 20, 50, 80, 24, "a");
    first_b.CreateTextControl(pages.PageHandle(1), 120, 50, 80, 24, "b");
    second.CreateTextControl(pages.PageHandle(2), 20, 50, 80, 24, "c");
    pages.SelectPage(1);
    host->SetFocus(first_b.GetHandle());

    pages.SelectPage(2);
    EXPECT_EQ(host->FocusedControl(), second.GetHandle());
    pages.SelectPage(1);
    EXPECT_EQ(host->FocusedControl(), first_b.GetHandle());

    second.Destroy();
    pages.SelectPage(2);   // nothing there takes the focus
    EXPECT_EQ(host->FocusedControl(), dui::ControlHandle::None);
}

TEST_F(PageSetTest, TabsSelectTheirPages) {
    AddPages(3);
    auto& tab = AddControl({320, 10, 40, 20});
    pages.SetPageTab(2, tab.GetHandle());
    pages.SelectPageOfTab(tab.GetHandle());
    EXPECT_EQ(pages.SelectPage(), 2);
    pages.SelectPageOfTab(dui::ControlHandle::None);
    EXPECT_EQ(pages.SelectPage(), 2);
}

}  // namespace
