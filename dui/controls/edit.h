#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/controls/scroll_bar.h"
#include "dui/controls/text_buffer.h"
#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/font.h"
#include "dui/core/string_format.h"
#include "dui/core/text_layout.h"
#include "dui/core/text_style.h"

namespace dui {

// What an edit box accepts.
enum class EditInputType : int {
    Normal = 0,
    ReadOnly = 1,  // selectable and copyable, never changed by the user
    Masked = 2,    // drawn as mask characters; no copy, cut, select all or menu
    Digits = 3,    // typing accepts 0-9 only
    Decimal = 4,   // 0-9 and one "."
};

// Scroll-bar bits of a multi-line box: horizontal scrolling (lines never
// wrap) and a vertical bar. The vertical bar alone wraps lines at the width.
inline constexpr int kEditScrollHorizontal = 1;
inline constexpr int kEditScrollVertical = 2;

// Commands of the context menu: the letters of their Ctrl keys.
inline constexpr int kEditCommandCut = 'X';
inline constexpr int kEditCommandCopy = 'C';
inline constexpr int kEditCommandPaste = 'V';
inline constexpr int kEditCommandSelectAll = 'A';

// The most text a box holds; longer pastes and texts are cut at a character.
inline constexpr size_t kEditMaxBytes = 1 << 20;

// Called after the text changed: the edit box and its parent (None for a
// top-level box).
using TextChangedHandler = std::function<void(ControlHandle edit, ControlHandle parent)>;

// The optional arguments of CreateEdit; the defaults are what an argument
// left out means.
struct EditOptions {
    std::string text;
    std::optional<Argb> text_colour;        // black at 230
    std::optional<Argb> back_colour;        // white at 160
    std::optional<std::string> font_name;   // any font argument given: own font
    std::optional<float> font_size;         // 12
    std::optional<int> font_style;
    bool multi_line = false;
    EditInputType input_type = EditInputType::Normal;
    std::string mask = "*";
    std::optional<int> scroll_bars;         // single-line 0, multi-line 3
    std::optional<Argb> border_colour;      // black at 80
};

// The text input control (kind 9). It keeps GBK text in an ExTextBuffer and
// edits it at a caret with an optional selection (anchor to caret). Typed
// printable ASCII comes from WM_CHAR, everything else (Chinese) from the
// input method's result string; Ctrl+A/C/V/X and the shared context menu
// select, copy, paste and cut through the clipboard. The text is drawn by
// the box itself, scrolled so that the caret stays in view; the one-pixel
// caret blinks every 500 ms while the box has the focus and its window has
// the keyboard, and is drawn into the composition (never into the canvas),
// so a blink recomposes one pixel column.
//
// Positions: a caret is a byte offset at a character start; lines are
// 1-based and columns count characters (a Chinese character is one column
// and two bytes).
class ExEdit : public ExControl {
public:
    static constexpr unsigned kBlinkMs = 500;
    static constexpr uint64_t kTripleClickMs = 500;

    ExEdit() = default;
    ~ExEdit() override;

    ControlHandle CreateEdit(ControlParent parent, float left, float top, float width,
                             float height, EditOptions options = {});

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    // The whole text; setting it puts the caret at the end and fires the
    // text-changed handler.
    const std::string& EditText() const { return m_buffer.Text(); }
    const std::string& EditText(std::string_view text);
    bool IsEmpty() const { return m_buffer.Empty(); }
    EditInputType InputType() const { return m_input_type; }
    EditInputType InputType(EditInputType type);
    void OnTextChanged(TextChangedHandler handler) { m_on_text_changed = std::move(handler); }
    void FireTextChanged();

    // Editing, as the keys and menu commands do it. InsertText replaces the
    // selection (nothing for a read-only box or an empty text);
    // DeleteSelection returns whether anything was selected.
    void InsertText(std::string_view text);
    bool DeleteSelection();
    std::string SelectedText() const;
    // Handles a key (a virtual key code) or a menu command (its letter, with
    // Ctrl counted as held). kNotHandled when the box has no use for it.
    intptr_t OnKey(int key, bool control, bool shift);
    // Moves the caret (and, unless extending, the anchor) to a byte offset.
    void SetCaret(size_t offset, bool extend);
    void SelectAll();

    // Caret and selection.
    size_t CaretOffset() const { return m_caret; }
    size_t AnchorOffset() const { return m_anchor; }
    int CaretLine() const { return m_buffer.LineOf(m_caret); }
    int CaretColumn() const;
    // (line, column) to a byte offset, clamped to the text.
    size_t ByteOffset(int line, int column) const;
    bool CaretVisible() const { return m_caret_visible; }
    // Where the caret is drawn, in host client coordinates.
    RectF CaretRect() const;

    // Scrolling, in pixels of text moved out of view to the left / top;
    // the setters clamp to the text.
    float ScrollX() const { return m_scroll_x; }
    float ScrollX(float position);
    float ScrollY() const { return m_scroll_y; }
    float ScrollY(float position);

    const ExTextBuffer& Buffer() const { return m_buffer; }
    const dui::Font& Font() const { return m_style.font; }
    const TextStyle& Style() const { return m_style; }
    bool MultiLine() const { return m_multi_line; }
    int ScrollBars() const { return m_scroll_bars; }
    // The text area: the bounds inset by 2, less the scroll bars shown.
    RectF InnerRect() const;

private:
    // One laid-out line: its display text laid out and, per character, the
    // GBK byte offset (relative to the line) and the UTF-8 index in the
    // layout.
    struct LineLayout {
        TextLayout layout;
        std::vector<size_t> gbk;   // character starts, then the line length
        std::vector<int> utf8;     // the same characters in the layout text
        float top = 0;             // in text coordinates
        float height = 0;
        float width = 0;
    };

    void Layout();
    void LayoutLine(int line, LineLayout& out) const;
    void PlaceScrollBars();
    void UpdateScrollBars();
    void Paint();
    void Redraw();
    void DrawCaret(ExCanvas& target) const;
    void BlinkRestart();
    void StopCaret();
    void EnsureCaretVisible();
    void PlaceSystemCaret();
    void RecomposeCaret();
    void ChangeText(std::string text, size_t caret);
    bool ReadOnlyRefuses() const { return m_input_type == EditInputType::ReadOnly; }

    // Geometry of the text.
    PointF OffsetToPoint(size_t offset) const;   // text coordinates, top of the line
    size_t PointToOffset(float x, float y) const;  // text coordinates
    float TextOriginX() const;
    float TextOriginY() const;
    float ContentWidth() const;
    float ContentHeight() const;
    int LineAtY(float y) const;

    intptr_t OnPointerDown(const PointerEvent& event) override;
    intptr_t OnPointerDoubleClick(const PointerEvent& event) override;
    intptr_t OnPointerUp(const PointerEvent& event) override;
    intptr_t OnPointerMove(const PointerEvent& event) override;
    intptr_t OnPointerWheel(const WheelEvent& event) override;
    intptr_t OnKeyDown(const KeyEvent& event) override;
    intptr_t OnChar(const CharEvent& event) override;
    void OnFocusIn(ControlHandle previous) override;
    void OnFocusOut(ControlHandle next) override;
    void OnSized(float width, float height) override;

    size_t OffsetAtPointer(PointF point) const;  // a point relative to the bounds
    void PressAt(PointF point, bool double_click);
    void OpenContextMenu();
    void InsertTyped(uint32_t code);
    void OnImeComposition(intptr_t lparam);
    void SelectWordAt(size_t offset);
    void SelectLineAt(size_t offset);
    size_t MoveVertically(int direction) const;

    void OnFocusGained();
    void OnFocusLost();

    ExTextBuffer m_buffer;
    TextStyle m_style;  // font, text colour and format; drawn per character
    Argb m_back_colour = 0;
    Argb m_border_colour = 0;
    Argb m_caret_colour = 0;
    EditInputType m_input_type = EditInputType::Normal;
    std::string m_mask = "*";
    bool m_multi_line = false;
    int m_scroll_bars = 0;
    std::unique_ptr<ExScrollBar> m_hscroll;
    std::unique_ptr<ExScrollBar> m_vscroll;
    float m_scroll_x = 0;
    float m_scroll_y = 0;
    size_t m_anchor = 0;
    size_t m_caret = 0;
    bool m_caret_visible = false;
    bool m_focused = false;         // the box has the framework focus
    bool m_window_focused = true;   // its window has the keyboard
    bool m_ime_detached = false;
    plat::HIMC m_saved_ime = nullptr;
    bool m_dragging = false;
    std::optional<uint64_t> m_double_click_time;
    float m_line_height = 0;
    std::vector<LineLayout> m_lines;
    TextChangedHandler m_on_text_changed;
};

}  // namespace dui
