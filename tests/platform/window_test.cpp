// Window records: creation and destruction messages, stale handles,
// subclassing, properties, window longs and styles, default handling.

#include <cstring>

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

using WindowTest = PlatformTest;

TEST_F(WindowTest, CreationSendsNcCreateCreateThenMoveAndSizeWithTheCreateStruct) {
    static void* seen_param;
    static std::string seen_name;
    seen_param = nullptr;
    seen_name.clear();
    Hook() = [](HWND, UINT message, WPARAM, LPARAM lparam, LRESULT*) {
        if (message == WM_CREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCT*>(lparam);
            seen_param = create->lpCreateParams;
            seen_name = create->lpszName;
        }
        return false;
    };
    int marker = 0;
    HWND hwnd = CreateWindowEx(0, "recorder", "标题", WS_POPUP, 10, 20, 300, 200, nullptr,
                               nullptr, nullptr, &marker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(Sequence({WM_NCCREATE, WM_CREATE, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_MOVE, WM_SIZE}));
    EXPECT_EQ(seen_param, &marker);
    EXPECT_EQ(seen_name, "标题");
    EXPECT_EQ(GetWindowText(hwnd), "标题");
    EXPECT_EQ(Messages(WM_SIZE)[0].lparam, MAKELPARAM(300, 200));
    EXPECT_EQ(headless::NativeWindow(hwnd).title, U8(u8"标题"));
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(WindowTest, CreateReturningMinusOneFailsAndDestroysTheWindow) {
    Hook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = -1;
        return message == WM_CREATE;
    };
    EXPECT_EQ(MakeTopLevel(), nullptr);
    EXPECT_EQ(Sequence({WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, NcCreateRefusalFailsWithOnlyNcDestroy) {
    Hook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_NCCREATE;
    };
    EXPECT_EQ(MakeTopLevel(), nullptr);
    EXPECT_EQ(Sequence({WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));
}

TEST_F(WindowTest, DestroyOrderIsParentFirstForDestroyAndChildrenFirstForNcDestroy) {
    HWND parent = MakeTopLevel();
    HWND child = MakeChild(parent, 0, 0, 10, 10);
    HWND grandchild = MakeChild(child, 0, 0, 5, 5);
    HWND unrelated = MakeTopLevel();
    HWND popup = CreateWindowEx(0, "Recorder", "owned", WS_POPUP, 0, 0, 5, 5, parent, nullptr,
                                nullptr, nullptr);
    Log().clear();
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& seen : Log()) {
        if (seen.message == WM_DESTROY || seen.message == WM_NCDESTROY) {
            order.emplace_back(seen.hwnd, seen.message);
        }
    }
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{popup, WM_DESTROY},
                                                         {popup, WM_NCDESTROY},
                                                         {parent, WM_DESTROY},
                                                         {child, WM_DESTROY},
                                                         {grandchild, WM_DESTROY},
                                                         {grandchild, WM_NCDESTROY},
                                                         {child, WM_NCDESTROY},
                                                         {parent, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_TRUE(IsWindow(unrelated));
    EXPECT_FALSE(headless::NativeWindow(parent).exists);
}

TEST_F(WindowTest, StaleHandlesStayInvalidWhenTheirSlotIsReused) {
    HWND first = MakeTopLevel();
    SetProp(first, "p", reinterpret_cast<HANDLE>(1));
    DestroyWindow(first);
    HWND second = MakeTopLevel();
    ASSERT_NE(first, second);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(GetProp(first, "p"), nullptr);
    EXPECT_FALSE(SetProp(first, "p", reinterpret_cast<HANDLE>(2)));
    EXPECT_FALSE(ShowWindow(first, SW_SHOW));
    EXPECT_FALSE(DestroyWindow(first));
    RECT rect{1, 2, 3, 4};
    EXPECT_FALSE(GetWindowRect(first, &rect));
    EXPECT_EQ(GetWindowLongPtr(first, GWL_STYLE), 0);
    EXPECT_TRUE(IsWindow(second));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(uintptr_t{0x12345678})));
    EXPECT_FALSE(IsWindow(HWND_TOPMOST));
}

TEST_F(WindowTest, DestroyingAWindowFromItsOwnDestroyMessageIsHarmless) {
    HWND parent = MakeTopLevel();
    HWND child = MakeChild(parent, 0, 0, 10, 10);
    Hook() = [child](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_DESTROY) {
            DestroyWindow(hwnd);   // refused: already being destroyed
            DestroyWindow(child);
        }
        return false;
    };
    Log().clear();
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(Messages(WM_NCDESTROY, child).size(), 1u);
    EXPECT_EQ(Messages(WM_NCDESTROY, parent).size(), 1u);
}

TEST_F(WindowTest, NoWindowCanBeBornIntoADyingParent) {
    HWND parent = MakeTopLevel();
    HWND late_child = nullptr;
    HWND late_popup = nullptr;
    Hook() = [&](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_DESTROY && hwnd == parent) {
            late_child = MakeChild(parent, 0, 0, 5, 5);
            late_popup = CreateWindowEx(0, "Recorder", "", WS_POPUP, 0, 0, 5, 5, parent, nullptr,
                                        nullptr, nullptr);
        }
        return false;
    };
    DestroyWindow(parent);
    EXPECT_EQ(late_child, nullptr);
    EXPECT_EQ(late_popup, nullptr);
}

TEST_F(WindowTest, CloseDestroysByDefault) {
    HWND hwnd = MakeTopLevel();
    SendMessage(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

WNDPROC g_inner_previous = nullptr;
WNDPROC g_outer_previous = nullptr;
std::vector<std::string> g_chain;

LRESULT InnerSubclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER) g_chain.push_back("inner");
    return CallWindowProc(g_inner_previous, hwnd, message, wparam, lparam);
}

LRESULT OuterSubclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER) {
        g_chain.push_back("outer");
        if (wparam == 1) return 77;   // consumed
    }
    return CallWindowProc(g_outer_previous, hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, SubclassChainsRunNewestFirstAndUnwindOnRestore) {
    HWND hwnd = MakeTopLevel();
    g_chain.clear();
    g_inner_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InnerSubclass)));
    g_outer_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OuterSubclass)));
    EXPECT_EQ(g_inner_previous, RecordingProc);
    EXPECT_EQ(g_outer_previous, InnerSubclass);
    Log().clear();
    SendMessage(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(g_chain, (std::vector<std::string>{"outer", "inner"}));
    EXPECT_EQ(Messages(WM_USER).size(), 1u);
    EXPECT_EQ(SendMessage(hwnd, WM_USER, 1, 0), 77);
    EXPECT_EQ(Messages(WM_USER).size(), 1u);
    // Restoring the outer link leaves the inner one in place.
    SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_outer_previous));
    g_chain.clear();
    SendMessage(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(g_chain, (std::vector<std::string>{"inner"}));
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(InnerSubclass));
}

TEST_F(WindowTest, PropertiesAreNamedCaseInsensitivelyAndRemovable) {
    HWND hwnd = MakeTopLevel();
    int a = 0, b = 0;
    EXPECT_TRUE(SetProp(hwnd, "Ex_Wnd_Control", &a));
    EXPECT_EQ(GetProp(hwnd, "EX_WND_CONTROL"), &a);
    EXPECT_TRUE(SetProp(hwnd, "ex_wnd_control", &b));
    EXPECT_EQ(GetProp(hwnd, "Ex_Wnd_Control"), &b);
    EXPECT_EQ(RemoveProp(hwnd, "Ex_Wnd_Control"), &b);
    EXPECT_EQ(GetProp(hwnd, "Ex_Wnd_Control"), nullptr);
    EXPECT_EQ(RemoveProp(hwnd, "Ex_Wnd_Control"), nullptr);
    EXPECT_EQ(GetProp(hwnd, nullptr), nullptr);
}

TEST_F(WindowTest, UserDataAndExtraBytesHoldValues) {
    WNDCLASSEX extra;
    extra.lpfnWndProc = RecordingProc;
    extra.cbWndExtra = 16;
    extra.lpszClassName = "WithExtra";
    ASSERT_NE(RegisterClassEx(&extra), 0);
    HWND hwnd = CreateWindowEx(0, "WithExtra", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               nullptr, nullptr);
    EXPECT_EQ(SetWindowLongPtr(hwnd, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_USERDATA), 1234);
    EXPECT_EQ(SetWindowLongPtr(hwnd, 8, 99), 0);
    EXPECT_EQ(GetWindowLongPtr(hwnd, 8), 99);
    EXPECT_EQ(SetWindowLongPtr(hwnd, 12, 5), 0);   // would overrun the 16 bytes
    EXPECT_EQ(GetWindowLongPtr(hwnd, 8), 99);
    EXPECT_EQ(RegisterClassEx(&extra), 0);          // a name registers once
}

TEST_F(WindowTest, StyleChangeSendsChangingThenChangedAndHonoursTheRewrite) {
    HWND hwnd = MakeTopLevel();
    Hook() = [](HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT*) {
        if (message == WM_STYLECHANGING && wparam == static_cast<WPARAM>(GWL_STYLE)) {
            reinterpret_cast<STYLESTRUCT*>(lparam)->styleNew &= ~WS_BORDER;
        }
        return false;
    };
    Log().clear();
    const LONG_PTR old = SetWindowLongPtr(hwnd, GWL_STYLE, WS_POPUP | WS_BORDER | WS_THICKFRAME);
    EXPECT_EQ(old, static_cast<LONG_PTR>(WS_POPUP));
    EXPECT_EQ(Sequence({WM_STYLECHANGING, WM_STYLECHANGED}),
              (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP | WS_THICKFRAME));
}

TEST_F(WindowTest, StyleBitsForVisibilityAndLayeringReachTheScreen) {
    HWND hwnd = MakeTopLevel();
    SetWindowLongPtr(hwnd, GWL_STYLE, GetWindowLongPtr(hwnd, GWL_STYLE) | WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(headless::NativeWindow(hwnd).visible);
    SetWindowLongPtr(hwnd, GWL_EXSTYLE, WS_EX_LAYERED);
    EXPECT_TRUE(headless::NativeWindow(hwnd).layered);
    SetWindowLongPtr(hwnd, GWL_EXSTYLE, 0);
    EXPECT_FALSE(headless::NativeWindow(hwnd).layered);
}

TEST_F(WindowTest, WindowTextRoundTripsThroughTheProcedureAndTruncatesSafely) {
    HWND hwnd = MakeTopLevel();
    EXPECT_TRUE(SetWindowText(hwnd, "澜橙种子搜索器"));
    EXPECT_EQ(GetWindowText(hwnd), "澜橙种子搜索器");
    EXPECT_EQ(headless::NativeWindow(hwnd).title, U8(u8"澜橙种子搜索器"));
    char small[5];
    std::memset(small, 'x', sizeof(small));
    EXPECT_EQ(GetWindowText(hwnd, small, 5), 4);
    EXPECT_EQ(small[4], '\0');
    EXPECT_EQ(GetWindowTextLength(hwnd), 14);
    EXPECT_TRUE(SetWindowText(hwnd, nullptr));
    EXPECT_EQ(GetWindowText(hwnd), "");
}

TEST_F(WindowTest, IconsAreReportedOnlyOnceSet) {
    HWND hwnd = MakeTopLevel();
    EXPECT_EQ(SendMessage(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    const uint32_t pixels[4] = {0xFF000000, 0xFFFFFFFF, 0, 0x80808080};
    HICON icon = CreateIconFromPixels(pixels, 2, 2);
    ASSERT_NE(icon, nullptr);
    SendMessage(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    EXPECT_EQ(SendMessage(hwnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(SendMessage(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    const uint32_t* read = nullptr;
    int width = 0, height = 0;
    ASSERT_TRUE(GetIconPixels(icon, &read, &width, &height));
    EXPECT_EQ(read[3], 0x80808080u);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(GetIconPixels(icon, &read, &width, &height));
}

TEST_F(WindowTest, ChildRelationsAndIds) {
    HWND top = MakeTopLevel();
    HWND child = MakeChild(top, 5, 6, 10, 10, 33);
    HWND grandchild = MakeChild(child, 1, 1, 2, 2);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_TRUE(IsChild(top, grandchild));
    EXPECT_FALSE(IsChild(grandchild, top));
    EXPECT_EQ(GetAncestor(grandchild, GA_ROOT), top);
    EXPECT_EQ(GetWindowLongPtr(child, GWLP_ID), 33);
    RECT rect;
    GetWindowRect(grandchild, &rect);
    EXPECT_EQ(rect, (RECT{106, 107, 108, 109}));
    EXPECT_EQ(CreateWindowEx(0, "Recorder", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
}

TEST_F(WindowTest, SetParentMovesAChildButNeverUnderItself) {
    HWND top = MakeShown(100, 100, 200, 200);
    HWND left = MakeChild(top, 0, 0, 100, 100);
    HWND right = MakeChild(top, 100, 0, 100, 100);
    HWND item = MakeChild(left, 10, 10, 20, 20);
    EXPECT_EQ(SetParent(item, right), left);
    EXPECT_EQ(GetParent(item), right);
    EXPECT_EQ(WindowFromPoint(POINT{215, 115}), item);
    EXPECT_EQ(WindowFromPoint(POINT{115, 115}), left);
    EXPECT_EQ(SetParent(right, item), nullptr);   // would make a cycle
    EXPECT_EQ(SetParent(top, right), nullptr);    // top-level windows stay top-level
    EXPECT_EQ(GetParent(right), top);
}

}  // namespace
}  // namespace platform_test
