#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dui/core/canvas.h"
#include "dui/core/control_registry.h"
#include "dui/core/geometry.h"
#include "dui/core/messages.h"
#include "platform/platform.h"

// The control model. Every visible element of a window is an ExControl: a
// light-weight object without a native window that paints into its own
// canvas and lives in the control tree of one host window (ExHostWindow).
//
// Dispatch path, followed by every message a control receives: the class's
// OnMessage first; then, when the application bound a handler to that message
// number with BindEvent, the handler (its result is ignored). The dispatcher
// re-resolves the control's handle between the two, so a message procedure
// or a handler may destroy the control it was called for. Callers that touch
// a control after dispatching to it must re-resolve its handle too.
namespace dui {

class ExHostWindow;

// The class of a control, passed to every window-level callback.
enum class ControlKind : int {
    None = 0,
    CaptionButton = 1,  // never takes the keyboard focus
    TextControl = 2,
    Label = 3,
    Picture = 4,
    ImageButton = 6,
    ToggleButton = 7,
    ReportList = 8,
    Edit = 9,
    GroupBox = 16,
    ScrollBar = 19,
    MenuItem = 20,
};

// Where a control lives: directly in a host window (a top-level control) or
// under a parent control.
struct ControlParent {
    ControlParent(plat::HWND host_window) : host(host_window) {}
    ControlParent(ControlHandle parent_control) : control(parent_control) {}
    plat::HWND host = nullptr;
    ControlHandle control = ControlHandle::None;
};

// The frame style of the host a control made under `parent` lives in, 0 when
// there is none: what the corners of a control follow unless told otherwise.
int ParentFrameStyle(ControlParent parent);

// What a bound handler receives. `parent` is the parent control for a child
// and None for a top-level control.
struct ControlEvent {
    ControlHandle parent = ControlHandle::None;
    ControlHandle control = ControlHandle::None;
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};
using EventHandler = std::function<void(const ControlEvent&)>;

// Typed input, decoded once by ExControl::OnMessage from the raw messages.
//
// The modifier keys held when the event happened: a mouse message carries
// Shift and Ctrl in its wparam (the host keeps them while it routes a press,
// whose wparam names the pressed control instead); keys and Alt come from the
// key state of the messages retrieved so far, not from the keyboard now.
struct Modifiers {
    bool shift = false;
    bool control = false;
    bool alt = false;
};
Modifiers ModifiersFromKeyState();
Modifiers ModifiersFromMouseFlags(uintptr_t mouse_wparam);

enum class PointerButton { None, Left, Right };

// A press, release or move. `point` is relative to the control's top-left
// corner; `button` is None for a move.
struct PointerEvent {
    PointF point;
    PointerButton button = PointerButton::None;
    Modifiers modifiers;
};

// A wheel turn at the pointer; `delta` is in wheel units (120 a notch, away
// from the user positive).
struct WheelEvent {
    PointF point;
    int delta = 0;
    Modifiers modifiers;
};

// A key press (a virtual key code) or a typed character (a byte of the
// window's code page).
struct KeyEvent {
    int key = 0;
    Modifiers modifiers;
};
struct CharEvent {
    uint32_t code = 0;
    Modifiers modifiers;
};

// Passed with EX_MSG_CUSTOMDRAW (lparam) while the host composes: a control
// that answers > 0 has drawn itself into `target` and its canvas is skipped.
struct CompositionRecord {
    ExCanvas* target = nullptr;             // the host's back buffer, clipped
    const ExCanvas* canvas = nullptr;       // the control's canvas
    const ExCanvas* fade_snapshot = nullptr;  // previous look, or null
    RectF rect;                             // the control's bounds
};

enum class ZPosition { Top, Bottom };

// A first and a last entry of a doubly linked sibling list; list order is
// z-order (later entries are drawn on top and hit-tested first).
struct ControlList {
    ControlHandle first = ControlHandle::None;
    ControlHandle last = ControlHandle::None;
};

// Bounds comparisons use this tolerance; redundant moves cause no repaint.
inline constexpr float kBoundsTolerance = 0.0000001f;

// A class whose WM_DESTROY handling frees resources calls Destroy() in its
// own destructor: by the time the base destructor runs, only the base
// OnMessage is left to receive WM_DESTROY.
class ExControl {
public:
    ExControl();
    virtual ~ExControl();  // destroys and unlinks a created control
    ExControl(const ExControl&) = delete;
    ExControl& operator=(const ExControl&) = delete;

    // Creates the control under a host window or a parent control and
    // returns its handle; None when the parent control belongs to no host.
    // Calling it on a created control returns the existing handle.
    // Ends by sending WM_CREATE and WM_PAINT to the control.
    ControlHandle Create(ControlParent parent, const RectF& bounds, ControlKind kind,
                         bool visible = true, bool focusable = true,
                         std::optional<plat::HCURSOR> cursor = std::nullopt,
                         int fade_interval = 0);

    ControlHandle GetHandle() const { return m_handle; }
    plat::HWND GetHostHandle() const { return m_host_window; }
    ControlHandle GetParent() const { return m_parent; }
    // Moves the control to the end of the new parent's children (None or the
    // host window: to the end of the top-level list). Refused when the new
    // parent lives in another host or is the control itself or one of its
    // descendants.
    void SetParent(ControlParent parent);

    // Destroys the descendants, kills the timer, sends WM_DESTROY, frees the
    // canvas, snapshot, event table and texts, unlinks the control and
    // retires its handle. The object can be created again.
    void Destroy();

    const RectF& Bounds() const { return m_bounds; }
    RectF Bounds(const RectF& bounds);

    bool Visible() const { return m_visible; }
    bool Visible(bool value);
    bool Disabled() const { return m_disabled; }
    bool Disabled(bool value);
    bool Focusable() const { return m_focusable; }
    bool Focusable(bool value);
    bool HasFocus();

    // Drawing is deferred. Invalidate marks the control dirty and asks its
    // host for a frame, then returns: at the next frame the host sends the
    // control WM_PAINT (when it is visible), composes its bounds with every
    // other dirty rectangle and presents once, however many setters ran.
    // PaintNow sends WM_PAINT at once, for a caller that needs the canvas
    // current now (a snapshot, the first look of a cross-fade); what it
    // painted reaches the screen with the next frame.
    void Invalidate();
    void PaintNow();
    bool Dirty() const { return m_dirty; }
    // Asks for the bounds to be composed again at the next frame without
    // repainting the canvas: a fade step, an opacity or z-order change.
    void Recompose();
    // Values not given are kept. Children move along; a size change rebuilds
    // the canvas and sends EX_MSG_SIZED and WM_PAINT.
    void Move(std::optional<float> left, std::optional<float> top = std::nullopt,
              std::optional<float> width = std::nullopt,
              std::optional<float> height = std::nullopt, bool redraw = true);

    const std::string& TooltipText() const { return m_tooltip; }
    std::string TooltipText(std::string text, bool show_now = false);
    // Shows the host's tooltip over the control with this text.
    void SetTooltip(std::string_view text);

    // Replaces the handler bound to the message number, or adds one.
    void BindEvent(uint32_t message, EventHandler handler);

    // Opacity 0..255 with which the control is composed.
    int Alpha() const { return m_alpha; }
    int Alpha(int value, bool redraw = true);
    // Opacity of the present look while a cross-fade runs.
    int FadeAlpha() const { return m_fade_alpha; }
    int FadeAlpha(int value);
    // Timer interval of the cross-fade in ms; 0 = looks change without fading.
    int FadeInterval() const { return m_fade_interval; }
    int FadeInterval(int value);

    // Messages delivered through the host window: synchronously (the
    // control's result) or posted (delivered later if the control lives).
    intptr_t SendControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void PostControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

    plat::HCURSOR Cursor() const { return m_cursor; }
    plat::HCURSOR Cursor(plat::HCURSOR cursor);
    plat::HCURSOR Cursor(plat::CursorId system_cursor);  // loads the system cursor

    const std::string& Tag() const { return m_tag; }
    std::string Tag(std::string text);

    int Left() const;
    int Left(float value);
    int Top() const;
    int Top(float value);
    int Width() const;
    int Width(float value);
    int Height() const;
    int Height(float value);

    // Moves the control to the top (end) or bottom (front) of its list.
    void ZOrder(ZPosition position = ZPosition::Top, bool redraw = true);
    // Removes the control from its sibling list.
    void Unlink();

    // The class's message procedure; kNotHandled lets the default apply.
    // The base decodes the input, focus and size messages into the typed
    // handlers below; a class passes the messages it does not handle itself
    // on to ExControl::OnMessage.
    virtual intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

    // Tree, host and drawing state, for the host and the control classes.
    ControlKind Kind() const { return m_kind; }
    ExHostWindow* Host() const { return m_host; }
    const ControlList& Children() const { return m_children; }
    ControlHandle PreviousSibling() const { return m_previous; }
    ControlHandle NextSibling() const { return m_next; }
    const RectF& PreviousBounds() const { return m_previous_bounds; }
    ExCanvas* Canvas() { return m_canvas.get(); }
    const ExCanvas* Canvas() const { return m_canvas.get(); }
    const ExCanvas* FadeSnapshot() const { return m_fade_snapshot.get(); }
    bool HasHandler(uint32_t message) const;

protected:
    // Typed handlers, called from ExControl::OnMessage; their result is the
    // message's result (kNotHandled lets the default apply). A double click
    // arrives as a left press marked DOUBLECLICK_MARKER; by default it is a
    // press. WM_MOUSEWHEEL, WM_KEYDOWN and WM_CHAR reach the focused control.
    // Focus handlers receive the control the focus came from or goes to.
    virtual intptr_t OnPointerDown(const PointerEvent& event);
    virtual intptr_t OnPointerDoubleClick(const PointerEvent& event);
    virtual intptr_t OnPointerUp(const PointerEvent& event);
    virtual intptr_t OnPointerMove(const PointerEvent& event);
    virtual intptr_t OnPointerWheel(const WheelEvent& event);
    virtual intptr_t OnKeyDown(const KeyEvent& event);
    virtual intptr_t OnChar(const CharEvent& event);
    virtual void OnFocusIn(ControlHandle previous);
    virtual void OnFocusOut(ControlHandle next);
    virtual void OnSized(float width, float height);

    // Painting with a cross-fade. BeginPaint keeps the old look as the fade
    // snapshot when the fade alpha is below the alpha (and the control fades
    // at all), then clears the canvas and returns it. EndPaint queues the
    // control's bounds for the next frame (it presents nothing itself) and,
    // for a fading control, starts the fade timer. Without a canvas
    // BeginPaint returns null.
    ExCanvas* BeginPaint();
    void EndPaint();

    // One step of a cross-fade, for a class's WM_TIMER: the fade alpha rises
    // by kFadeStep and the bounds are recomposed; FadeAlpha stops the timer
    // and drops the snapshot once the alpha is reached.
    void FadeTick();
    static constexpr int kFadeStep = 51;

    // The opacity a control takes when it is disabled or enabled: half, or
    // double, truncated (a disable-enable round trip of 255 ends at 254).
    // A finished fade follows the new opacity, so that a control painted
    // while disabled is composed fully once enabled again.
    void ApplyDisabledAlpha(bool disabled);

    // The control's timer on the host window (id = the control's handle).
    void StartTimer(unsigned interval_ms);
    void KillTimer();

    // Classes built on another class's creation take their own kind when
    // they receive WM_CREATE.
    void SetKind(ControlKind kind) { m_kind = kind; }

private:
    friend class ExHostWindow;
    friend intptr_t DispatchToControl(ControlHandle, uint32_t, uintptr_t, intptr_t);

    ControlList* ContainerList();
    void LinkLast(ControlList& list);
    void LinkFirst(ControlList& list);
    bool IsSelfOrAncestorOf(ControlHandle handle) const;
    void ShiftDescendants(float dx, float dy);
    void RebuildCanvas();
    void ResetFields();
    const EventHandler* FindHandler(uint32_t message) const;
    PointerEvent DecodePointer(PointerButton button, uintptr_t wparam, intptr_t lparam) const;
    WheelEvent DecodeWheel(uintptr_t wparam, intptr_t lparam) const;

    plat::HWND m_host_window = nullptr;
    ControlHandle m_handle = ControlHandle::None;
    ControlHandle m_parent = ControlHandle::None;  // None for a top-level control
    bool m_visible = false;
    bool m_disabled = false;
    bool m_focusable = false;
    plat::HCURSOR m_cursor = nullptr;
    std::vector<std::pair<uint32_t, EventHandler>> m_events;
    RectF m_bounds{};
    std::string m_tooltip;
    std::string m_tag;
    ControlKind m_kind = ControlKind::None;
    ControlList m_children;
    ControlHandle m_previous = ControlHandle::None;
    ControlHandle m_next = ControlHandle::None;
    int m_fade_alpha = 255;
    std::unique_ptr<ExCanvas> m_canvas;
    ExHostWindow* m_host = nullptr;
    int m_alpha = 255;
    std::unique_ptr<ExCanvas> m_fade_snapshot;
    int m_fade_interval = 0;
    RectF m_previous_bounds{};
    bool m_dirty = false;
};

// The one entry point for delivering a message to a control (see the dispatch
// path above). A handle that resolves to no control yields 0.
intptr_t DispatchToControl(ControlHandle control, uint32_t message, uintptr_t wparam,
                           intptr_t lparam);

// The topmost visible, enabled control under (x, y), searching the sibling
// list that ends with `last` backwards and descending into children.
ControlHandle HitTest(ControlHandle last, float x, float y);

// Whether the point lies in the rectangle (half-open, with the tolerance).
bool RectContains(const RectF& rect, float x, float y);
// Whether two rectangles overlap with a non-empty intersection.
bool RectsOverlap(const RectF& a, const RectF& b);

// A rectangle travels in one message parameter as four 16-bit integers
// (left, top, right, bottom, rounded outward).
intptr_t PackRect(const RectF& rect);
RectF UnpackRect(intptr_t packed);

}  // namespace dui
