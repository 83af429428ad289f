#include "dui/core/control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ControlHandle;
using dui::RectF;
using testing_support::ReceivedMessage;
using testing_support::RecordingControl;

class ControlTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        AttachHost();
    }
};

// --- Tree and z-order -------------------------------------------------------

TEST_F(ControlTest, FirstTopLevelControlIsFirstAndLastSecondIsHitFirst) {
    auto& a = AddControl({10, 10, 100, 100});
    EXPECT_EQ(host->TopLevelList().first, a.GetHandle());
    EXPECT_EQ(host->TopLevelList().last, a.GetHandle());

    auto& b = AddControl({50, 50, 100, 100});
    EXPECT_EQ(host->TopLevelList().first, a.GetHandle());
    EXPECT_EQ(host->TopLevelList().last, b.GetHandle());
    EXPECT_EQ(a.NextSibling(), b.GetHandle());
    EXPECT_EQ(b.PreviousSibling(), a.GetHandle());
    EXPECT_EQ(dui::HitTest(host->TopLevelList().last, 60, 60), b.GetHandle());
    EXPECT_EQ(dui::HitTest(host->TopLevelList().last, 20, 20), a.GetHandle());
}

TEST_F(ControlTest, ZOrderMovesToTopOrBottomOfItsList) {
    auto& a = AddControl({0, 0, 50, 50});
    auto& b = AddControl({0, 0, 50, 50});
    auto& c = AddControl({0, 0, 50, 50});
    a.ZOrder();
    EXPECT_EQ(host->TopLevelList().last, a.GetHandle());
    EXPECT_EQ(host->TopLevelList().first, b.GetHandle());
    EXPECT_EQ(dui::HitTest(host->TopLevelList().last, 10, 10), a.GetHandle());
    c.ZOrder(dui::ZPosition::Bottom);
    EXPECT_EQ(host->TopLevelList().first, c.GetHandle());
    EXPECT_EQ(c.NextSibling(), b.GetHandle());
    EXPECT_EQ(b.PreviousSibling(), c.GetHandle());
}

TEST_F(ControlTest, SetParentMovesControlAndRefusesCycles) {
    auto& parent = AddControl({0, 0, 200, 200});
    auto& child = AddControl({10, 10, 50, 50}, parent.GetHandle());
    auto& other = AddControl({100, 100, 50, 50});
    EXPECT_EQ(child.GetParent(), parent.GetHandle());
    EXPECT_EQ(parent.Children().first, child.GetHandle());
    EXPECT_EQ(host->TopLevelList().last, other.GetHandle());

    other.SetParent(child.GetHandle());
    EXPECT_EQ(other.GetParent(), child.GetHandle());
    EXPECT_EQ(host->TopLevelList().last, parent.GetHandle());

    // A control cannot become a child of itself or of its descendants.
    parent.SetParent(other.GetHandle());
    EXPECT_EQ(parent.GetParent(), ControlHandle::None);
    parent.SetParent(parent.GetHandle());
    EXPECT_EQ(parent.GetParent(), ControlHandle::None);

    other.SetParent(window);
    EXPECT_EQ(other.GetParent(), ControlHandle::None);
    EXPECT_EQ(host->TopLevelList().last, other.GetHandle());
    EXPECT_EQ(child.Children().first, ControlHandle::None);
}

TEST_F(ControlTest, CreateUnderUnknownParentFails) {
    RecordingControl orphan;
    EXPECT_EQ(orphan.Create(dui::HandleFromParam(999999), {0, 0, 10, 10}, dui::ControlKind::Label),
              ControlHandle::None);
    EXPECT_EQ(orphan.Create(static_cast<plat::HWND>(nullptr), {0, 0, 10, 10}, dui::ControlKind::Label),
              ControlHandle::None);
    EXPECT_EQ(orphan.PreviousSibling(), ControlHandle::None);
}

TEST_F(ControlTest, CreateSendsCreateThenPaintWithCanvasOfBoundsSize) {
    auto& a = AddControl({5, 6, 40, 30});
    ASSERT_GE(a.log.size(), 2u);
    EXPECT_EQ(a.log[0].message, plat::WM_CREATE);
    EXPECT_EQ(a.log[1].message, plat::WM_PAINT);
    ASSERT_NE(a.Canvas(), nullptr);
    EXPECT_EQ(a.Canvas()->Width(), 40);
    EXPECT_EQ(a.Canvas()->Height(), 30);
    // Creating again returns the same handle and sends nothing.
    a.ClearLog();
    EXPECT_EQ(a.Create(window, {0, 0, 1, 1}, dui::ControlKind::Label), a.GetHandle());
    EXPECT_TRUE(a.log.empty());
}

// --- Move ----------------------------------------------------------------

TEST_F(ControlTest, MovingParentShiftsAllDescendants) {
    auto& parent = AddControl({10, 10, 200, 200});
    auto& child = AddControl({20, 30, 100, 100}, parent.GetHandle());
    auto& grandchild = AddControl({25, 35, 10, 10}, child.GetHandle());
    parent.Move(20.0f, 15.0f);
    EXPECT_EQ(parent.Bounds(), (RectF{20, 15, 200, 200}));
    EXPECT_EQ(child.Bounds(), (RectF{30, 35, 100, 100}));
    EXPECT_EQ(grandchild.Bounds(), (RectF{35, 40, 10, 10}));
    EXPECT_EQ(parent.PreviousBounds(), (RectF{10, 10, 200, 200}));
}

TEST_F(ControlTest, ResizingRebuildsCanvasThenSendsSizedAndPaint) {
    auto& a = AddControl({0, 0, 40, 20});
    a.ClearLog();
    a.Width(64.0f);
    ASSERT_NE(a.Canvas(), nullptr);
    EXPECT_EQ(a.Canvas()->Width(), 64);
    EXPECT_EQ(a.Canvas()->Height(), 20);
    auto sized = a.Only({dui::EX_MSG_SIZED, plat::WM_PAINT, dui::EX_MSG_MOVED});
    ASSERT_EQ(sized.size(), 3u);
    EXPECT_EQ(sized[0].message, dui::EX_MSG_SIZED);
    EXPECT_EQ(sized[0].wparam, 64u);
    EXPECT_EQ(sized[0].lparam, 20);
    EXPECT_EQ(sized[1].message, plat::WM_PAINT);
    EXPECT_EQ(sized[1].wparam, 64u);
    EXPECT_EQ(sized[2].message, dui::EX_MSG_MOVED);
}

TEST_F(ControlTest, MoveWithinToleranceSendsNothing) {
    auto& a = AddControl({1, 2, 30, 40});
    a.ClearLog();
    a.Move(1.00000001f, 2.0f, 30.0f, 40.0f);
    a.Bounds(RectF{1, 2, 30, 40});
    a.Left(1.0f);
    EXPECT_TRUE(a.log.empty());
}

// --- Disabled, focus and alpha -------------------------------------------

TEST_F(ControlTest, DisablingFocusedControlClearsHostFocus) {
    auto& a = AddControl({0, 0, 50, 50});
    host->SetFocus(a.GetHandle());
    ASSERT_EQ(host->FocusedControl(), a.GetHandle());
    a.ClearLog();
    a.Disabled(true);
    EXPECT_EQ(host->FocusedControl(), ControlHandle::None);
    auto order = a.Only({dui::EX_MSG_KILLFOCUS, dui::EX_MSG_MOUSELEAVE, dui::EX_MSG_ENABLECHANGED});
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0].message, dui::EX_MSG_KILLFOCUS);
    EXPECT_EQ(order[1].message, dui::EX_MSG_MOUSELEAVE);
    EXPECT_EQ(order[2].message, dui::EX_MSG_ENABLECHANGED);
    EXPECT_EQ(order[2].lparam, 1);
    EXPECT_FALSE(a.HasFocus());
}

TEST_F(ControlTest, DisableEnableRoundTripHalvesAndRestoresAlphaWithTruncation) {
    auto& a = AddControl({0, 0, 50, 50});
    a.Disabled(true);
    EXPECT_EQ(a.Alpha(), 127);
    a.Disabled(false);
    EXPECT_EQ(a.Alpha(), 254);
    // Alpha never leaves 0..255, even when changed while disabled.
    a.Disabled(true);
    a.Alpha(200);
    a.Disabled(false);
    EXPECT_EQ(a.Alpha(), 255);
}

TEST_F(ControlTest, ReEnabledControlIsComposedAtItsFullOpacityAgain) {
    auto& a = AddControl({0, 0, 50, 50});
    a.Disabled(true);
    // A cross-fade that ends while the control is disabled stops at the
    // halved opacity.
    EXPECT_EQ(a.FadeAlpha(255), 127);
    a.Disabled(false);
    EXPECT_EQ(a.Alpha(), 254);
    EXPECT_EQ(a.FadeAlpha(), 254);
}

TEST_F(ControlTest, ClassAnsweringEnableChangedKeepsAlpha) {
    auto& a = AddControl({0, 0, 50, 50});
    a.Answer(dui::EX_MSG_ENABLECHANGED, 0);
    a.Disabled(true);
    EXPECT_EQ(a.Alpha(), 255);
    EXPECT_TRUE(a.Disabled());
}

TEST_F(ControlTest, HasFocusAsksTheClassFirst) {
    auto& a = AddControl({0, 0, 50, 50});
    EXPECT_FALSE(a.HasFocus());
    a.Answer(dui::EX_MSG_QUERYFOCUS, 1);
    EXPECT_TRUE(a.HasFocus());
}

TEST_F(ControlTest, VisibleSendsShownAndHidden) {
    auto& a = AddControl({0, 0, 50, 50});
    a.ClearLog();
    a.Visible(false);
    a.Visible(false);
    a.Visible(true);
    auto seen = a.Only({dui::EX_MSG_SHOWN, dui::EX_MSG_HIDDEN});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, dui::EX_MSG_HIDDEN);
    EXPECT_EQ(seen[1].message, dui::EX_MSG_SHOWN);
}

// --- Event binding and dispatch ------------------------------------------

TEST_F(ControlTest, SecondBindingForSameMessageReplacesFirst) {
    auto& a = AddControl({0, 0, 50, 50});
    int first = 0;
    int second = 0;
    a.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { ++first; });
    a.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { ++second; });
    dui::DispatchToControl(a.GetHandle(), dui::EX_MSG_CLICK, 0, 0);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
}

TEST_F(ControlTest, HandlerOfChildGetsParentHandlerOfTopLevelDoesNot) {
    auto& parent = AddControl({0, 0, 100, 100});
    auto& child = AddControl({10, 10, 20, 20}, parent.GetHandle());
    dui::ControlEvent child_event;
    dui::ControlEvent top_event;
    child.BindEvent(plat::WM_LBUTTONDOWN, [&](const dui::ControlEvent& e) { child_event = e; });
    parent.BindEvent(plat::WM_LBUTTONDOWN, [&](const dui::ControlEvent& e) { top_event = e; });
    dui::DispatchToControl(child.GetHandle(), plat::WM_LBUTTONDOWN, 1, 2);
    dui::DispatchToControl(parent.GetHandle(), plat::WM_LBUTTONDOWN, 1, 2);
    EXPECT_EQ(child_event.parent, parent.GetHandle());
    EXPECT_EQ(child_event.control, child.GetHandle());
    EXPECT_EQ(child_event.wparam, 1u);
    EXPECT_EQ(child_event.lparam, 2);
    EXPECT_EQ(top_event.parent, ControlHandle::None);
    EXPECT_EQ(top_event.control, parent.GetHandle());
}

TEST_F(ControlTest, DispatchReturnsClassResultAndIgnoresHandlerResult) {
    auto& a = AddControl({0, 0, 50, 50});
    a.Answer(0x9000, 42);
    bool called = false;
    a.BindEvent(0x9000, [&](const dui::ControlEvent&) { called = true; });
    EXPECT_EQ(dui::DispatchToControl(a.GetHandle(), 0x9000, 0, 0), 42);
    EXPECT_TRUE(called);
    EXPECT_EQ(dui::DispatchToControl(ControlHandle::None, 0x9000, 0, 0), 0);
}

// --- Destruction and stale handles ---------------------------------------

TEST_F(ControlTest, DestroyedControlsHandlesResolveToNothing) {
    auto& parent = AddControl({0, 0, 100, 100});
    auto& child = AddControl({10, 10, 20, 20}, parent.GetHandle());
    auto& sibling = AddControl({0, 0, 10, 10});
    const ControlHandle parent_handle = parent.GetHandle();
    const ControlHandle child_handle = child.GetHandle();
    parent.Destroy();
    EXPECT_EQ(dui::ResolveControl(parent_handle), nullptr);
    EXPECT_EQ(dui::ResolveControl(child_handle), nullptr);
    EXPECT_TRUE(child.Received(plat::WM_DESTROY));
    EXPECT_EQ(child.GetHandle(), ControlHandle::None);
    EXPECT_EQ(child.Canvas(), nullptr);
    // The host's list no longer holds the destroyed control.
    EXPECT_EQ(host->TopLevelList().first, sibling.GetHandle());
    // Messages to stale handles are dropped.
    EXPECT_EQ(dui::DispatchToControl(parent_handle, dui::EX_MSG_CLICK, 0, 0), 0);
    // The object can be created again, under a new handle.
    const ControlHandle again = parent.Create(window, {0, 0, 5, 5}, dui::ControlKind::Label);
    EXPECT_NE(again, ControlHandle::None);
    EXPECT_NE(again, parent_handle);
}

TEST_F(ControlTest, HandlerMayDestroyItsOwnControl) {
    auto& a = AddControl({0, 0, 50, 50});
    auto& b = AddControl({0, 60, 50, 50});
    a.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { a.Destroy(); });
    dui::DispatchToControl(a.GetHandle(), dui::EX_MSG_CLICK, 0, 0);
    EXPECT_EQ(a.GetHandle(), ControlHandle::None);
    EXPECT_EQ(host->TopLevelList().first, b.GetHandle());
    EXPECT_EQ(host->TopLevelList().last, b.GetHandle());
}

TEST_F(ControlTest, TimerOfDestroyedControlReachesNoOne) {
    auto& a = AddControl({0, 0, 50, 50});
    const ControlHandle stale = a.GetHandle();
    a.Destroy();
    auto& b = AddControl({0, 0, 50, 50});
    b.ClearLog();
    plat::SetTimer(window, dui::Raw(stale), 10, nullptr);
    Advance(20);
    EXPECT_FALSE(b.Received(plat::WM_TIMER));
    plat::KillTimer(window, dui::Raw(stale));
}

// --- Cross-fade -------------------------------------------------------------

TEST_F(ControlTest, CrossFadeRisesBy51PerTickAndStopsAtAlpha) {
    auto& a = AddControl({0, 0, 50, 50}, nullptr, 0xFF0000FF, 60);
    Advance(200);  // let the creation paint's fade tick settle
    a.ChangeLook(0xFFFF0000, 51);
    EXPECT_EQ(a.FadeAlpha(), 51);
    ASSERT_NE(a.FadeSnapshot(), nullptr);
    std::vector<int> seen;
    for (int tick = 0; tick < 6; ++tick) {
        a.ClearLog();
        Advance(60);
        if (a.Received(plat::WM_TIMER)) seen.push_back(a.FadeAlpha());
    }
    EXPECT_EQ(seen, (std::vector<int>{102, 153, 204, 255}));
    EXPECT_EQ(a.FadeSnapshot(), nullptr);
}

TEST_F(ControlTest, FadeIsSkippedWhenHostAnimationsAreOff) {
    controls.clear();
    plat::DestroyWindow(window);
    auto options = PlainOptions();
    options.animations = false;
    AttachHost(options);
    auto& a = AddControl({0, 0, 50, 50}, nullptr, 0xFF0000FF, 60);
    a.ChangeLook(0xFFFF0000, 51);
    EXPECT_EQ(a.FadeAlpha(), 255);
    EXPECT_EQ(a.FadeSnapshot(), nullptr);
}

// --- Marshalled messages -------------------------------------------------

TEST_F(ControlTest, SentMessagesReturnResultPostedOnesArriveLater) {
    auto& a = AddControl({0, 0, 50, 50});
    a.Answer(0x9001, 7);
    EXPECT_EQ(a.SendControlMessage(0x9001, 3, 4), 7);
    a.ClearLog();
    a.PostControlMessage(0x9002, 5, 6);
    EXPECT_FALSE(a.Received(0x9002));
    Pump();
    auto posted = a.Only({0x9002});
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wparam, 5u);
    EXPECT_EQ(posted[0].lparam, 6);
}

TEST_F(ControlTest, PostedMessageForDestroyedControlIsDropped) {
    auto& a = AddControl({0, 0, 50, 50});
    auto& b = AddControl({0, 0, 50, 50});
    a.PostControlMessage(0x9003, 0, 0);
    a.Destroy();
    b.ClearLog();
    Pump();
    EXPECT_FALSE(b.Received(0x9003));
}

// --- Typed input ------------------------------------------------------------

// Records what the typed handlers received, as "kind x,y modifiers".
class TypedControl : public dui::ExControl {
public:
    ~TypedControl() override { Destroy(); }
    std::vector<std::string> seen;

protected:
    static std::string Keys(const dui::Modifiers& m) {
        return std::string(m.shift ? "S" : "") + (m.control ? "C" : "") + (m.alt ? "A" : "");
    }
    void Note(const char* kind, const dui::PointerEvent& e) {
        const char* button = e.button == dui::PointerButton::Left    ? "L"
                             : e.button == dui::PointerButton::Right ? "R"
                                                                      : "";
        seen.push_back(std::string(kind) + button + " " + std::to_string(int(e.point.x)) + "," +
                       std::to_string(int(e.point.y)) + " " + Keys(e.modifiers));
    }
    intptr_t OnPointerDown(const dui::PointerEvent& e) override { Note("down", e); return 0; }
    intptr_t OnPointerDoubleClick(const dui::PointerEvent& e) override { Note("double", e); return 0; }
    intptr_t OnPointerUp(const dui::PointerEvent& e) override { Note("up", e); return 0; }
    intptr_t OnPointerMove(const dui::PointerEvent& e) override { Note("move", e); return 0; }
    intptr_t OnPointerWheel(const dui::WheelEvent& e) override {
        seen.push_back("wheel " + std::to_string(int(e.point.x)) + "," + std::to_string(int(e.point.y)) +
                       " " + std::to_string(e.delta));
        return 0;
    }
    intptr_t OnKeyDown(const dui::KeyEvent& e) override {
        seen.push_back("key " + std::to_string(e.key) + " " + Keys(e.modifiers));
        return 0;
    }
    intptr_t OnChar(const dui::CharEvent& e) override {
        seen.push_back("char " + std::to_string(e.code) + " " + Keys(e.modifiers));
        return 0;
    }
    void OnFocusIn(ControlHandle) override { seen.push_back("focus in"); }
    void OnFocusOut(ControlHandle next) override {
        seen.push_back(std::string("focus out ") + (next != ControlHandle::None ? "to other" : "to none"));
    }
    void OnSized(float w, float h) override {
        seen.push_back("size " + std::to_string(int(w)) + "x" + std::to_string(int(h)));
    }
};

// The entries that start with none of the prefixes.
std::vector<std::string> Except(const std::vector<std::string>& seen,
                                std::initializer_list<const char*> prefixes) {
    std::vector<std::string> kept;
    for (const std::string& entry : seen) {
        bool dropped = false;
        for (const char* prefix : prefixes) dropped = dropped || entry.rfind(prefix, 0) == 0;
        if (!dropped) kept.push_back(entry);
    }
    return kept;
}

TEST_F(ControlTest, PointerEventsArriveInLocalCoordinatesWithTheModifiersOfTheirMessage) {
    TypedControl control;
    control.Create(window, {100, 50, 80, 40}, dui::ControlKind::Label);
    plat::headless::KeyDown(plat::VK_SHIFT);
    plat::headless::MouseDown(window, {110, 60});
    Pump();
    // The press is routed with the control's handle as wparam; Shift is
    // still known, also once the pointer is outside the control.
    plat::headless::MouseMove(window, {300, 200});
    plat::headless::KeyUp(plat::VK_SHIFT);
    plat::headless::MouseUp(window, {300, 200});
    plat::headless::Click(window, {120, 70});
    plat::headless::Click(window, {120, 70});
    Pump();
    plat::headless::KeyDown(plat::VK_CONTROL);
    plat::headless::Click(window, {105, 55}, plat::MouseButton::Right);
    plat::headless::KeyUp(plat::VK_CONTROL);
    Pump();
    const std::vector<std::string> expected{
        "downL 10,10 S", "move 200,150 S", "upL 200,150 ",  "downL 20,20 ", "upL 20,20 ",
        "doubleL 20,20 ", "upL 20,20 ",  "downR 5,5 C",    "upR 5,5 C"};
    EXPECT_EQ(Except(control.seen, {"move 10,10", "move 20,20", "move 5,5", "key", "focus"}), expected);
}

TEST_F(ControlTest, KeyWheelFocusAndSizeReachTheirTypedHandlers) {
    TypedControl control;
    control.Create(window, {100, 50, 80, 40}, dui::ControlKind::Label);
    auto& other = AddControl({0, 0, 20, 20});
    host->SetFocus(control.GetHandle(), false);
    plat::headless::KeyDown(plat::VK_CONTROL);
    plat::headless::PressKey('A');
    plat::headless::KeyUp(plat::VK_CONTROL);
    plat::headless::TypeText("b");
    plat::headless::Wheel(window, {150, 60}, -240);
    Pump();
    host->SetFocus(other.GetHandle(), false);
    control.Move(std::nullopt, std::nullopt, 60, 30);
    EXPECT_EQ(Except(control.seen, {"key 17"}),  // Ctrl's own key-down
              (std::vector<std::string>{"focus in", "key 65 C", "char 1 C", "key 66 ", "char 98 ",
                                        "wheel 50,10 -240", "focus out to other", "size 60x30"}));
}

// --- Rectangles in message parameters -------------------------------------

TEST(PackRectTest, RoundTripsIncludingNegativeAndFractionalEdges) {
    const RectF rect{-5.5f, 3.0f, 10.0f, 20.25f};
    const RectF back = dui::UnpackRect(dui::PackRect(rect));
    EXPECT_EQ(back, (RectF{-6, 3, 11, 21}));  // rounded outward
    const RectF huge = dui::UnpackRect(dui::PackRect({0, 0, 1e9f, 1e9f}));
    EXPECT_EQ(huge.Right(), 32767);
}

}  // namespace
