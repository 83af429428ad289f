#include "dui/core/control.h"

#include <algorithm>
#include <cmath>

#include "dui/core/host_window.h"

namespace dui {
namespace {

bool Differs(float a, float b) { return std::fabs(a - b) > kBoundsTolerance; }

int ClampAlpha(int value) { return std::clamp(value, 0, 255); }

int CanvasSide(float length) {
    if (!(length > 0)) return 0;
    return static_cast<int>(std::lround(std::min(length, 32767.0f)));
}

std::unique_ptr<ExCanvas> NewCanvas(const RectF& bounds) {
    return CreateCanvas(CanvasSide(bounds.width), CanvasSide(bounds.height));
}

}  // namespace

ExControl::ExControl() = default;

ExControl::~ExControl() {
    Destroy();
    Unlink();
}

void ExControl::ResetFields() {
    m_host_window = nullptr;
    m_parent = ControlHandle::None;
    m_visible = false;
    m_disabled = false;
    m_focusable = false;
    m_cursor = nullptr;
    m_events.clear();
    m_bounds = {};
    m_tooltip.clear();
    m_tag.clear();
    m_kind = ControlKind::None;
    m_children = {};
    m_previous = ControlHandle::None;
    m_next = ControlHandle::None;
    m_fade_alpha = 0;
    m_canvas.reset();
    m_host = nullptr;
    m_alpha = 0;
    m_fade_snapshot.reset();
    m_fade_interval = 0;
    m_dirty = false;
}

int ParentFrameStyle(ControlParent parent) {
    const ExHostWindow* host = nullptr;
    if (parent.host != nullptr) {
        host = HostFromWindow(parent.host);
    } else if (const ExControl* owner = ResolveControl(parent.control)) {
        host = owner->Host();
    }
    return host != nullptr ? host->FrameStyle() : 0;
}

ControlHandle ExControl::Create(ControlParent parent, const RectF& bounds, ControlKind kind,
                                bool visible, bool focusable,
                                std::optional<plat::HCURSOR> cursor, int fade_interval) {
    if (m_handle != ControlHandle::None) return m_handle;

    ExHostWindow* host = nullptr;
    plat::HWND host_window = nullptr;
    ExControl* parent_control = nullptr;
    if (parent.control != ControlHandle::None) {
        parent_control = ResolveControl(parent.control);
        if (parent_control == nullptr || parent_control->m_host == nullptr) return ControlHandle::None;
        host_window = parent_control->m_host_window;
        host = parent_control->m_host;
        if (HostFromWindow(host_window) != host) return ControlHandle::None;
    } else {
        host_window = parent.host;
        host = HostFromWindow(host_window);
        if (host == nullptr) return ControlHandle::None;
    }

    m_handle = RegisterControl(*this);
    m_host_window = host_window;
    m_host = host;
    m_bounds = bounds;
    m_previous_bounds = bounds;
    m_tooltip.clear();
    m_fade_alpha = 255;
    m_alpha = 255;
    m_kind = kind;
    m_cursor = cursor.value_or(nullptr);
    m_visible = visible;
    m_focusable = focusable;
    m_disabled = false;
    m_parent = ControlHandle::None;
    m_previous = ControlHandle::None;
    m_next = ControlHandle::None;
    m_children = {};

    if (parent_control == nullptr) {
        LinkLast(host->TopLevelList());
    } else {
        SetParent(parent.control);
    }

    m_canvas = NewCanvas(m_bounds);
    m_fade_interval = std::max(0, fade_interval);

    const ControlHandle self = m_handle;
    DispatchToControl(self, plat::WM_CREATE, 0, 0);
    if (ExControl* control = ResolveControl(self)) {
        DispatchToControl(self, plat::WM_PAINT, static_cast<uintptr_t>(control->Width()),
                          control->Height());
    }
    return self;
}

// ---------------------------------------------------------------------------
// Tree links

ControlList* ExControl::ContainerList() {
    if (m_parent != ControlHandle::None) {
        ExControl* parent = ResolveControl(m_parent);
        return parent != nullptr ? &parent->m_children : nullptr;
    }
    return m_host != nullptr ? &m_host->TopLevelList() : nullptr;
}

void ExControl::LinkLast(ControlList& list) {
    m_next = ControlHandle::None;
    m_previous = list.last;
    if (ExControl* last = ResolveControl(list.last)) last->m_next = m_handle;
    list.last = m_handle;
    if (list.first == ControlHandle::None) list.first = m_handle;
}

void ExControl::LinkFirst(ControlList& list) {
    m_previous = ControlHandle::None;
    m_next = list.first;
    if (ExControl* first = ResolveControl(list.first)) first->m_previous = m_handle;
    list.first = m_handle;
    if (list.last == ControlHandle::None) list.last = m_handle;
}

void ExControl::Unlink() {
    if (m_handle == ControlHandle::None) {
        m_previous = m_next = ControlHandle::None;
        return;
    }
    ControlList* list = ContainerList();
    bool found = false;
    if (list != nullptr) {
        for (ControlHandle at = list->first; at != ControlHandle::None;) {
            if (at == m_handle) {
                found = true;
                break;
            }
            ExControl* control = ResolveControl(at);
            if (control == nullptr) break;
            at = control->m_next;
        }
    }
    if (found) {
        if (ExControl* previous = ResolveControl(m_previous)) {
            previous->m_next = m_next;
        }
        if (ExControl* next = ResolveControl(m_next)) {
            next->m_previous = m_previous;
        }
        if (list->first == m_handle) list->first = m_next;
        if (list->last == m_handle) list->last = m_previous;
    }
    m_previous = m_next = ControlHandle::None;
}

bool ExControl::IsSelfOrAncestorOf(ControlHandle handle) const {
    for (const ExControl* at = ResolveControl(handle); at != nullptr;
         at = ResolveControl(at->m_parent)) {
        if (at == this) return true;
    }
    return false;
}

void ExControl::SetParent(ControlParent parent) {
    if (m_handle == ControlHandle::None) return;
    ControlHandle new_parent = parent.control;
    if (new_parent != ControlHandle::None) {
        ExControl* target = ResolveControl(new_parent);
        if (target == nullptr || target->m_host != m_host) return;
        if (IsSelfOrAncestorOf(new_parent)) return;
    } else if (parent.host != nullptr && parent.host != m_host_window) {
        return;  // a control cannot move to another window
    }
    if (new_parent == m_parent) return;

    Unlink();
    m_parent = new_parent;
    if (ControlList* list = ContainerList()) LinkLast(*list);
    Invalidate();
}

void ExControl::ZOrder(ZPosition position, bool redraw) {
    if (m_handle == ControlHandle::None) return;
    Unlink();
    if (ControlList* list = ContainerList()) {
        if (position == ZPosition::Bottom) {
            LinkFirst(*list);
        } else {
            LinkLast(*list);
        }
    }
    if (redraw) Recompose();
}

// ---------------------------------------------------------------------------
// Destruction

void ExControl::Destroy() {
    if (m_handle == ControlHandle::None) return;
    const ControlHandle self = m_handle;

    // Children first, depth-first; each leaves its fields zeroed. A child's
    // Destroy unlinks it, so the list shrinks from the front.
    while (m_children.first != ControlHandle::None) {
        ExControl* child = ResolveControl(m_children.first);
        if (child == nullptr) {
            m_children = {};
            break;
        }
        child->Destroy();
        if (ResolveControl(self) != this) return;  // destroyed from a handler
    }

    KillTimer();
    DispatchToControl(self, plat::WM_DESTROY, 0, 0);
    if (ResolveControl(self) != this) return;

    if (m_host != nullptr) m_host->ForgetControl(self);
    Unlink();
    UnregisterControl(self);
    m_handle = ControlHandle::None;
    ResetFields();
}

// ---------------------------------------------------------------------------
// Properties

RectF ExControl::Bounds(const RectF& bounds) {
    Move(bounds.left, bounds.top, bounds.width, bounds.height, true);
    return m_bounds;
}

bool ExControl::Visible(bool value) {
    if (m_handle == ControlHandle::None || value == m_visible) return m_visible;
    const ControlHandle self = m_handle;
    m_visible = value;
    DispatchToControl(self, value ? EX_MSG_SHOWN : EX_MSG_HIDDEN, 0, 0);
    ExControl* control = ResolveControl(self);
    if (control == nullptr) return value;
    control->Invalidate();
    return control->m_visible;
}

bool ExControl::Disabled(bool value) {
    if (m_handle == ControlHandle::None || value == m_disabled) return m_disabled;
    const ControlHandle self = m_handle;
    if (m_host != nullptr && m_host->FocusedControl() == self) {
        m_host->ClearFocusedControl();
        DispatchToControl(self, EX_MSG_KILLFOCUS, 0, 0);
    }
    if (ResolveControl(self) == nullptr) return value;
    DispatchToControl(self, EX_MSG_MOUSELEAVE, 0, 0);
    if (ResolveControl(self) == nullptr) return value;
    const intptr_t answer = DispatchToControl(self, EX_MSG_ENABLECHANGED, 0, value ? 1 : 0);
    ExControl* control = ResolveControl(self);
    if (control == nullptr) return value;
    if (answer == kNotHandled) control->ApplyDisabledAlpha(value);
    control->m_disabled = value;
    control->Invalidate();
    return control->m_disabled;
}

bool ExControl::Focusable(bool value) {
    m_focusable = value;
    return m_focusable;
}

bool ExControl::HasFocus() {
    if (m_handle == ControlHandle::None) return false;
    const ControlHandle self = m_handle;
    const intptr_t answer = DispatchToControl(self, EX_MSG_QUERYFOCUS, 0, 0);
    if (answer != kNotHandled) return answer == 1;
    ExControl* control = ResolveControl(self);
    return control != nullptr && control->m_host != nullptr &&
           control->m_host->FocusedControl() == self;
}

void ExControl::ApplyDisabledAlpha(bool disabled) {
    const double factor = disabled ? 0.5 : 2.0;
    const bool fade_finished = m_fade_alpha >= m_alpha;
    m_alpha = ClampAlpha(static_cast<int>(m_alpha * factor));
    if (fade_finished) m_fade_alpha = m_alpha;
}

void ExControl::PaintNow() {
    if (m_handle == ControlHandle::None) return;
    m_dirty = false;
    DispatchToControl(m_handle, plat::WM_PAINT, 0, 0);
}

void ExControl::Invalidate() {
    if (m_handle == ControlHandle::None || m_host == nullptr) return;
    // The bounds are queued now: a control hidden before the frame must
    // still be composed away where it was.
    m_host->RedrawRect(m_bounds);
    if (m_dirty) return;
    m_dirty = true;
    m_host->MarkDirty(m_handle);
}

void ExControl::Recompose() {
    if (m_handle == ControlHandle::None || m_host == nullptr) return;
    m_host->RedrawRect(m_bounds);
}

void ExControl::FadeTick() {
    FadeAlpha(FadeAlpha() + kFadeStep);
    Recompose();
}

void ExControl::Move(std::optional<float> left, std::optional<float> top,
                     std::optional<float> width, std::optional<float> height, bool redraw) {
    if (m_handle == ControlHandle::None) return;
    const RectF target{left.value_or(m_bounds.left), top.value_or(m_bounds.top),
                       std::max(0.0f, width.value_or(m_bounds.width)),
                       std::max(0.0f, height.value_or(m_bounds.height))};
    if (!Differs(target.left, m_bounds.left) && !Differs(target.top, m_bounds.top) &&
        !Differs(target.width, m_bounds.width) && !Differs(target.height, m_bounds.height)) {
        return;
    }
    const ControlHandle self = m_handle;
    m_previous_bounds = m_bounds;
    m_bounds = target;
    ShiftDescendants(target.left - m_previous_bounds.left, target.top - m_previous_bounds.top);

    if (Differs(target.width, m_previous_bounds.width) ||
        Differs(target.height, m_previous_bounds.height)) {
        RebuildCanvas();
        const auto w = static_cast<uintptr_t>(Width());
        const intptr_t h = Height();
        DispatchToControl(self, EX_MSG_SIZED, w, h);
        if (ResolveControl(self) == nullptr) return;
        DispatchToControl(self, plat::WM_PAINT, w, h);
        if (ResolveControl(self) == nullptr) return;
    }
    if (m_host_window != nullptr) {
        plat::SendMessage(m_host_window, EX_MSG_MOVED, Raw(self), (m_visible && redraw) ? 1 : 0);
    }
}

void ExControl::ShiftDescendants(float dx, float dy) {
    if (!Differs(dx, 0) && !Differs(dy, 0)) return;
    for (ControlHandle at = m_children.first; at != ControlHandle::None;) {
        ExControl* child = ResolveControl(at);
        if (child == nullptr) break;
        child->m_previous_bounds = child->m_bounds;
        child->m_bounds.left += dx;
        child->m_bounds.top += dy;
        child->ShiftDescendants(dx, dy);
        at = child->m_next;
    }
}

void ExControl::RebuildCanvas() {
    m_canvas = NewCanvas(m_bounds);
    m_fade_snapshot.reset();
}

std::string ExControl::TooltipText(std::string text, bool show_now) {
    m_tooltip = std::move(text);
    if (show_now) SetTooltip(m_tooltip);
    return m_tooltip;
}

void ExControl::SetTooltip(std::string_view text) {
    if (m_handle == ControlHandle::None || m_host == nullptr) return;
    m_host->ShowTooltip(m_handle, std::string(text));
}

void ExControl::BindEvent(uint32_t message, EventHandler handler) {
    for (auto& [number, bound] : m_events) {
        if (number == message) {
            bound = std::move(handler);
            return;
        }
    }
    m_events.emplace_back(message, std::move(handler));
}

const EventHandler* ExControl::FindHandler(uint32_t message) const {
    for (const auto& [number, bound] : m_events) {
        if (number == message) return bound ? &bound : nullptr;
    }
    return nullptr;
}

bool ExControl::HasHandler(uint32_t message) const { return FindHandler(message) != nullptr; }

int ExControl::Alpha(int value, bool redraw) {
    if (m_handle == ControlHandle::None) return m_alpha;
    value = ClampAlpha(value);
    const ControlHandle self = m_handle;
    m_alpha = m_fade_alpha = value;
    DispatchToControl(self, EX_MSG_ALPHACHANGED, 0, value);
    ExControl* control = ResolveControl(self);
    if (control == nullptr) return value;
    if (redraw) control->Recompose();
    return control->m_alpha;
}

int ExControl::FadeAlpha(int value) {
    if (m_host != nullptr && !m_host->AnimationsEnabled()) value = m_alpha;
    m_fade_alpha = ClampAlpha(value);
    if (m_fade_alpha >= m_alpha) {
        m_fade_alpha = m_alpha;
        KillTimer();
        m_fade_snapshot.reset();
    }
    return m_fade_alpha;
}

int ExControl::FadeInterval(int value) {
    m_fade_interval = std::max(0, value);
    return m_fade_interval;
}

intptr_t ExControl::SendControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (m_handle == ControlHandle::None || m_host == nullptr) return 0;
    return m_host->DeliverControlMessage(m_handle, message, wparam, lparam, false);
}

void ExControl::PostControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (m_handle == ControlHandle::None || m_host == nullptr) return;
    m_host->DeliverControlMessage(m_handle, message, wparam, lparam, true);
}

plat::HCURSOR ExControl::Cursor(plat::HCURSOR cursor) {
    m_cursor = cursor;
    return m_cursor;
}

plat::HCURSOR ExControl::Cursor(plat::CursorId system_cursor) {
    m_cursor = plat::LoadCursor(nullptr, system_cursor);
    return m_cursor;
}

std::string ExControl::Tag(std::string text) {
    m_tag = std::move(text);
    return m_tag;
}

int ExControl::Left() const { return static_cast<int>(std::lround(m_bounds.left)); }
int ExControl::Top() const { return static_cast<int>(std::lround(m_bounds.top)); }
int ExControl::Width() const { return static_cast<int>(std::lround(m_bounds.width)); }
int ExControl::Height() const { return static_cast<int>(std::lround(m_bounds.height)); }

int ExControl::Left(float value) {
    if (Differs(value, m_bounds.left)) Move(value);
    return Left();
}

int ExControl::Top(float value) {
    if (Differs(value, m_bounds.top)) Move(std::nullopt, value);
    return Top();
}

int ExControl::Width(float value) {
    if (Differs(value, m_bounds.width)) Move(std::nullopt, std::nullopt, value);
    return Width();
}

int ExControl::Height(float value) {
    if (Differs(value, m_bounds.height)) Move(std::nullopt, std::nullopt, std::nullopt, value);
    return Height();
}

// ---------------------------------------------------------------------------
// Typed input

Modifiers ModifiersFromKeyState() {
    return Modifiers{plat::GetKeyState(plat::VK_SHIFT) < 0, plat::GetKeyState(plat::VK_CONTROL) < 0,
                     plat::GetKeyState(plat::VK_MENU) < 0};
}

Modifiers ModifiersFromMouseFlags(uintptr_t mouse_wparam) {
    return Modifiers{(mouse_wparam & plat::MK_SHIFT) != 0, (mouse_wparam & plat::MK_CONTROL) != 0,
                     plat::GetKeyState(plat::VK_MENU) < 0};
}

PointerEvent ExControl::DecodePointer(PointerButton button, uintptr_t wparam,
                                      intptr_t lparam) const {
    PointerEvent event;
    event.point = PointF{static_cast<float>(plat::GET_X_LPARAM(lparam)) - m_bounds.left,
                         static_cast<float>(plat::GET_Y_LPARAM(lparam)) - m_bounds.top};
    event.button = button;
    // While the host routes a press (or a double click) the wparam no
    // longer holds the mouse flags: the host kept them.
    const bool routed = wparam == DOUBLECLICK_MARKER ||
                        (m_host != nullptr && m_host->PressedControl() == m_handle &&
                         wparam == Raw(m_handle));
    event.modifiers = routed && m_host != nullptr ? m_host->MouseModifiers()
                                                  : ModifiersFromMouseFlags(wparam);
    return event;
}

WheelEvent ExControl::DecodeWheel(uintptr_t wparam, intptr_t lparam) const {
    // The wheel's point is on the screen.
    plat::POINT point{plat::GET_X_LPARAM(lparam), plat::GET_Y_LPARAM(lparam)};
    if (m_host_window != nullptr) plat::ScreenToClient(m_host_window, &point);
    WheelEvent event;
    event.point = PointF{static_cast<float>(point.x) - m_bounds.left,
                         static_cast<float>(point.y) - m_bounds.top};
    event.delta = plat::GET_WHEEL_DELTA_WPARAM(wparam);
    event.modifiers = ModifiersFromMouseFlags(static_cast<uintptr_t>(plat::GET_KEYSTATE_WPARAM(wparam)));
    return event;
}

intptr_t ExControl::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_LBUTTONDOWN: {
            const PointerEvent event = DecodePointer(PointerButton::Left, wparam, lparam);
            return wparam == DOUBLECLICK_MARKER ? OnPointerDoubleClick(event) : OnPointerDown(event);
        }
        case plat::WM_RBUTTONDOWN:
            return OnPointerDown(DecodePointer(PointerButton::Right, wparam, lparam));
        case plat::WM_LBUTTONUP:
            return OnPointerUp(DecodePointer(PointerButton::Left, wparam, lparam));
        case plat::WM_RBUTTONUP:
            return OnPointerUp(DecodePointer(PointerButton::Right, wparam, lparam));
        case plat::WM_MOUSEMOVE:
            return OnPointerMove(DecodePointer(PointerButton::None, wparam, lparam));
        case plat::WM_MOUSEWHEEL:
            return OnPointerWheel(DecodeWheel(wparam, lparam));
        case plat::WM_KEYDOWN:
            return OnKeyDown(KeyEvent{static_cast<int>(wparam), ModifiersFromKeyState()});
        case plat::WM_CHAR:
            return OnChar(CharEvent{static_cast<uint32_t>(wparam), ModifiersFromKeyState()});
        case EX_MSG_SETFOCUS:
            OnFocusIn(HandleFromParam(static_cast<uintptr_t>(lparam)));
            return kNotHandled;
        case EX_MSG_KILLFOCUS:
            OnFocusOut(HandleFromParam(static_cast<uintptr_t>(lparam)));
            return kNotHandled;
        case EX_MSG_SIZED:
            OnSized(static_cast<float>(wparam), static_cast<float>(lparam));
            return kNotHandled;
        default:
            return kNotHandled;
    }
}

intptr_t ExControl::OnPointerDown(const PointerEvent&) { return kNotHandled; }
intptr_t ExControl::OnPointerDoubleClick(const PointerEvent& event) { return OnPointerDown(event); }
intptr_t ExControl::OnPointerUp(const PointerEvent&) { return kNotHandled; }
intptr_t ExControl::OnPointerMove(const PointerEvent&) { return kNotHandled; }
intptr_t ExControl::OnPointerWheel(const WheelEvent&) { return kNotHandled; }
intptr_t ExControl::OnKeyDown(const KeyEvent&) { return kNotHandled; }
intptr_t ExControl::OnChar(const CharEvent&) { return kNotHandled; }
void ExControl::OnFocusIn(ControlHandle) {}
void ExControl::OnFocusOut(ControlHandle) {}
void ExControl::OnSized(float, float) {}

// ---------------------------------------------------------------------------
// Painting and timers

ExCanvas* ExControl::BeginPaint() {
    m_fade_snapshot.reset();
    if (m_canvas == nullptr) return nullptr;
    const bool host_animating = m_host != nullptr && m_host->Animating();
    if (!host_animating && m_fade_interval > 0) {
        KillTimer();
        if (m_fade_alpha != m_alpha) m_fade_snapshot = m_canvas->Clone();
    }
    m_canvas->Clear(0);
    return m_canvas.get();
}

void ExControl::EndPaint() {
    if (m_handle == ControlHandle::None) return;
    if (m_visible && m_host != nullptr) m_host->RedrawRect(m_bounds);
    if (m_fade_interval > 0) StartTimer(static_cast<unsigned>(m_fade_interval));
}

void ExControl::StartTimer(unsigned interval_ms) {
    if (m_handle == ControlHandle::None || m_host_window == nullptr) return;
    plat::SetTimer(m_host_window, Raw(m_handle), interval_ms, nullptr);
}

void ExControl::KillTimer() {
    if (m_handle == ControlHandle::None || m_host_window == nullptr) return;
    plat::KillTimer(m_host_window, Raw(m_handle));
}

// ---------------------------------------------------------------------------
// Dispatch and hit testing

intptr_t DispatchToControl(ControlHandle handle, uint32_t message, uintptr_t wparam,
                           intptr_t lparam) {
    ExControl* control = ResolveControl(handle);
    if (control == nullptr) return 0;
    const intptr_t result = control->OnMessage(message, wparam, lparam);

    control = ResolveControl(handle);
    if (control == nullptr) return result;
    const EventHandler* bound = control->FindHandler(message);
    if (bound == nullptr) return result;
    // A copy, so that the handler may rebind or destroy the control.
    const EventHandler handler = *bound;
    ControlEvent event;
    event.parent = ResolveControl(control->GetParent()) != nullptr ? control->GetParent()
                                                                   : ControlHandle::None;
    event.control = handle;
    event.message = message;
    event.wparam = wparam;
    event.lparam = lparam;
    handler(event);
    return result;
}

bool RectContains(const RectF& rect, float x, float y) {
    return x >= rect.left - kBoundsTolerance && y >= rect.top - kBoundsTolerance &&
           x < rect.Right() - kBoundsTolerance && y < rect.Bottom() - kBoundsTolerance;
}

bool RectsOverlap(const RectF& a, const RectF& b) {
    return a.left < b.Right() - kBoundsTolerance && b.left < a.Right() - kBoundsTolerance &&
           a.top < b.Bottom() - kBoundsTolerance && b.top < a.Bottom() - kBoundsTolerance;
}

ControlHandle HitTest(ControlHandle last, float x, float y) {
    for (ControlHandle at = last; at != ControlHandle::None;) {
        const ExControl* control = ResolveControl(at);
        if (control == nullptr) break;
        if (control->Visible() && !control->Disabled() && RectContains(control->Bounds(), x, y)) {
            const ControlHandle inner = HitTest(control->Children().last, x, y);
            return inner != ControlHandle::None ? inner : at;
        }
        at = control->PreviousSibling();
    }
    return ControlHandle::None;
}

namespace {

uint64_t PackSide(float value, bool round_up) {
    float rounded = round_up ? std::ceil(value) : std::floor(value);
    rounded = std::clamp(rounded, -32768.0f, 32767.0f);
    return static_cast<uint16_t>(static_cast<int16_t>(rounded));
}

float UnpackSide(uint64_t packed, int shift) {
    return static_cast<int16_t>(static_cast<uint16_t>(packed >> shift));
}

}  // namespace

intptr_t PackRect(const RectF& rect) {
    const uint64_t packed = PackSide(rect.left, false) | PackSide(rect.top, false) << 16 |
                            PackSide(rect.Right(), true) << 32 |
                            PackSide(rect.Bottom(), true) << 48;
    return static_cast<intptr_t>(packed);
}

RectF UnpackRect(intptr_t packed) {
    const auto bits = static_cast<uint64_t>(packed);
    return RectF::FromLtrb(UnpackSide(bits, 0), UnpackSide(bits, 16), UnpackSide(bits, 32),
                           UnpackSide(bits, 48));
}

}  // namespace dui
