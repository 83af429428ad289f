#include "dui/controls/edit.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <utility>

#include "dui/controls/controls_module.h"
#include "dui/core/host_window.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

constexpr float kInset = 2;       // the text area inside the bounds
constexpr float kTextPad = 1;     // the caret at column 0 stays inside
constexpr float kBarThickness = ExScrollBar::kThickness;
constexpr int kWheelLines = 3;
constexpr float kDefaultFontSize = 12;
constexpr Argb kSelectionFill = ArgbOf(254, 51, 153, 255);
constexpr Argb kSelectedText = ArgbOf(254, 255, 255, 255);
constexpr Argb kCaretColour = ArgbOf(230, 0, 0, 0);
constexpr const char* kReplacementUtf8 = "\xEF\xBF\xBD";

// Menu positions of the shared context menu.
constexpr int kMenuCut = 1;
constexpr int kMenuCopy = 2;
constexpr int kMenuPaste = 3;
constexpr int kMenuSelectAll = 5;

// Character classes for double-click word selection: a run of one class is
// a word (spaces, ASCII letters and digits, other ASCII, double-byte text).
int CharClass(std::string_view text, size_t offset) {
    const auto c = static_cast<unsigned char>(text[offset]);
    if (c == ' ' || c == '\t') return 0;
    if (std::isalnum(c) || c == '_') return 1;
    if (c < 0x80) return 2;
    return 3;
}

// UTF-8 of one GBK character for display: control bytes become U+FFFD so
// that no character of the text can break or reorder the layout.
void AppendDisplayChar(std::string& out, std::string_view gbk_char) {
    const auto first = static_cast<unsigned char>(gbk_char[0]);
    if (gbk_char.size() == 1 && first < 0x80) {
        if (first < 0x20 && first != '\t') out.append(kReplacementUtf8);
        else out.push_back(static_cast<char>(first));
        return;
    }
    const std::string utf8 = TextToUtf8(gbk_char);
    // One character must stay one code point, whatever the converter made.
    if (utf8.empty() || g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size())) != 1) {
        out.append(kReplacementUtf8);
    } else {
        out.append(utf8);
    }
}

}  // namespace

ExEdit::~ExEdit() { Destroy(); }

// ---------------------------------------------------------------------------
// Creation and messages

ControlHandle ExEdit::CreateEdit(ControlParent parent, float left, float top, float width,
                                 float height, EditOptions options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_style = TextStyle{};
    m_style.colour = options.text_colour.value_or(ArgbOf(230, 0, 0, 0));
    m_back_colour = options.back_colour.value_or(ArgbOf(160, 255, 255, 255));
    m_border_colour = options.border_colour.value_or(ArgbOf(80, 0, 0, 0));
    m_caret_colour = kCaretColour;
    if (options.font_name || options.font_size || options.font_style) {
        m_style.font = CreateFont(options.font_name ? *options.font_name : DefaultFont().Family(),
                                  options.font_size.value_or(kDefaultFontSize),
                                  options.font_style.value_or(kFontRegular));
        m_style.own_font = true;
    } else {
        m_style.font = DefaultFont();
    }
    m_line_height = static_cast<float>(std::max(1, m_style.font.Height()));
    m_multi_line = options.multi_line;
    m_scroll_bars = m_multi_line ? options.scroll_bars.value_or(3) & 3 : 0;
    m_style.format = StringFormat(kFormatNoFontFallback | kFormatMeasureTrailingSpaces | kFormatNoClip |
                                  (m_scroll_bars == kEditScrollVertical ? uint32_t{kFormatLineLimit} : 0u));
    m_style.format.trimming = StringTrimming::None;
    m_style.format.SetTabStops(1, {8});
    m_input_type = options.input_type;
    m_mask = options.mask.empty() ? std::string("*") : options.mask;
    std::string text = std::move(options.text);
    if (text.size() > kEditMaxBytes) text.resize(GbkCharStartAtOrBefore(text, kEditMaxBytes));
    m_buffer.SetText(std::move(text), m_multi_line);
    m_caret = m_anchor = 0;
    m_scroll_x = m_scroll_y = 0;
    const ControlHandle handle = Create(parent, RectF{left, top, width, height}, ControlKind::Edit,
                                        true, true, plat::LoadCursor(nullptr, plat::IDC_IBEAM));
    return handle;
}

intptr_t ExEdit::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_CREATE:
            if (m_multi_line && (m_scroll_bars & kEditScrollVertical)) {
                m_vscroll = std::make_unique<ExScrollBar>();
                m_vscroll->CreateScrollBar(GetHandle(), {0, 0, kBarThickness, kBarThickness},
                                           {.maximum = 0, .page = 1, .orientation = ScrollOrientation::Vertical,
                                            .visible = false});
            }
            if (m_multi_line && (m_scroll_bars & kEditScrollHorizontal)) {
                m_hscroll = std::make_unique<ExScrollBar>();
                m_hscroll->CreateScrollBar(GetHandle(), {0, 0, kBarThickness, kBarThickness},
                                           {.maximum = 0, .page = 1, .visible = false});
            }
            for (ExScrollBar* bar : {m_vscroll.get(), m_hscroll.get()}) {
                if (bar == nullptr) continue;
                const ControlHandle self = GetHandle();
                const bool vertical = bar == m_vscroll.get();
                bar->OnChange([self, vertical](ControlHandle, ControlHandle, int position) {
                    if (auto* edit = dynamic_cast<ExEdit*>(ResolveControl(self))) {
                        if (vertical) edit->ScrollY(position);
                        else edit->ScrollX(position);
                    }
                });
            }
            Layout();
            return 0;
        case plat::WM_DESTROY:
            if (m_focused) OnFocusLost();
            m_vscroll.reset();
            m_hscroll.reset();
            m_lines.clear();
            m_on_text_changed = nullptr;
            return 0;
        case plat::WM_PAINT:
        case EX_MSG_REPAINTSTATE:
            Paint();
            return 0;
        case EX_MSG_CUSTOMDRAW: {
            const auto* record = reinterpret_cast<const CompositionRecord*>(lparam);
            if (record == nullptr || record->target == nullptr) return kNotHandled;
            const int alpha = std::clamp(Alpha(), 0, 255);
            const int fade = std::clamp(FadeAlpha(), 0, 255);
            if (record->fade_snapshot != nullptr && alpha > fade) {
                record->target->DrawImageAlpha(*record->fade_snapshot, record->rect, alpha - fade);
            }
            if (record->canvas != nullptr && fade > 0) {
                record->target->DrawImageAlpha(*record->canvas, record->rect, fade);
            }
            DrawCaret(*record->target);
            return 1;
        }
        case plat::WM_SETFOCUS:
            // The window has the keyboard again; the box kept the focus.
            m_window_focused = true;
            if (m_focused) {
                plat::CreateCaret(GetHostHandle(), nullptr, 1, static_cast<int>(m_line_height) + 3);
                PlaceSystemCaret();
                BlinkRestart();
            }
            return 0;
        case plat::WM_KILLFOCUS:
            m_window_focused = false;
            StopCaret();
            return 0;
        case plat::WM_TIMER:
            m_caret_visible = !m_caret_visible && m_focused && m_window_focused;
            RecomposeCaret();
            return 0;
        case plat::WM_IME_COMPOSITION:
            OnImeComposition(lparam);
            return 0;
        case plat::WM_COMMAND:
            switch (static_cast<int>(wparam)) {
                case kEditCommandCut:
                case kEditCommandCopy:
                case kEditCommandPaste:
                case kEditCommandSelectAll:
                    return OnKey(static_cast<int>(wparam), true, false);
                default:
                    return kNotHandled;
            }
        case plat::WM_SETTEXT: {
            const char* text = reinterpret_cast<const char*>(lparam);
            std::string value = text != nullptr ? std::string(text) : std::string();
            if (value.size() > kEditMaxBytes) value.resize(GbkCharStartAtOrBefore(value, kEditMaxBytes));
            m_scroll_x = m_scroll_y = 0;
            ExTextBuffer normalised;
            normalised.SetText(std::move(value), m_multi_line);
            const size_t caret = wparam != 0 ? normalised.Length() : 0;
            ChangeText(normalised.Text(), caret);
            return 1;
        }
        case plat::WM_GETTEXT: {
            char* out = reinterpret_cast<char*>(lparam);
            if (out == nullptr || wparam == 0) return 0;
            const size_t count = std::min<size_t>(wparam - 1, m_buffer.Length());
            std::memcpy(out, m_buffer.Text().data(), count);
            out[count] = '\0';
            return static_cast<intptr_t>(count);
        }
        case plat::WM_GETTEXTLENGTH:
            return static_cast<intptr_t>(m_buffer.Length());
        default:
            break;
    }
    return ExControl::OnMessage(message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// Text, caret and selection

const std::string& ExEdit::EditText(std::string_view text) {
    if (GetHandle() == ControlHandle::None) {
        m_buffer.SetText(std::string(text), m_multi_line);
        return m_buffer.Text();
    }
    const std::string copy(text);
    DispatchToControl(GetHandle(), plat::WM_SETTEXT, 1, reinterpret_cast<intptr_t>(copy.c_str()));
    return m_buffer.Text();
}

EditInputType ExEdit::InputType(EditInputType type) {
    if (type == m_input_type) return m_input_type;
    const bool focused = m_focused;
    if (focused) OnFocusLost();
    m_input_type = type;
    if (focused) OnFocusGained();
    Layout();
    Redraw();
    return m_input_type;
}

void ExEdit::FireTextChanged() {
    if (!m_on_text_changed) return;
    const TextChangedHandler handler = m_on_text_changed;
    handler(GetHandle(), GetParent());
}

int ExEdit::CaretColumn() const {
    const int line = CaretLine();
    const size_t start = m_buffer.LineStart(line);
    return static_cast<int>(GbkCharCount(std::string_view(m_buffer.Text()).substr(start, m_caret - start)));
}

size_t ExEdit::ByteOffset(int line, int column) const {
    line = std::clamp(line, 1, m_buffer.LineCount());
    return m_buffer.LineStart(line) +
           GbkOffsetOfColumn(m_buffer.LineText(line), static_cast<size_t>(std::max(column, 0)));
}

std::string ExEdit::SelectedText() const { return m_buffer.Range(m_anchor, m_caret); }

void ExEdit::SetCaret(size_t offset, bool extend) {
    offset = std::min(offset, m_buffer.Length());
    // Snap to the start of the character holding the offset.
    const int line = m_buffer.LineOf(offset);
    const size_t start = m_buffer.LineStart(line);
    offset = std::min(offset, m_buffer.LineEnd(line));
    offset = start + GbkCharStartAtOrBefore(m_buffer.LineText(line), offset - start);
    const size_t new_anchor = extend ? m_anchor : offset;
    if (offset == m_caret && new_anchor == m_anchor) {
        BlinkRestart();
        return;
    }
    const bool had_selection = m_anchor != m_caret;
    const RectF old_caret = CaretRect();
    const float old_x = m_scroll_x, old_y = m_scroll_y;
    m_caret = offset;
    m_anchor = new_anchor;
    EnsureCaretVisible();
    PlaceSystemCaret();
    m_caret_visible = m_focused && m_window_focused;
    if (had_selection || m_anchor != m_caret || old_x != m_scroll_x || old_y != m_scroll_y) {
        Redraw();
    } else if (ExHostWindow* host = Host()) {
        // Only the caret moved: recompose its old and new columns.
        host->RedrawRect(old_caret);
        host->RedrawRect(CaretRect());
    }
    if (m_focused && m_window_focused) StartTimer(kBlinkMs);
}

void ExEdit::SelectAll() {
    if (m_buffer.Empty() && m_caret == 0) return;
    m_anchor = 0;
    SetCaret(m_buffer.Length(), true);
}

void ExEdit::ChangeText(std::string text, size_t caret) {
    m_buffer.SetText(std::move(text), m_multi_line);
    const size_t at = std::min(caret, m_buffer.Length());
    const int line = m_buffer.LineOf(at);
    const size_t start = m_buffer.LineStart(line);
    m_caret = m_anchor =
        start + GbkCharStartAtOrBefore(m_buffer.LineText(line), std::min(at, m_buffer.LineEnd(line)) - start);
    Layout();
    EnsureCaretVisible();
    m_caret_visible = m_focused && m_window_focused;
    Redraw();
    PlaceSystemCaret();
    if (m_focused && m_window_focused) StartTimer(kBlinkMs);
    FireTextChanged();
}

void ExEdit::InsertText(std::string_view text) {
    if (ReadOnlyRefuses() || text.empty()) return;
    std::string piece = NormaliseBreaks(m_multi_line ? text : FirstLine(text));
    const size_t from = std::min(m_anchor, m_caret);
    const size_t to = std::max(m_anchor, m_caret);
    const size_t kept = m_buffer.Length() - (to - from);
    const size_t room = kEditMaxBytes > kept ? kEditMaxBytes - kept : 0;
    if (piece.size() > room) piece.resize(GbkCharStartAtOrBefore(piece, room));
    if (piece.empty()) return;
    std::string joined;
    joined.reserve(kept + piece.size());
    joined.append(m_buffer.Text(), 0, from);
    joined.append(piece);
    joined.append(m_buffer.Text(), to, std::string::npos);
    ChangeText(std::move(joined), from + piece.size());
}

bool ExEdit::DeleteSelection() {
    if (m_anchor == m_caret || ReadOnlyRefuses()) return false;
    const size_t from = std::min(m_anchor, m_caret);
    const size_t to = std::max(m_anchor, m_caret);
    std::string text = m_buffer.Text();
    text.erase(from, to - from);
    ChangeText(std::move(text), from);
    return true;
}

intptr_t ExEdit::OnKey(int key, bool control, bool shift) {
    if (control) {
        if (m_input_type == EditInputType::Masked) return kNotHandled;
        switch (key) {
            case 'A':
                SelectAll();
                return 0;
            case 'C':
                if (m_anchor != m_caret) plat::SetClipboardText(SelectedText());
                return 0;
            case 'V': {
                if (ReadOnlyRefuses()) return 0;
                std::string text = plat::GetClipboardText();
                if (text.empty()) return 0;
                // The clipboard ends lines with "\n"; the box with "\r\n".
                std::string pasted;
                pasted.reserve(text.size() + text.size() / 8);
                for (size_t i = 0; i < text.size() && pasted.size() <= 2 * kEditMaxBytes; ++i) {
                    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) pasted.push_back('\r');
                    pasted.push_back(text[i]);
                }
                InsertText(pasted);
                return 0;
            }
            case 'X':
                if (ReadOnlyRefuses() || m_anchor == m_caret) return 0;
                plat::SetClipboardText(SelectedText());
                DeleteSelection();
                return 0;
            default:
                return kNotHandled;
        }
    }
    const std::string_view text = m_buffer.Text();
    const int line = m_buffer.LineOf(m_caret);
    const size_t line_start = m_buffer.LineStart(line);
    const size_t line_end = m_buffer.LineEnd(line);
    switch (key) {
        case plat::VK_BACK: {
            if (ReadOnlyRefuses() || DeleteSelection()) return 0;
            if (m_caret == 0) return 0;
            const size_t previous = m_caret == line_start ? m_buffer.LineEnd(line - 1)
                                                          : GbkPreviousChar(text, line_start, m_caret);
            std::string changed(text);
            changed.erase(previous, m_caret - previous);
            ChangeText(std::move(changed), previous);
            return 0;
        }
        case plat::VK_DELETE: {
            if (ReadOnlyRefuses() || DeleteSelection()) return 0;
            if (m_caret >= text.size()) return 0;
            const size_t next = m_caret == line_end ? m_buffer.LineStart(line + 1)
                                                    : m_caret + GbkCharLength(text, m_caret);
            std::string changed(text);
            changed.erase(m_caret, next - m_caret);
            ChangeText(std::move(changed), m_caret);
            return 0;
        }
        case plat::VK_RETURN:
            if (!m_multi_line) return kNotHandled;
            InsertText("\r\n");
            return 0;
        case plat::VK_HOME:
            SetCaret(line_start, shift);
            return 0;
        case plat::VK_END:
            SetCaret(line_end, shift);
            return 0;
        case plat::VK_LEFT:
            if (m_caret == line_start) {
                if (m_multi_line && line > 1) SetCaret(m_buffer.LineEnd(line - 1), shift);
                else SetCaret(m_caret, shift);
            } else {
                SetCaret(GbkPreviousChar(text, line_start, m_caret), shift);
            }
            return 0;
        case plat::VK_RIGHT:
            if (m_caret == line_end) {
                if (m_multi_line && line < m_buffer.LineCount()) SetCaret(m_buffer.LineStart(line + 1), shift);
                else SetCaret(m_caret, shift);
            } else {
                SetCaret(m_caret + GbkCharLength(text, m_caret), shift);
            }
            return 0;
        case plat::VK_UP:
        case plat::VK_DOWN:
            if (m_multi_line) SetCaret(MoveVertically(key == plat::VK_UP ? -1 : 1), shift);
            return 0;
        default:
            break;
    }
    return kNotHandled;
}

intptr_t ExEdit::OnKeyDown(const KeyEvent& event) {
    return OnKey(event.key, event.modifiers.control, event.modifiers.shift);
}

intptr_t ExEdit::OnChar(const CharEvent& event) {
    InsertTyped(event.code);
    return 0;
}

void ExEdit::InsertTyped(uint32_t code) {
    if (code < 32 || code > 126) return;
    const char c = static_cast<char>(code);
    const bool digit = c >= '0' && c <= '9';
    if (m_input_type == EditInputType::Digits && !digit) return;
    if (m_input_type == EditInputType::Decimal) {
        if (!digit && c != '.') return;
        if (c == '.' && m_buffer.Text().find('.') != std::string::npos) return;
    }
    InsertText(std::string_view(&c, 1));
}

void ExEdit::OnImeComposition(intptr_t lparam) {
    if ((static_cast<plat::DWORD>(lparam) & plat::GCS_RESULTSTR) == 0) return;
    // Boxes that take digits or masked text have no input method; a result
    // arriving anyway is not theirs.
    if (m_input_type == EditInputType::Masked || m_input_type == EditInputType::Digits ||
        m_input_type == EditInputType::Decimal) {
        return;
    }
    const plat::HWND host = GetHostHandle();
    const plat::HIMC context = plat::ImmGetContext(host);
    if (context == nullptr) return;
    const plat::LONG size = plat::ImmGetCompositionString(context, plat::GCS_RESULTSTR, nullptr, 0);
    std::string result;
    if (size > 0) {
        result.resize(std::min<size_t>(static_cast<size_t>(size), kEditMaxBytes));
        const plat::LONG read = plat::ImmGetCompositionString(context, plat::GCS_RESULTSTR, result.data(),
                                                              static_cast<plat::DWORD>(result.size()));
        result.resize(read > 0 ? std::min(result.size(), static_cast<size_t>(read)) : 0);
    }
    plat::ImmReleaseContext(host, context);
    InsertText(result);
}

// ---------------------------------------------------------------------------
// Mouse

size_t ExEdit::OffsetAtPointer(PointF point) const {
    return PointToOffset(point.x - kInset - kTextPad + m_scroll_x,
                         point.y - kInset - TextOriginY() + m_scroll_y);
}

intptr_t ExEdit::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left) return kNotHandled;
    PressAt(event.point, false);
    return 0;
}

intptr_t ExEdit::OnPointerDoubleClick(const PointerEvent& event) {
    PressAt(event.point, true);
    return 0;
}

intptr_t ExEdit::OnPointerMove(const PointerEvent& event) {
    if (m_dragging && m_input_type != EditInputType::Masked) SetCaret(OffsetAtPointer(event.point), true);
    return 0;
}

intptr_t ExEdit::OnPointerUp(const PointerEvent& event) {
    if (event.button == PointerButton::Right) {
        OpenContextMenu();
    } else {
        m_dragging = false;
        BlinkRestart();
    }
    return 0;
}

intptr_t ExEdit::OnPointerWheel(const WheelEvent& event) {
    if (!m_multi_line || m_vscroll == nullptr || !m_vscroll->Visible()) return kNotHandled;
    const int notches = event.delta / plat::WHEEL_DELTA;
    if (notches != 0) {
        ScrollY(static_cast<int>(m_scroll_y - static_cast<float>(notches * kWheelLines) * m_line_height));
    }
    return 0;
}

void ExEdit::OnFocusIn(ControlHandle) { OnFocusGained(); }

void ExEdit::OnFocusOut(ControlHandle) { OnFocusLost(); }

void ExEdit::OnSized(float, float) {
    Layout();
    EnsureCaretVisible();
}

void ExEdit::PressAt(PointF point, bool double_click) {
    const size_t offset = OffsetAtPointer(point);
    const uint64_t now = plat::GetTickCount64();
    const bool masked = m_input_type == EditInputType::Masked;
    if (double_click && !masked) {
        SelectWordAt(offset);
        m_double_click_time = now;
        m_dragging = false;
        return;
    }
    if (m_double_click_time && now - *m_double_click_time <= kTripleClickMs && !masked) {
        m_double_click_time.reset();
        SelectLineAt(offset);
        m_dragging = false;
        return;
    }
    m_double_click_time.reset();
    SetCaret(offset, false);
    m_dragging = true;
}

void ExEdit::OpenContextMenu() {
    if (m_input_type == EditInputType::Masked) return;
    ExPopupMenu& menu = EditContextMenu();
    const bool selected = m_anchor != m_caret;
    const auto state = [](bool enabled) { return enabled ? kMenuItemEnabled : kMenuItemDisabled; };
    menu.ItemState(kMenuCut, state(selected && !ReadOnlyRefuses()));
    menu.ItemState(kMenuCopy, state(selected));
    menu.ItemState(kMenuPaste, state(!ReadOnlyRefuses() && plat::ClipboardHasText()));
    menu.ItemState(kMenuSelectAll, state(!m_buffer.Empty()));
    // The chosen command comes back as WM_COMMAND once the menu is gone; the
    // box may not exist any more when Popup returns.
    menu.Popup(GetHostHandle());
}

void ExEdit::SelectWordAt(size_t offset) {
    const int line = m_buffer.LineOf(offset);
    const size_t start = m_buffer.LineStart(line);
    const std::string_view text = m_buffer.LineText(line);
    if (text.empty()) {
        SetCaret(start, false);
        return;
    }
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size(); at += GbkCharLength(text, at)) starts.push_back(at);
    const size_t relative = std::min(offset - start, text.size());
    auto found = std::upper_bound(starts.begin(), starts.end(), relative);
    size_t index = static_cast<size_t>(found - starts.begin());
    index = index == 0 ? 0 : index - 1;
    const int word_class = CharClass(text, starts[index]);
    size_t first = index, last = index;
    while (first > 0 && CharClass(text, starts[first - 1]) == word_class) --first;
    while (last + 1 < starts.size() && CharClass(text, starts[last + 1]) == word_class) ++last;
    const size_t end = last + 1 < starts.size() ? starts[last + 1] : text.size();
    m_anchor = start + starts[first];
    SetCaret(start + end, true);
    Redraw();
}

void ExEdit::SelectLineAt(size_t offset) {
    const int line = m_buffer.LineOf(offset);
    m_anchor = m_buffer.LineStart(line);
    SetCaret(m_buffer.LineEnd(line), true);
    Redraw();
}

size_t ExEdit::MoveVertically(int direction) const {
    const PointF at = OffsetToPoint(m_caret);
    const float target = at.y + static_cast<float>(direction) * m_line_height + m_line_height / 2;
    if (target < 0 || target >= ContentHeight()) return m_caret;
    return PointToOffset(at.x, target);
}

// ---------------------------------------------------------------------------
// Focus and caret

void ExEdit::OnFocusGained() {
    m_focused = true;
    const plat::HWND host = GetHostHandle();
    m_window_focused = plat::GetFocus() == host;
    if (!m_ime_detached && (m_input_type == EditInputType::Masked ||
                            m_input_type == EditInputType::Digits ||
                            m_input_type == EditInputType::Decimal)) {
        m_saved_ime = plat::ImmAssociateContext(host, nullptr);
        m_ime_detached = true;
    }
    plat::CreateCaret(host, nullptr, 1, static_cast<int>(m_line_height) + 3);
    PlaceSystemCaret();
    BlinkRestart();
}

void ExEdit::OnFocusLost() {
    m_focused = false;
    const plat::HWND host = GetHostHandle();
    if (m_ime_detached) {
        plat::ImmAssociateContext(host, m_saved_ime);
        m_ime_detached = false;
        m_saved_ime = nullptr;
    }
    StopCaret();
    m_dragging = false;
    if (m_anchor != m_caret) {
        m_anchor = m_caret;
        Redraw();
    }
    plat::POINT owner_caret{};
    if (plat::GetCaretPos(&owner_caret)) plat::DestroyCaret();
}

void ExEdit::BlinkRestart() {
    if (!m_focused || !m_window_focused) return;
    m_caret_visible = true;
    StartTimer(kBlinkMs);
    RecomposeCaret();
}

void ExEdit::StopCaret() {
    KillTimer();
    if (!m_caret_visible) return;
    m_caret_visible = false;
    RecomposeCaret();
}

void ExEdit::RecomposeCaret() {
    if (ExHostWindow* host = Host(); host != nullptr && Visible()) host->RedrawRect(CaretRect());
}

void ExEdit::DrawCaret(ExCanvas& target) const {
    if (!m_caret_visible || !m_focused || !m_window_focused) return;
    const RectF caret = CaretRect();
    const RectF inner = InnerRect();
    const float top = std::max(caret.top, inner.top);
    const float bottom = std::min(caret.Bottom(), inner.Bottom());
    if (caret.left < inner.left || caret.left >= inner.Right() || bottom <= top) return;
    target.FillRect(RectF{caret.left, top, 1, bottom - top}, m_caret_colour);
}

RectF ExEdit::CaretRect() const {
    const RectF inner = InnerRect();
    const PointF at = OffsetToPoint(m_caret);
    const float x = std::floor(inner.left + kTextPad - m_scroll_x + at.x);
    const float y = std::floor(inner.top + TextOriginY() - m_scroll_y + at.y) - 1;
    return RectF{x, y, 1, m_line_height + 3};
}

void ExEdit::PlaceSystemCaret() {
    if (!m_focused) return;
    const RectF caret = CaretRect();
    const RectF inner = InnerRect();
    // The input method's window follows it: keep it inside the text area.
    const float x = std::clamp(caret.left, inner.left, std::max(inner.left, inner.Right() - 1));
    const float y = std::clamp(caret.top, inner.top, std::max(inner.top, inner.Bottom() - 1));
    plat::SetCaretPos(static_cast<int>(x), static_cast<int>(y));
}

// ---------------------------------------------------------------------------
// Layout and scrolling

RectF ExEdit::InnerRect() const {
    const RectF& b = Bounds();
    float width = b.width - 2 * kInset;
    float height = b.height - 2 * kInset;
    if (m_vscroll != nullptr && m_vscroll->Visible()) width -= kBarThickness;
    if (m_hscroll != nullptr && m_hscroll->Visible()) height -= kBarThickness;
    return RectF{b.left + kInset, b.top + kInset, std::max(0.0f, width), std::max(0.0f, height)};
}

float ExEdit::TextOriginY() const {
    if (m_multi_line) return 0;
    // A single line sits in the middle of the text area.
    return std::floor(std::max(0.0f, (InnerRect().height - m_line_height) / 2));
}

float ExEdit::ContentWidth() const {
    float width = 0;
    for (const LineLayout& line : m_lines) width = std::max(width, line.width);
    return width;
}

float ExEdit::ContentHeight() const {
    if (m_lines.empty()) return m_line_height;
    return m_lines.back().top + m_lines.back().height;
}

void ExEdit::LayoutLine(int line, LineLayout& out) const {
    const std::string_view text = m_buffer.LineText(line);
    out.gbk.clear();
    out.utf8.clear();
    std::string display;
    display.reserve(text.size() * 3 / 2 + 4);
    std::string mask_utf8;
    if (m_input_type == EditInputType::Masked) {
        AppendDisplayChar(mask_utf8, std::string_view(m_mask).substr(0, GbkCharLength(m_mask, 0)));
    }
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x80;
    });
    for (size_t at = 0; at < text.size();) {
        out.gbk.push_back(at);
        at += ascii ? 1 : GbkCharLength(text, at);
    }
    // Usually the whole line converts at once, one code point per
    // character; malformed text is converted character by character.
    std::string whole;
    if (mask_utf8.empty() && !ascii) {
        whole = TextToUtf8(text);
        const bool controls = std::any_of(text.begin(), text.end(),
                                          [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        if (controls || g_utf8_validate(whole.data(), static_cast<gssize>(whole.size()), nullptr) == FALSE ||
            static_cast<size_t>(g_utf8_strlen(whole.data(), static_cast<gssize>(whole.size()))) != out.gbk.size()) {
            whole.clear();
        }
    }
    for (size_t i = 0; i < out.gbk.size(); ++i) {
        out.utf8.push_back(static_cast<int>(display.size()));
        const size_t at = out.gbk[i];
        if (!mask_utf8.empty()) {
            display.append(mask_utf8);
        } else if (ascii) {
            display.push_back(text[at]);
        } else if (!whole.empty()) {
            const char* start = whole.data() + display.size();
            const char* next = g_utf8_next_char(start);
            display.append(start, static_cast<size_t>(next - start));
        } else {
            const size_t end = i + 1 < out.gbk.size() ? out.gbk[i + 1] : text.size();
            AppendDisplayChar(display, text.substr(at, end - at));
        }
    }
    out.gbk.push_back(text.size());
    out.utf8.push_back(static_cast<int>(display.size()));

    const bool wrap = m_multi_line && m_scroll_bars == kEditScrollVertical;
    // Tab stops are measured from the text area; the text starts kTextPad in.
    out.layout.SetText(display, m_style.font, m_style.format,
                       TextFlow{.wrap_width = wrap ? std::max(1.0f, InnerRect().width - 2 * kTextPad) : 0.0f,
                                .single_paragraph = true,
                                .left = kTextPad});
    const RectF logical = out.layout.PixelExtents();
    out.width = logical.width;
    out.height = std::max(m_line_height, logical.height);
}

void ExEdit::Layout() {
    if (GetHandle() == ControlHandle::None) return;
    for (int pass = 0; pass < 2; ++pass) {
        const int count = m_buffer.LineCount();
        m_lines.resize(static_cast<size_t>(count));
        float top = 0;
        for (int line = 1; line <= count; ++line) {
            LineLayout& laid = m_lines[static_cast<size_t>(line - 1)];
            LayoutLine(line, laid);
            laid.top = top;
            top += laid.height;
        }
        // Showing or hiding a bar changes the text area (and wrapping):
        // lay out once more when it did.
        const bool before_v = m_vscroll != nullptr && m_vscroll->Visible();
        const bool before_h = m_hscroll != nullptr && m_hscroll->Visible();
        PlaceScrollBars();
        const bool after_v = m_vscroll != nullptr && m_vscroll->Visible();
        const bool after_h = m_hscroll != nullptr && m_hscroll->Visible();
        if (before_v == after_v && before_h == after_h) break;
    }
    UpdateScrollBars();
}

void ExEdit::PlaceScrollBars() {
    const RectF& b = Bounds();
    const float view_w = b.width - 2 * kInset;
    const float view_h = b.height - 2 * kInset;
    const bool need_v = m_vscroll != nullptr && ContentHeight() > view_h;
    const bool need_h = m_hscroll != nullptr &&
                        ContentWidth() + 2 * kTextPad > view_w - (need_v ? kBarThickness : 0);
    if (m_vscroll != nullptr) {
        m_vscroll->Move(b.Right() - 1 - kBarThickness, b.top + 1, kBarThickness,
                        std::max(0.0f, b.height - 2 - (need_h ? kBarThickness : 0)));
        m_vscroll->Visible(need_v);
    }
    if (m_hscroll != nullptr) {
        m_hscroll->Move(b.left + 1, b.Bottom() - 1 - kBarThickness,
                        std::max(0.0f, b.width - 2 - (need_v ? kBarThickness : 0)), kBarThickness);
        m_hscroll->Visible(need_h);
    }
}

void ExEdit::UpdateScrollBars() {
    const RectF inner = InnerRect();
    const float max_x = std::max(0.0f, ContentWidth() + 2 * kTextPad - inner.width);
    const float max_y = m_multi_line ? std::max(0.0f, ContentHeight() - inner.height) : 0.0f;
    m_scroll_x = std::clamp(m_scroll_x, 0.0f, max_x);
    m_scroll_y = std::clamp(m_scroll_y, 0.0f, max_y);
    if (m_vscroll != nullptr) {
        m_vscroll->Maximum(static_cast<int>(std::ceil(max_y)));
        m_vscroll->Page(static_cast<int>(inner.height));
        m_vscroll->Step(static_cast<int>(m_line_height));
        m_vscroll->Position(static_cast<int>(m_scroll_y));
    }
    if (m_hscroll != nullptr) {
        m_hscroll->Maximum(static_cast<int>(std::ceil(max_x)));
        m_hscroll->Page(static_cast<int>(inner.width));
        m_hscroll->Step(static_cast<int>(m_line_height));
        m_hscroll->Position(static_cast<int>(m_scroll_x));
    }
}

void ExEdit::EnsureCaretVisible() {
    const RectF inner = InnerRect();
    const PointF at = OffsetToPoint(m_caret);
    const bool wrap = m_multi_line && m_scroll_bars == kEditScrollVertical;
    if (!wrap) {
        // The caret occupies the column at its x; keep it inside, jumping a
        // third of the width so typing near the edge does not scroll on
        // every key.
        const float view = std::max(1.0f, inner.width - 2 * kTextPad);
        if (at.x < m_scroll_x) {
            m_scroll_x = std::max(0.0f, at.x - view / 3);
        } else if (at.x > m_scroll_x + view) {
            m_scroll_x = at.x - view + view / 3;
        }
    }
    if (m_multi_line) {
        if (at.y < m_scroll_y) {
            m_scroll_y = at.y;
        } else if (at.y + m_line_height > m_scroll_y + inner.height) {
            m_scroll_y = at.y + m_line_height - inner.height;
        }
    }
    UpdateScrollBars();
}

float ExEdit::ScrollX(float position) {
    const float before = m_scroll_x;
    m_scroll_x = std::isfinite(position) ? std::max(std::round(position), 0.0f) : 0.0f;
    UpdateScrollBars();
    if (m_scroll_x == before) return m_scroll_x;
    PlaceSystemCaret();
    Redraw();
    return m_scroll_x;
}

float ExEdit::ScrollY(float position) {
    const float before = m_scroll_y;
    m_scroll_y = std::isfinite(position) ? std::max(std::round(position), 0.0f) : 0.0f;
    UpdateScrollBars();
    if (m_scroll_y == before) return m_scroll_y;
    PlaceSystemCaret();
    Redraw();
    return m_scroll_y;
}

int ExEdit::LineAtY(float y) const {
    if (m_lines.empty() || y < 0) return 1;
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), y,
                                        [](float value, const LineLayout& line) { return value < line.top; });
    return std::max(1, static_cast<int>(after - m_lines.begin()));
}

PointF ExEdit::OffsetToPoint(size_t offset) const {
    const int line = m_buffer.LineOf(offset);
    if (line < 1 || line > static_cast<int>(m_lines.size())) return {};
    const LineLayout& laid = m_lines[static_cast<size_t>(line - 1)];
    const size_t relative = offset - m_buffer.LineStart(line);
    const auto found = std::lower_bound(laid.gbk.begin(), laid.gbk.end(), relative);
    const size_t index = std::min(static_cast<size_t>(found - laid.gbk.begin()), laid.utf8.size() - 1);
    const RectF caret = laid.layout.CaretRect(laid.utf8[index]);
    return PointF{caret.left, laid.top + caret.top};
}

size_t ExEdit::PointToOffset(float x, float y) const {
    if (m_lines.empty()) return 0;
    const int line = std::min(LineAtY(y), static_cast<int>(m_lines.size()));
    const LineLayout& laid = m_lines[static_cast<size_t>(line - 1)];
    const float local_y = std::clamp(y - laid.top, 0.0f, std::max(0.0f, laid.height - 1));
    const TextHit hit = laid.layout.HitTest({x, local_y});
    const auto found = std::upper_bound(laid.utf8.begin(), laid.utf8.end(), hit.index);
    size_t character = found == laid.utf8.begin() ? 0 : static_cast<size_t>(found - laid.utf8.begin()) - 1;
    if (hit.trailing > 0) ++character;
    character = std::min(character, laid.gbk.size() - 1);
    return m_buffer.LineStart(line) + laid.gbk[character];
}

// ---------------------------------------------------------------------------
// Painting

void ExEdit::Redraw() { Invalidate(); }

void ExEdit::Paint() {
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    const RectF& bounds = Bounds();
    const float w = static_cast<float>(canvas->Width());
    const float h = static_cast<float>(canvas->Height());
    canvas->FillRect(RectF{0, 0, w, h}, m_back_colour);
    canvas->DrawBorder(RectF{0, 0, w, h}, kBorderSolid, m_border_colour);

    const RectF inner = OffsetRect(InnerRect(), -bounds.left, -bounds.top);
    canvas->SaveClip();
    canvas->SetClipRect(inner, CombineMode::Intersect);
    const float origin_x = inner.left + kTextPad - m_scroll_x;
    const float origin_y = inner.top + TextOriginY() - m_scroll_y;
    const size_t selection_from = std::min(m_anchor, m_caret);
    const size_t selection_to = std::max(m_anchor, m_caret);
    const Argb colour = StyledTextColour(m_style, *this);
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const LineLayout& laid = m_lines[i];
        const float top = origin_y + laid.top;
        if (top + laid.height <= inner.top) continue;
        if (top >= inner.Bottom()) break;
        const int line = static_cast<int>(i) + 1;
        const size_t line_start = m_buffer.LineStart(line);
        const size_t line_end = m_buffer.LineEnd(line);
        const PointF at{origin_x, top};
        if (selection_from >= selection_to || selection_to <= line_start || selection_from > line_end) {
            canvas->DrawTextLayout(laid.layout, at, colour);
            continue;
        }
        // The selected part: a fill, and the text again in white over it.
        const auto utf8_of = [&](size_t offset) {
            const size_t relative = std::clamp(offset, line_start, line_end) - line_start;
            const auto found = std::lower_bound(laid.gbk.begin(), laid.gbk.end(), relative);
            return laid.utf8[std::min(static_cast<size_t>(found - laid.gbk.begin()), laid.utf8.size() - 1)];
        };
        canvas->DrawTextLayout(laid.layout, at, colour,
                               TextSelection{utf8_of(selection_from), utf8_of(selection_to), kSelectionFill,
                                             kSelectedText});
    }
    canvas->RestoreClip();
    EndPaint();
}

}  // namespace dui
