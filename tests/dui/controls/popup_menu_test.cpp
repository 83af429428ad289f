#include "dui/controls/popup_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dui/controls/controls_module.h"
#include "dui/controls/menu_item_control.h"
#include "dui/core/font.h"
#include "dui/core/string_format.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ExPopupMenu;
using dui::MenuCommand;
using testing_support::RecordingControl;
namespace headless = plat::headless;

// Client point of the middle of item `row` (0-based, no separators above).
plat::POINT ItemPoint(int row) { return {40, 8 + 22 * row + 11}; }

class PopupMenuTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        AttachHost();
        plat::RECT rect{};
        plat::GetWindowRect(window, &rect);
        origin = {rect.left, rect.top};
        left = &AddControl({10, 10, 100, 30});
        right = &AddControl({200, 10, 100, 30});
        host->SetFocus(left->GetHandle());
        Pump();
        menu.AddItem("&Alpha", MenuCommand{101});
        menu.AddItem("&Beta", MenuCommand{102});
        menu.AddSeparator();
        dui::MenuItemOptions disabled;
        disabled.state = dui::kMenuItemDisabled;
        menu.AddItem("&Gamma", MenuCommand{103}, disabled);
    }

    // Puts the pointer over the right control, where the menu opens.
    void PointAtRight() {
        headless::MouseMove(window, {250, 25});
        Pump();
    }

    // The open menu window (the innermost one holds the input grab).
    static plat::HWND MenuWindow() {
        const plat::HWND holder = plat::PopupInputHolder();
        return plat::GetWindowText(holder) == dui::kMenuWindowTitle ? holder : nullptr;
    }

    std::vector<uintptr_t> CommandsTo(const RecordingControl& control) const {
        std::vector<uintptr_t> out;
        for (const auto& m : control.Only({plat::WM_COMMAND})) out.push_back(m.wparam);
        return out;
    }

    plat::POINT origin{};
    RecordingControl* left = nullptr;
    RecordingControl* right = nullptr;
    ExPopupMenu menu;
};

TEST_F(PopupMenuTest, ChosenCommandReachesControlUnderPointerAfterWindowIsGone) {
    PointAtRight();
    plat::HWND seen_menu = nullptr;
    bool menu_alive_at_delivery = true;
    right->BindEvent(plat::WM_COMMAND, [&](const dui::ControlEvent&) {
        menu_alive_at_delivery = plat::IsWindow(seen_menu) != 0;
    });
    headless::PushStep([&] {
        seen_menu = MenuWindow();
        ASSERT_NE(seen_menu, nullptr);
        headless::Click(seen_menu, ItemPoint(1));
    });
    menu.Popup(window);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{102});
    EXPECT_TRUE(CommandsTo(*left).empty());
    EXPECT_FALSE(menu_alive_at_delivery);
    ASSERT_FALSE(right->Only({plat::WM_COMMAND}).empty());
    EXPECT_EQ(right->Only({plat::WM_COMMAND}).front().lparam,
              static_cast<intptr_t>(dui::Raw(right->GetHandle())));
    // The control the menu was opened over got the focus.
    EXPECT_EQ(host->FocusedControl(), right->GetHandle());
    EXPECT_FALSE(dui::PopupMenuOpen());
}

TEST_F(PopupMenuTest, ClickOnDisabledItemOrSeparatorKeepsMenuOpen) {
    PointAtRight();
    bool open_after_clicks = false;
    headless::PushStep([&] {
        headless::Click(MenuWindow(), ItemPoint(2) /* separator area, then Gamma */);
        headless::Click(MenuWindow(), {40, 8 + 22 * 2 + 3 + 11});
    });
    headless::PushStep([&] {
        open_after_clicks = MenuWindow() != nullptr;
        headless::PressKey(plat::VK_ESCAPE);
    });
    menu.Popup(window);
    EXPECT_TRUE(open_after_clicks);
    EXPECT_TRUE(CommandsTo(*right).empty());
}

TEST_F(PopupMenuTest, PressOnOwnerClosesMenuAndReachesTheControlUnderThePointer) {
    PointAtRight();
    headless::PushStep([&] {
        headless::Click(window, {50, 20});
    });
    left->ClearLog();
    menu.Popup(window);
    EXPECT_EQ(MenuWindow(), nullptr);
    Pump();
    EXPECT_TRUE(left->Received(plat::WM_LBUTTONDOWN));
    EXPECT_TRUE(left->Received(plat::WM_LBUTTONUP));
    EXPECT_TRUE(CommandsTo(*left).empty());
    EXPECT_TRUE(CommandsTo(*right).empty());
}

TEST_F(PopupMenuTest, PressOutsideProgramOrBrokenGrabClosesMenu) {
    PointAtRight();
    plat::HWND seen = nullptr;
    headless::PushStep([&] {
        seen = MenuWindow();
        headless::PressOutsideProgram({1910, 1070});
    });
    menu.Popup(window);
    EXPECT_FALSE(dui::PopupMenuOpen());
    EXPECT_FALSE(plat::IsWindow(seen));
    EXPECT_EQ(plat::PopupInputHolder(), nullptr);

    headless::PushStep([&] { headless::BreakPopupGrab(); });
    menu.Popup(window);
    EXPECT_FALSE(dui::PopupMenuOpen());
    EXPECT_TRUE(CommandsTo(*right).empty());
    EXPECT_TRUE(CommandsTo(*left).empty());
}

TEST_F(PopupMenuTest, RefusedGrabOpensNothing) {
    PointAtRight();
    headless::RefusePopupGrabs(true);
    menu.Popup(window);  // no step is needed: nothing waits for input
    headless::RefusePopupGrabs(false);
    EXPECT_FALSE(dui::PopupMenuOpen());
    EXPECT_EQ(plat::PopupInputHolder(), nullptr);
    EXPECT_TRUE(CommandsTo(*right).empty());
}

TEST_F(PopupMenuTest, KeyboardMovesOverDisabledItemsAndChooses) {
    PointAtRight();
    headless::PushStep([&] {
        headless::PressKey(plat::VK_UP);    // wraps to the last selectable: Beta
        headless::PressKey(plat::VK_DOWN);  // Gamma is disabled: wraps to Alpha
        headless::PressKey(plat::VK_DOWN);  // Beta
        headless::PressKey(plat::VK_RETURN);
    });
    menu.Popup(window);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{102});

    right->ClearLog();
    headless::PushStep([&] { headless::PressKey('A', "a"); });
    menu.Popup(window);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{101});

    // The underlined letter of a disabled item chooses nothing.
    right->ClearLog();
    headless::PushStep([&] { headless::PressKey('G', "g"); });
    headless::PushStep([&] { headless::PressKey(plat::VK_ESCAPE); });
    menu.Popup(window);
    EXPECT_TRUE(CommandsTo(*right).empty());
}

TEST_F(PopupMenuTest, CommandForDestroyedTargetIsDropped) {
    PointAtRight();
    headless::PushStep([&] {
        right->Destroy();
        headless::Click(MenuWindow(), ItemPoint(0));
    });
    menu.Popup(window);
    Pump();
    EXPECT_TRUE(CommandsTo(*left).empty());
}

TEST_F(PopupMenuTest, SubroutineRunsAfterMenuIsGoneAndMayPopAgain) {
    PointAtRight();
    int calls = 0;
    bool menu_gone = false;
    ExPopupMenu again;
    again.AddItem("again", MenuCommand{7});
    ExPopupMenu first;
    first.AddItem("run", [&] {
        ++calls;
        menu_gone = !dui::PopupMenuOpen() && MenuWindow() == nullptr;
        headless::PushStep([&] {
            headless::PressKey(plat::VK_DOWN);
            headless::PressKey(plat::VK_RETURN);
        });
        again.Popup(window);
    });
    headless::PushStep([&] { headless::Click(MenuWindow(), ItemPoint(0)); });
    first.Popup(window);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(menu_gone);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{7});
}

TEST_F(PopupMenuTest, SubmenuOpensAfterHoverDelayAndDeliversItsCommand) {
    ExPopupMenu sub;
    sub.AddItem("Inner", MenuCommand{201});
    ExPopupMenu outer;
    outer.AddItem("Plain", MenuCommand{200});
    outer.AddSubmenu("More", sub);
    PointAtRight();
    plat::HWND submenu = nullptr;
    plat::HWND root = nullptr;
    headless::PushStep([&] {
        root = MenuWindow();
        headless::MouseMove(root, ItemPoint(1));
    });
    headless::PushStep([&] {
        // Nothing has opened before the delay.
        EXPECT_EQ(MenuWindow(), root);
        headless::AdvanceClock(dui::ExMenuItemControl::kHoverDelayMs);
    });
    headless::PushStep([&] {
        // The submenu holds the grab, and its parent records it.
        submenu = MenuWindow();
        ASSERT_NE(submenu, root);
        EXPECT_EQ(reinterpret_cast<plat::HWND>(plat::GetProp(root, "Ex_DirectUI_Sub")), submenu);
        headless::PressKey(plat::VK_ESCAPE);  // closes the submenu only
    });
    headless::PushStep([&] {
        EXPECT_EQ(MenuWindow(), root);
        EXPECT_FALSE(plat::IsWindow(submenu));
        headless::PressKey(plat::VK_RIGHT);  // reopens it, its first item current
    });
    headless::PushStep([&] {
        submenu = MenuWindow();
        ASSERT_NE(submenu, root);
        headless::Click(submenu, ItemPoint(0));
    });
    outer.Popup(window);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{201});
    EXPECT_FALSE(plat::IsWindow(submenu));
}

TEST_F(PopupMenuTest, RightReleaseChoosesOnlyAfterGracePeriod) {
    PointAtRight();
    headless::PushStep([&] {
        headless::MouseUp(MenuWindow(), ItemPoint(0), plat::MouseButton::Right);
    });
    headless::PushStep([&] {
        headless::AdvanceClock(600);
        headless::MouseUp(MenuWindow(), ItemPoint(1), plat::MouseButton::Right);
    });
    menu.Popup(window);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{102});
}

TEST_F(PopupMenuTest, OpensLeftAndAboveNearBottomRightCorner) {
    const plat::SIZE size = dui::MenuSize(menu.Items(), 0);
    plat::RECT seen{};
    headless::PushStep([&] {
        plat::GetWindowRect(MenuWindow(), &seen);
        headless::PressKey(plat::VK_ESCAPE);
    });
    menu.Popup(window, 1900, 1030);
    EXPECT_EQ(seen.left, 1900 - size.cx);
    EXPECT_EQ(seen.top, 1030 - size.cy + 5);
    EXPECT_EQ(seen.right - seen.left, size.cx);
}

TEST_F(PopupMenuTest, AnchoredMenuOpensBelowOwnerAndTakesKeys) {
    plat::RECT owner{};
    plat::GetWindowRect(window, &owner);
    plat::RECT seen{};
    headless::PushStep([&] {
        plat::GetWindowRect(MenuWindow(), &seen);
        headless::PressKey(plat::VK_END);
        headless::PressKey(plat::VK_RETURN);
    });
    headless::SetAutoAdvanceBudget(1000);  // the fade-in's frames
    PointAtRight();
    menu.PopupAnchored(window);
    EXPECT_EQ(seen.left, owner.left - 6);
    EXPECT_EQ(seen.top, owner.bottom - 6);
    EXPECT_EQ(CommandsTo(*right), std::vector<uintptr_t>{102});
}

TEST(PopupMenuPlacement, FlipsAtEdgesAndStaysInsideWorkArea) {
    const plat::RECT area{0, 0, 1920, 1040};
    const plat::SIZE size{120, 100};
    EXPECT_EQ(dui::PlaceContextMenu({100, 100}, size, area).x, 100);
    // x + width - 5 at exactly the edge stays; one more flips.
    EXPECT_EQ(dui::PlaceContextMenu({1805, 100}, size, area).x, 1800);
    EXPECT_EQ(dui::PlaceContextMenu({1806, 100}, size, area).x, 1686);
    EXPECT_EQ(dui::PlaceContextMenu({100, 940}, size, area).y, 940);
    EXPECT_EQ(dui::PlaceContextMenu({100, 941}, size, area).y, 846);
    // Flipping past the far edge is clamped back inside.
    const plat::POINT huge = dui::PlaceContextMenu({50, 30}, {1900, 1030}, {0, 0, 1920, 1040});
    EXPECT_EQ(huge.x, 0);
    EXPECT_EQ(huge.y, 0);
    const plat::POINT offset_area = dui::PlaceContextMenu({-500, -500}, size, {100, 50, 800, 600});
    EXPECT_EQ(offset_area.x, 100);
    EXPECT_EQ(offset_area.y, 50);

    const plat::RECT parent{100, 100, 300, 300};
    const plat::RECT item{108, 130, 292, 152};
    const plat::POINT beside = dui::PlaceSubmenu(parent, item, size, area);
    EXPECT_GT(beside.x + 6, parent.right - 6 - 6);
    EXPECT_EQ(beside.y, 122);
    const plat::POINT flipped = dui::PlaceSubmenu({1700, 100, 1900, 300}, item, size, area);
    EXPECT_LT(flipped.x + size.cx, 1700 + 20);
}

class PopupMenuSizeTest : public testing_support::HostFixture {};

TEST_F(PopupMenuSizeTest, HeightCountsItemsAndWidthFollowsCaptionFont) {
    ExPopupMenu menu;
    EXPECT_EQ(dui::MenuSize(menu.Items(), 0).cy, 16);
    menu.AddItem("short", MenuCommand{1});
    menu.AddSeparator();
    menu.AddItem("a much longer caption", MenuCommand{2});
    const plat::SIZE size = dui::MenuSize(menu.Items(), 0);
    EXPECT_EQ(size.cy, 16 + 22 + 3 + 22);
    const dui::RectF caption =
        dui::MeasureStyledText("a much longer caption", dui::MenuItemTextStyle(), dui::RectF{});
    EXPECT_NEAR(size.cx, caption.width + 50, 1.0);

    ExPopupMenu with_sub = menu;
    with_sub.AddSubmenu("x", menu);
    EXPECT_NEAR(dui::MenuSize(with_sub.Items(), 0).cx, caption.width + 65, 1.0);

    EXPECT_EQ(menu.Width(10), 50);
    EXPECT_EQ(dui::MenuSize(menu.Items(), menu.Width()).cx, 50);
    EXPECT_EQ(menu.Width(0), 0);
}

TEST(PopupMenuItems, OperationsOnPositionsOutsideTheListChangeNothing) {
    ExPopupMenu menu;
    menu.AddItem("one", MenuCommand{1});
    EXPECT_FALSE(menu.CheckItem(0));
    EXPECT_FALSE(menu.CheckItem(2));
    EXPECT_TRUE(menu.CheckItem(1));
    EXPECT_EQ(menu.ItemText(2, "x"), "");
    EXPECT_EQ(menu.ItemState(0, -1), 0);
    EXPECT_FALSE(menu.RemoveItem(5));
    EXPECT_EQ(menu.ItemText(1), "one");
    EXPECT_EQ(menu.ItemState(1, dui::kMenuItemDisabled), dui::kMenuItemDisabled);

    // Copies are deep.
    ExPopupMenu copy = menu;
    copy.ItemText(1, "changed");
    EXPECT_EQ(menu.ItemText(1), "one");
    EXPECT_TRUE(menu.RemoveItem(1));
    EXPECT_EQ(menu.ItemCount(), 0);
}

TEST_F(PopupMenuSizeTest, EditMenuIsBuiltAtStartUp) {
    ASSERT_TRUE(dui::ControlsStartup());
    const ExPopupMenu& menu = dui::EditContextMenu();
    ASSERT_EQ(menu.ItemCount(), 5);
    EXPECT_EQ(menu.ItemText(1), "剪切(&T)");
    EXPECT_EQ(menu.ItemText(5), "全部选择(&A)");
    EXPECT_EQ(menu.Items()[3].kind, dui::MenuItemKind::Separator);
    const auto* copy = std::get_if<MenuCommand>(&menu.Items()[1].handler);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->id, 67);
    // Start-up twice does not duplicate the items.
    ASSERT_TRUE(dui::ControlsStartup());
    EXPECT_EQ(dui::EditContextMenu().ItemCount(), 5);
}

}  // namespace
