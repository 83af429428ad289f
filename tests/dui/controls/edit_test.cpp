#include "dui/controls/edit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/popup_menu.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::EditInputType;
using dui::EditOptions;
using dui::ExEdit;
namespace headless = plat::headless;

std::string U8(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

class EditTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
    }
    void TearDown() override {
        edits.clear();
        HostFixture::TearDown();
    }

    ExEdit& AddEdit(const dui::RectF& bounds, EditOptions options = {}) {
        auto edit = std::make_unique<ExEdit>();
        edit->CreateEdit(window, bounds.left, bounds.top, bounds.width, bounds.height,
                         std::move(options));
        edits.push_back(std::move(edit));
        return *edits.back();
    }

    // Clicks into the box (giving it the focus) at a point inside it.
    void ClickInto(const ExEdit& edit, float dx = 5) {
        const dui::RectF& b = edit.Bounds();
        headless::Click(window, {static_cast<int>(b.left + dx), static_cast<int>(b.top + b.height / 2)});
        Pump();
    }

    void Ctrl(int key) {
        headless::KeyDown(plat::VK_CONTROL);
        headless::PressKey(key);
        headless::KeyUp(plat::VK_CONTROL);
        Pump();
    }
    void Key(int key) {
        headless::PressKey(key);
        Pump();
    }
    void ShiftKey(int key) {
        headless::KeyDown(plat::VK_SHIFT);
        headless::PressKey(key);
        headless::KeyUp(plat::VK_SHIFT);
        Pump();
    }
    void Type(std::string_view ascii) {
        headless::TypeText(ascii);
        Pump();
    }

    std::vector<std::unique_ptr<ExEdit>> edits;
};

TEST_F(EditTest, TypingInsertsAtCaretAndFiresTextChanged) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    int changes = 0;
    edit.OnTextChanged([&](dui::ControlHandle, dui::ControlHandle) { ++changes; });
    ClickInto(edit);
    Type("abc");
    EXPECT_EQ(edit.EditText(), "abc");
    EXPECT_EQ(edit.CaretOffset(), 3u);
    Key(plat::VK_LEFT);
    Type("X");
    EXPECT_EQ(edit.EditText(), "abXc");
    EXPECT_EQ(changes, 4);
    // Only 32..126 are typed; control codes and 28..31 are dropped.
    for (uintptr_t code : {uintptr_t{28}, uintptr_t{31}, uintptr_t{127}, uintptr_t{9}}) {
        dui::DispatchToControl(edit.GetHandle(), plat::WM_CHAR, code, 0);
    }
    EXPECT_EQ(edit.EditText(), "abXc");
}

TEST_F(EditTest, ChineseCharactersAreOneColumnAndTwoBytes) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    ClickInto(edit);
    headless::CommitIme(U8(u8"中文"));
    Pump();
    ASSERT_EQ(edit.EditText(), "中文");
    EXPECT_EQ(edit.CaretOffset(), 4u);
    EXPECT_EQ(edit.CaretColumn(), 2);
    Key(plat::VK_LEFT);
    EXPECT_EQ(edit.CaretOffset(), 2u);
    EXPECT_EQ(edit.CaretColumn(), 1);
    Key(plat::VK_END);
    Key(plat::VK_BACK);
    EXPECT_EQ(edit.EditText(), "中");
    EXPECT_EQ(edit.ByteOffset(1, 1), 2u);
    EXPECT_EQ(edit.ByteOffset(1, 5), 2u);
    // Mixed commits: ASCII arrives as characters, the rest as a result string.
    headless::CommitIme(U8(u8"a文b"));
    Pump();
    EXPECT_EQ(edit.EditText(), "中a文b");
}

TEST_F(EditTest, LoneLeadByteAtEndIsOneCharacter) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    edit.EditText(std::string("ab\x81", 3));
    ClickInto(edit);
    Key(plat::VK_END);
    EXPECT_EQ(edit.CaretOffset(), 3u);
    Key(plat::VK_LEFT);
    EXPECT_EQ(edit.CaretOffset(), 2u);
    Key(plat::VK_DELETE);
    EXPECT_EQ(edit.EditText(), "ab");
    // Selecting and copying malformed text never reads past it.
    edit.EditText(std::string("\xFE", 1));
    Ctrl('A');
    Ctrl('C');
    EXPECT_TRUE(headless::SystemClipboard().has_value());
}

TEST_F(EditTest, DigitAndDecimalBoxesFilterTyping) {
    EditOptions digits;
    digits.input_type = EditInputType::Digits;
    ExEdit& d = AddEdit({20, 20, 100, 24}, digits);
    ClickInto(d);
    Type("1a2.3");
    EXPECT_EQ(d.EditText(), "123");

    EditOptions decimal;
    decimal.input_type = EditInputType::Decimal;
    ExEdit& n = AddEdit({20, 60, 100, 24}, decimal);
    ClickInto(n);
    Type("1.2.3x");
    EXPECT_EQ(n.EditText(), "1.23");
    // These boxes have no input method while focused; it comes back after.
    EXPECT_EQ(plat::ImmGetContext(window), nullptr);
    ClickInto(d);
    EXPECT_EQ(plat::ImmGetContext(window), nullptr);
    host->SetFocus(dui::ControlHandle::None);
    ExEdit& plain = AddEdit({20, 100, 100, 24});
    ClickInto(plain);
    EXPECT_NE(plat::ImmGetContext(window), nullptr);
    // Paste is not filtered.
    headless::SetSystemClipboard("x.y.z");
    ClickInto(n);
    Ctrl('V');
    EXPECT_EQ(n.EditText(), "x.y.z1.23");
}

TEST_F(EditTest, ReadOnlyBoxSelectsAndCopiesButNeverChanges) {
    EditOptions options;
    options.text = "fixed";
    options.input_type = EditInputType::ReadOnly;
    ExEdit& edit = AddEdit({20, 20, 180, 24}, options);
    ClickInto(edit);
    Type("zz");
    Key(plat::VK_BACK);
    Key(plat::VK_DELETE);
    Ctrl('A');
    Key(plat::VK_BACK);
    Key(plat::VK_DELETE);
    Ctrl('X');
    headless::SetSystemClipboard("pasted");
    Ctrl('V');
    EXPECT_EQ(edit.EditText(), "fixed");
    EXPECT_FALSE(edit.DeleteSelection());
    Ctrl('C');
    EXPECT_EQ(headless::SystemClipboard(), "fixed");
}

TEST_F(EditTest, SingleLinePasteKeepsFirstLineAndTextAfterCaret) {
    EditOptions options;
    options.text = "XY";
    ExEdit& edit = AddEdit({20, 20, 180, 24}, options);
    ClickInto(edit);
    Key(plat::VK_HOME);
    Key(plat::VK_RIGHT);
    headless::SetSystemClipboard(U8(u8"abc\ndef"));
    Ctrl('V');
    EXPECT_EQ(edit.EditText(), "XabcY");
    EXPECT_EQ(edit.CaretOffset(), 4u);
    // Setting a two-line text keeps the first line, caret at the end.
    edit.EditText("one\r\ntwo");
    EXPECT_EQ(edit.EditText(), "one");
    EXPECT_EQ(edit.CaretOffset(), 3u);
}

TEST_F(EditTest, ClipboardRoundTripsChineseAsUtf8) {
    EditOptions options;
    options.text = "中文ab";
    ExEdit& edit = AddEdit({20, 20, 180, 24}, options);
    ClickInto(edit);
    Ctrl('A');
    Ctrl('C');
    EXPECT_EQ(headless::SystemClipboard(), U8(u8"中文ab"));
    Ctrl('X');
    EXPECT_TRUE(edit.IsEmpty());
    Ctrl('V');
    Ctrl('V');
    EXPECT_EQ(edit.EditText(), "中文ab中文ab");
}

TEST_F(EditTest, ShiftArrowsGrowSelectionAndPlainArrowsCollapseIt) {
    EditOptions options;
    options.text = "hello";
    ExEdit& edit = AddEdit({20, 20, 180, 24}, options);
    ClickInto(edit);
    Key(plat::VK_HOME);
    ShiftKey(plat::VK_RIGHT);
    ShiftKey(plat::VK_RIGHT);
    EXPECT_EQ(edit.SelectedText(), "he");
    Type("J");
    EXPECT_EQ(edit.EditText(), "Jllo");
    ShiftKey(plat::VK_END);
    EXPECT_EQ(edit.SelectedText(), "llo");
    Key(plat::VK_LEFT);
    EXPECT_EQ(edit.SelectedText(), "");
    EXPECT_EQ(edit.CaretOffset(), 3u);
}

TEST_F(EditTest, MaskedBoxDrawsMaskOnlyAndRefusesCopyAndMenu) {
    EditOptions masked;
    masked.text = "ab";
    masked.input_type = EditInputType::Masked;
    ExEdit& secret = AddEdit({20, 20, 180, 24}, masked);
    EditOptions shown;
    shown.text = "**";
    ExEdit& stars = AddEdit({20, 60, 180, 24}, shown);
    Pump();
    const dui::ExCanvas* a = secret.Canvas();
    const dui::ExCanvas* b = stars.Canvas();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    int differing = 0;
    for (int y = 0; y < a->Height(); ++y) {
        for (int x = 0; x < a->Width(); ++x) differing += a->GetPixel(x, y) != b->GetPixel(x, y);
    }
    EXPECT_EQ(differing, 0);

    ClickInto(secret);
    headless::SetSystemClipboard("untouched");
    Ctrl('A');
    Ctrl('C');
    Ctrl('X');
    EXPECT_EQ(headless::SystemClipboard(), "untouched");
    EXPECT_EQ(secret.EditText(), "ab");
    // A right click opens no menu (a menu would block without steps).
    headless::Click(window, {40, 32}, plat::MouseButton::Right);
    Pump();
    EXPECT_FALSE(dui::PopupMenuOpen());
    // A double click selects nothing.
    dui::DispatchToControl(secret.GetHandle(), plat::WM_LBUTTONDOWN, dui::DOUBLECLICK_MARKER,
                           plat::MAKELPARAM(30, 32));
    EXPECT_EQ(secret.SelectedText(), "");
}

TEST_F(EditTest, ContextMenuCommandReachesRightClickedBoxAndGreysItems) {
    EditOptions options;
    options.text = "target";
    ExEdit& first = AddEdit({20, 20, 180, 24});
    ExEdit& second = AddEdit({20, 60, 180, 24}, options);
    ClickInto(first);
    Type("kept");
    headless::SetSystemClipboard(std::nullopt);
    bool cut_stayed_open = false;
    headless::PushStep([&] {
        // Nothing selected: cut (the first item) is greyed and does nothing.
        headless::Click(plat::PopupInputHolder(), {40, 8 + 11});
    });
    headless::PushStep([&] {
        cut_stayed_open = dui::PopupMenuOpen();
        headless::PressKey('A', "a");  // select all
    });
    headless::Click(window, {60, 72}, plat::MouseButton::Right);
    Pump();
    EXPECT_TRUE(cut_stayed_open);
    EXPECT_EQ(second.SelectedText(), "target");
    EXPECT_EQ(first.EditText(), "kept");
    EXPECT_EQ(host->FocusedControl(), second.GetHandle());
}

TEST_F(EditTest, DoubleClickSelectsWordAndNextPressTheLine) {
    EditOptions options;
    options.text = "alpha beta";
    ExEdit& edit = AddEdit({20, 20, 300, 24}, options);
    ClickInto(edit);
    headless::AdvanceClock(1000);
    const int y = 32;
    headless::Click(window, {25, y});
    headless::Click(window, {25, y});
    Pump();
    EXPECT_EQ(edit.SelectedText(), "alpha");
    headless::AdvanceClock(100);
    headless::MouseDown(window, {25, y});
    headless::MouseUp(window, {25, y});
    Pump();
    EXPECT_EQ(edit.SelectedText(), "alpha beta");
    // Later presses just place the caret.
    headless::AdvanceClock(1000);
    headless::Click(window, {25, y});
    Pump();
    EXPECT_EQ(edit.SelectedText(), "");
}

TEST_F(EditTest, DraggingSelectsFromThePress) {
    EditOptions options;
    options.text = "abcdefgh";
    ExEdit& edit = AddEdit({20, 20, 300, 24}, options);
    headless::MouseDown(window, {23, 32});
    headless::MouseMove(window, {200, 32});
    headless::MouseUp(window, {200, 32});
    Pump();
    EXPECT_EQ(edit.SelectedText(), "abcdefgh");
}

TEST_F(EditTest, CaretStaysInViewOfNarrowBox) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    ClickInto(edit);
    edit.EditText(std::string(200, 'w'));
    const dui::RectF inner = edit.InnerRect();
    dui::RectF caret = edit.CaretRect();
    EXPECT_GE(caret.left, inner.left);
    EXPECT_LT(caret.left, inner.Right());
    EXPECT_GT(edit.ScrollX(), 0);
    Key(plat::VK_HOME);
    EXPECT_EQ(edit.ScrollX(), 0);
    caret = edit.CaretRect();
    EXPECT_GE(caret.left, inner.left);
    // Deleting the text scrolls back.
    Ctrl('A');
    Key(plat::VK_DELETE);
    EXPECT_EQ(edit.ScrollX(), 0);
}

TEST_F(EditTest, CaretBlinksOnlyWhileFocusedAndWindowHasKeyboard) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    ClickInto(edit);
    ASSERT_TRUE(edit.CaretVisible());
    const dui::RectF caret = edit.CaretRect();
    const int cx = static_cast<int>(caret.left);
    const int cy = static_cast<int>(caret.top + caret.height / 2);
    const uint32_t with_caret = ScreenPixel(cx, cy);
    Advance(dui::ExEdit::kBlinkMs);
    EXPECT_FALSE(edit.CaretVisible());
    const uint32_t without = ScreenPixel(cx, cy);
    EXPECT_NE(with_caret, without);
    EXPECT_LT(with_caret & 0xFF, without & 0xFF);  // darker with the caret
    Advance(dui::ExEdit::kBlinkMs);
    EXPECT_TRUE(edit.CaretVisible());
    // Typing moves the caret; its old column is recomposed without it (a
    // space, so no glyph of any face reaches into that column).
    Type(" ");
    EXPECT_EQ(ScreenPixel(cx, cy), without);

    // The window loses the keyboard: the caret stops, the focus stays.
    dui::DispatchToControl(edit.GetHandle(), plat::WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(edit.CaretVisible());
    EXPECT_EQ(host->FocusedControl(), edit.GetHandle());
    Advance(dui::ExEdit::kBlinkMs * 3);
    EXPECT_FALSE(edit.CaretVisible());
    dui::DispatchToControl(edit.GetHandle(), plat::WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(edit.CaretVisible());
}

TEST_F(EditTest, LosingFocusCollapsesSelectionAndStopsCaret) {
    EditOptions options;
    options.text = "select me";
    ExEdit& edit = AddEdit({20, 20, 180, 24}, options);
    auto& other = AddControl({20, 100, 50, 20});
    ClickInto(edit);
    Ctrl('A');
    EXPECT_EQ(edit.SelectedText(), "select me");
    headless::Click(window, {30, 110});
    Pump();
    EXPECT_NE(host->FocusedControl(), edit.GetHandle());
    EXPECT_EQ(&other, &other);
    EXPECT_EQ(edit.SelectedText(), "");
    EXPECT_FALSE(edit.CaretVisible());
    Advance(dui::ExEdit::kBlinkMs);
    EXPECT_FALSE(edit.CaretVisible());
}

TEST_F(EditTest, MultiLineEnterUpDownAndPasteBreaks) {
    EditOptions options;
    options.multi_line = true;
    ExEdit& edit = AddEdit({20, 20, 200, 120}, options);
    ClickInto(edit);
    Type("ab");
    Key(plat::VK_RETURN);
    Type("cd");
    EXPECT_EQ(edit.EditText(), "ab\r\ncd");
    EXPECT_EQ(edit.CaretLine(), 2);
    Key(plat::VK_UP);
    EXPECT_EQ(edit.CaretLine(), 1);
    EXPECT_EQ(edit.CaretColumn(), 2);
    Key(plat::VK_RIGHT);  // crosses the line end
    EXPECT_EQ(edit.CaretLine(), 2);
    EXPECT_EQ(edit.CaretColumn(), 0);
    Key(plat::VK_BACK);   // joins the lines
    EXPECT_EQ(edit.EditText(), "abcd");
    headless::SetSystemClipboard("1\n2\r\n3");
    Ctrl('V');
    EXPECT_EQ(edit.EditText(), "ab1\r\n2\r\n3cd");
    EXPECT_EQ(edit.Buffer().LineCount(), 3);
}

TEST_F(EditTest, MultiLineWheelScrollsWhileTheBarShows) {
    EditOptions options;
    options.multi_line = true;
    std::string text;
    for (int i = 0; i < 40; ++i) text += "line\r\n";
    options.text = text;
    ExEdit& edit = AddEdit({20, 20, 200, 100}, options);
    ClickInto(edit);
    Key(plat::VK_HOME);
    EXPECT_EQ(edit.ScrollY(), 0);
    dui::DispatchToControl(edit.GetHandle(), plat::WM_MOUSEWHEEL,
                           plat::MAKEWPARAM(0, static_cast<uint16_t>(-120)), 0);
    EXPECT_FLOAT_EQ(edit.ScrollY(), 3 * static_cast<float>(edit.Font().Height()));
    for (int i = 0; i < 50; ++i) {
        dui::DispatchToControl(edit.GetHandle(), plat::WM_MOUSEWHEEL,
                               plat::MAKEWPARAM(0, static_cast<uint16_t>(-120)), 0);
    }
    const float most = edit.ScrollY();
    EXPECT_LE(most, 41 * static_cast<float>(edit.Font().Height()));
    EXPECT_GT(most, 0);
}

TEST_F(EditTest, HostileInputStaysBounded) {
    ExEdit& edit = AddEdit({20, 20, 180, 24});
    ClickInto(edit);
    // Control characters and NULs from the clipboard do not break drawing.
    headless::SetSystemClipboard(std::string("a\x01\tb", 4));
    Ctrl('V');
    EXPECT_EQ(edit.EditText().size(), 4u);
    // A huge paste is cut at the limit, on a character boundary.
    headless::SetSystemClipboard(std::string(dui::kEditMaxBytes + 100, 'x'));
    Ctrl('A');
    Ctrl('V');
    EXPECT_EQ(edit.EditText().size(), dui::kEditMaxBytes);
    Ctrl('A');
    headless::SetSystemClipboard(std::string(dui::kEditMaxBytes, 'x') + U8(u8"中"));
    Ctrl('V');
    EXPECT_LE(edit.EditText().size(), dui::kEditMaxBytes);
}

}  // namespace
