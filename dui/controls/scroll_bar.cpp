#include "dui/controls/scroll_bar.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dui/core/messages.h"

namespace dui {
namespace {

constexpr int kFadeInterval = 60;
constexpr int kFadeEnterLeave = 51;
constexpr int kNoFade = 255;
constexpr float kTolerance = 0.0000001f;

constexpr Argb Black(uint8_t alpha) { return ArgbOf(alpha, 0, 0, 0); }

// A triangle in the arrow cell pointing away from the track.
Path ArrowPath(const RectF& cell, ScrollOrientation orientation, bool first) {
    const float cx = cell.left + cell.width / 2 - 0.5f;
    const float cy = cell.top + cell.height / 2 - 0.5f;
    constexpr float kAlong = 2;   // half the depth of the triangle
    constexpr float kAcross = 3;  // half its base
    const float tip = first ? -kAlong : kAlong;
    PointF a, b, c;
    if (orientation == ScrollOrientation::Horizontal) {
        a = {cx + tip, cy};
        b = {cx - tip, cy - kAcross};
        c = {cx - tip, cy + kAcross};
    } else {
        a = {cx, cy + tip};
        b = {cx - kAcross, cy - tip};
        c = {cx + kAcross, cy - tip};
    }
    Path path(Path::FillMode::Winding);
    path.AddLine(a, b);
    path.AddLine(b, c);
    path.AddLine(c, a);
    path.CloseFigure();
    return path;
}

}  // namespace

ExScrollBar::~ExScrollBar() { Destroy(); }

ControlHandle ExScrollBar::CreateScrollBar(ControlParent parent, const RectF& bounds,
                                           const ScrollBarOptions& options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_minimum = options.minimum;
    m_maximum = options.maximum;
    m_page = options.page;
    m_step = options.step;
    m_continuous = options.continuous;
    m_orientation = options.orientation == ScrollOrientation::Vertical ? ScrollOrientation::Vertical
                                                                       : ScrollOrientation::Horizontal;
    m_position = options.minimum;
    m_pressed = m_hover = ScrollPart::None;
    return Create(parent, bounds, ControlKind::ScrollBar, options.visible, false, std::nullopt,
                  kFadeInterval);
}

// ---------------------------------------------------------------------------
// Geometry

void ExScrollBar::Layout(float w, float h) {
    w = std::max(0.0f, w);
    h = std::max(0.0f, h);
    if (m_orientation == ScrollOrientation::Horizontal) {
        m_arrow1 = {0, 0, 9, 10};
        m_arrow2 = {w - 9, 0, 9, 10};
        m_track = {10, 1, std::max(0.0f, w - 20), 8};
    } else {
        m_arrow1 = {0, 0, 10, 9};
        m_arrow2 = {0, h - 9, 10, 9};
        m_track = {1, 10, 8, std::max(0.0f, h - 20)};
    }
    ComputeThumbLength();
}

float ExScrollBar::TrackStart() const {
    return m_orientation == ScrollOrientation::Horizontal ? m_track.left : m_track.top;
}

float ExScrollBar::TrackLength() const {
    return m_orientation == ScrollOrientation::Horizontal ? m_track.width : m_track.height;
}

float ExScrollBar::Along(float x, float y) const {
    return m_orientation == ScrollOrientation::Horizontal ? x : y;
}

void ExScrollBar::ComputeThumbLength() {
    const double length = TrackLength();
    const double range = static_cast<double>(m_maximum) - m_minimum;
    if (range <= 0 || length <= 0) {
        m_thumb_length = 0;
        return;
    }
    const double thumb = std::max<double>(length * length / (length + range), kMinThumbLength);
    m_thumb_length = static_cast<float>(std::min(thumb, length));
}

float ExScrollBar::ThumbOffset() const {
    const double range = static_cast<double>(m_maximum) - m_minimum;
    if (range <= 0 || m_position <= m_minimum) return TrackStart();
    const double free = TrackLength() - m_thumb_length;
    return static_cast<float>(TrackStart() + (m_position - m_minimum) * free / range);
}

RectF ExScrollBar::ThumbRect() const {
    const float start = ThumbOffset();
    if (m_orientation == ScrollOrientation::Horizontal) {
        return {start, m_track.top, m_thumb_length, m_track.height};
    }
    return {m_track.left, start, m_track.width, m_thumb_length};
}

int ExScrollBar::PositionFromOffset(float offset) const {
    const double range = static_cast<double>(m_maximum) - m_minimum;
    const float start = TrackStart();
    const float free = TrackLength() - m_thumb_length;
    if (range <= 0 || offset <= start) return m_minimum;
    if (offset >= start + free - kTolerance) return m_maximum;
    const double value = m_minimum + (offset - start) * range / free;
    return static_cast<int>(std::clamp<double>(std::lround(value), m_minimum, m_maximum));
}

ScrollPart ExScrollBar::PartAt(float x, float y) const {
    if (m_arrow1.Contains(x, y)) return ScrollPart::FirstArrow;
    if (m_arrow2.Contains(x, y)) return ScrollPart::SecondArrow;
    if (m_thumb_length > 0 && ThumbRect().Contains(x, y)) return ScrollPart::Thumb;
    if (m_track.Contains(x, y)) return ScrollPart::Track;
    return ScrollPart::None;
}

// ---------------------------------------------------------------------------
// Accessors

int ExScrollBar::Position(int value) {
    const int clamped = std::max(m_minimum, std::min(value, m_maximum));
    if (clamped != m_position) {
        m_position = clamped;
        Invalidate();
    }
    return m_position;
}

int ExScrollBar::Minimum(int value) {
    m_minimum = value;
    if (m_position < m_minimum) m_position = m_minimum;
    ComputeThumbLength();
    Invalidate();
    return m_minimum;
}

int ExScrollBar::Maximum(int value) {
    m_maximum = value;
    m_position = std::max(m_minimum, std::min(m_position, m_maximum));
    ComputeThumbLength();
    Invalidate();
    return m_maximum;
}

int ExScrollBar::Page(int value) { return m_page = value; }
int ExScrollBar::Step(int value) { return m_step = value; }
bool ExScrollBar::Continuous(bool value) { return m_continuous = value; }
int ExScrollBar::OwnerValue(int value) { return m_owner_value = value; }

// ---------------------------------------------------------------------------
// Input

intptr_t ExScrollBar::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_CREATE:
            Layout(Bounds().width, Bounds().height);
            break;
        case plat::WM_PAINT:
            Paint();
            break;
        case plat::WM_TIMER:
            if (m_pressed == ScrollPart::FirstArrow || m_pressed == ScrollPart::SecondArrow) {
                if (m_pointer_on_pressed) ArrowStep();
            } else {
                FadeTick();
            }
            break;
        case EX_MSG_MOUSEENTER:
            PaintState(kFadeEnterLeave);
            break;
        case EX_MSG_MOUSELEAVE:
            // A press goes on: the bar keeps the pointer until the release.
            m_hover = ScrollPart::None;
            if (m_pressed == ScrollPart::None) PaintState(kFadeEnterLeave);
            break;
        case EX_MSG_ENABLECHANGED:
            if (lparam != 0 && m_pressed != ScrollPart::None) EndPress();
            break;
        case plat::WM_CAPTURECHANGED:
            if (m_pressed != ScrollPart::None) EndPress();
            break;
        case EX_MSG_ACCEPTPRESS:
            return 1;
        case plat::WM_DESTROY:
            m_position = 0;
            m_thumb_length = 0;
            m_on_change = nullptr;
            m_minimum = m_maximum = 0;
            m_pressed = m_hover = ScrollPart::None;
            break;
        default:
            return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

void ExScrollBar::OnSized(float width, float height) { Layout(width, height); }

intptr_t ExScrollBar::OnPointerMove(const PointerEvent& event) {
    const float x = event.point.x, y = event.point.y;
    if (m_pressed == ScrollPart::Thumb) {
        OnDrag(x, y);
    } else if (m_pressed != ScrollPart::None) {
        m_pointer_on_pressed = PartAt(x, y) == m_pressed;
    } else if (const ScrollPart part = PartAt(x, y); part != m_hover) {
        const bool arrow_changed = part == ScrollPart::FirstArrow || part == ScrollPart::SecondArrow ||
                                   m_hover == ScrollPart::FirstArrow ||
                                   m_hover == ScrollPart::SecondArrow;
        m_hover = part;
        if (arrow_changed) Invalidate();
    }
    return kNotHandled;
}

intptr_t ExScrollBar::OnPointerDown(const PointerEvent& event) {
    if (event.button == PointerButton::Left) OnPress(event.point.x, event.point.y);
    return kNotHandled;
}

intptr_t ExScrollBar::OnPointerUp(const PointerEvent& event) {
    if (event.button == PointerButton::Left && m_pressed != ScrollPart::None) EndPress();
    return kNotHandled;
}

void ExScrollBar::OnPress(float x, float y) {
    m_pressed = PartAt(x, y);
    m_dragged = false;
    const ControlHandle self = GetHandle();
    switch (m_pressed) {
        case ScrollPart::Thumb:
            m_drag_offset = Along(x, y) - ThumbOffset();
            PaintState(kNoFade);
            break;
        case ScrollPart::FirstArrow:
        case ScrollPart::SecondArrow:
            m_pointer_on_pressed = true;
            PaintState(kNoFade);  // starts the tick that repeats the step
            if (ResolveControl(self) == this) ArrowStep();
            break;
        default:
            break;
    }
}

void ExScrollBar::OnDrag(float x, float y) {
    const int position = PositionFromOffset(Along(x, y) - m_drag_offset);
    if (position == m_position) return;
    m_position = position;
    m_dragged = true;
    Invalidate();
    if (m_continuous) FireChange();
}

void ExScrollBar::EndPress() {
    const bool report = m_pressed == ScrollPart::Thumb && m_dragged && !m_continuous;
    m_pressed = ScrollPart::None;
    m_dragged = false;
    const ControlHandle self = GetHandle();
    KillTimer();
    PaintState(kNoFade);
    if (report && ResolveControl(self) == this) FireChange();
}

void ExScrollBar::ArrowStep() {
    const bool up = m_pressed == ScrollPart::FirstArrow;
    const int limit = up ? m_minimum : std::max(m_minimum, m_maximum);
    if (m_position == limit || m_thumb_length <= 0) {
        KillTimer();
        return;
    }
    const long long moved = static_cast<long long>(m_position) + (up ? -1LL : 1LL) * m_step;
    const int target = static_cast<int>(up ? std::max<long long>(moved, limit)
                                           : std::min<long long>(moved, limit));
    const ControlHandle self = GetHandle();
    UserMove(target);
    if (ResolveControl(self) == this && m_position == limit) KillTimer();
}

void ExScrollBar::UserMove(int value) {
    const int clamped = std::max(m_minimum, std::min(value, m_maximum));
    if (clamped == m_position) return;
    m_position = clamped;
    Invalidate();
    FireChange();
}

void ExScrollBar::FireChange() {
    if (!m_on_change) return;
    // A copy: the handler may rebind it or destroy the bar.
    const ScrollChangeHandler handler = m_on_change;
    const ControlHandle parent =
        ResolveControl(GetParent()) != nullptr ? GetParent() : ControlHandle::None;
    handler(parent, GetHandle(), m_position);
}

// ---------------------------------------------------------------------------
// Painting

void ExScrollBar::PaintState(int start_alpha) {
    FadeAlpha(start_alpha);
    Paint();
}

void ExScrollBar::Paint() {
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    const bool can_scroll = m_thumb_length > 0;
    for (const bool first : {true, false}) {
        const RectF& cell = first ? m_arrow1 : m_arrow2;
        const ScrollPart part = first ? ScrollPart::FirstArrow : ScrollPart::SecondArrow;
        const bool lit = can_scroll && (m_pressed == part || (m_pressed == ScrollPart::None &&
                                                              m_hover == part));
        if (lit) canvas->FillRoundRect(cell, 4, Black(40));
        const Path arrow = ArrowPath(cell, m_orientation, first);
        canvas->FillPath(arrow, Black(lit ? 160 : 100));
        canvas->DrawPath(arrow, Black(lit ? 140 : 60));
    }
    if (!m_track.IsEmpty()) {
        canvas->FillRoundRect(m_track, 6, Black(40));
        canvas->DrawRoundRect(m_track, 6, Black(30));
    }
    if (can_scroll) {
        const RectF thumb = ThumbRect();
        canvas->FillRoundRect(thumb, 6, Black(110));
        canvas->DrawRoundRect(thumb, 6, Black(80));
    }
    EndPaint();
}

}  // namespace dui
