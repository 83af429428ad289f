#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/geometry.h"
#include "dui/core/image.h"
#include "dui/core/redraw_queue.h"
#include "platform/platform.h"

// A host window turns one native top-level window into a surface for
// controls: it subclasses the window's procedure, keeps the list of top-level
// controls, composes their canvases over a painted background into a back
// buffer and pushes that to the screen, routes mouse and keyboard input to
// the controls, lays out the caption (icon, title label, caption buttons),
// lets the user drag and resize the borderless window and plays the show,
// close and fade-in animations.
//
// Input path: the native window procedure (WindowProc) first offers every
// message to the OnMessage hook; mouse messages then pass ResizeBorderFilter
// and OnMouse, the wheel OnWheel, keys OnKeyDown / OnSysKeyDown, and each message a control
// receives goes through DispatchToControl (class procedure, then the bound
// handler). After any call into a control or callback the host re-resolves
// the handles it keeps (focus, hover, pressed), since handlers may destroy
// controls, and checks that it is still attached.
//
// Losing the pointer or the keyboard: when the window loses the capture
// (WM_CAPTURECHANGED) or the keyboard focus (WM_KILLFOCUS) while a control
// is pressed, the press ends without a click and the hover control receives
// EX_MSG_MOUSELEAVE. On WM_KILLFOCUS the focused control also receives
// WM_KILLFOCUS (wparam = the window taking the focus) and stays the host's
// focused control; when the window gets the focus back (WM_SETFOCUS) that
// control receives WM_SETFOCUS (wparam = the window that lost it). An edit
// box stops its caret and input method on the first and resumes on the
// second; EX_MSG_SETFOCUS / EX_MSG_KILLFOCUS stay for moves of the focus
// between controls.
namespace dui {

class ExPicture;

// Window flags: caption elements and looks.
inline constexpr int kFlagIcon = 1;
inline constexpr int kFlagTitle = 2;
inline constexpr int kFlagClose = 4;
inline constexpr int kFlagMaximise = 8;  // also double-click maximise
inline constexpr int kFlagMinimise = 16;
inline constexpr int kFlagExtraButton1 = 32;
inline constexpr int kFlagExtraButton2 = 64;
inline constexpr int kFlagExtraButton3 = 128;
inline constexpr int kFlagExtraButton4 = 256;
inline constexpr int kFlagShadow = 512;            // always added by Attach
inline constexpr int kFlagStandardCaption = 1024;  // icon, title, close (+ max/min by style)

// Name of the window property that holds the host object.
inline constexpr const char* kHostProperty = "Ex_Wnd_Control";

// The host object registered on a native window, or null.
ExHostWindow* HostFromWindow(plat::HWND window);

// Window-level callbacks.
using MessageHook = std::function<intptr_t(plat::HWND, uint32_t, uintptr_t, intptr_t)>;
using PaintBackgroundCallback =
    std::function<void(plat::HWND, ExCanvas& back_buffer, int width, int height)>;
using SizeCallback = std::function<void(plat::HWND, int width, int height)>;
using ControlCallback = std::function<void(plat::HWND, ControlHandle, uintptr_t wparam,
                                           intptr_t lparam, ControlKind)>;

// Arguments of Attach; every one may be left at its default.
struct AttachOptions {
    std::string background_image;  // encoded bytes; empty = none
    std::optional<int32_t> background_colour;  // RGB (red low); -1 or absent = none
    std::optional<int> flags;      // absent = the standard caption
    std::optional<int> layered_alpha;  // absent = not layered
    int image_mode = 0;            // 0 natural size, 1 stretched, 2 centred
    int frame_style = 7;           // 0 rectangular, 1 no frame, other = rounded
    bool animations = true;
    std::optional<bool> resizable;  // absent = whether the window had a thick frame
    bool draggable = true;
    bool image_frame = true;       // a centred image gets a frame
    std::optional<bool> blur;      // kept; no compositor here blurs behind windows
    Margins nine_grid{};           // empty = no nine-grid
    plat::HWND shared_background = nullptr;  // host whose image and colour are reused
};

// Kinds of show and close animations.
inline constexpr int kAnimationNone = 0;
inline constexpr int kAnimationFade = 1;
inline constexpr int kAnimationZoom = 2;       // close only
inline constexpr int kAnimationSlideDown = 3;
inline constexpr int kAnimationSlideUp = 4;
inline constexpr int kAnimationCentre = 7;
// How long a show animation runs unless told otherwise.
inline constexpr int kShowAnimationMs = 200;

class ExHostWindow {
public:
    ExHostWindow();
    ~ExHostWindow();  // detaches from a live window first
    ExHostWindow(const ExHostWindow&) = delete;
    ExHostWindow& operator=(const ExHostWindow&) = delete;

    // Binds the host to a native window. False when the window does not
    // exist or this host is already attached to it.
    bool Attach(plat::HWND window, AttachOptions options = {});
    bool IsAttached() const { return m_window != nullptr; }

    // The subclassing window procedure.
    intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam);

    // Frames. Drawing is deferred: ExControl::Invalidate marks a control
    // dirty (MarkDirty) and queues its bounds, and the first request of a
    // frame posts EX_MSG_FRAME to the window. The frame runs when the loop
    // reaches that message or the window's WM_PAINT, whichever comes first:
    // every dirty visible control receives WM_PAINT (painting into its
    // canvas), every queued rectangle is composed into the back buffer and
    // the union of them is presented once. A frame requested while an
    // animation runs waits for its end. ComposeFrame runs the pending frame
    // now (before a blocking call, or in a test).
    void MarkDirty(ControlHandle control);
    void RequestFrame();
    void ComposeFrame();
    bool FramePending() const { return m_frame_requested; }

    // Queues a rectangle for the next frame (Append, Front); Now composes
    // and pushes it at once, for a caller that cannot wait for the frame.
    void RedrawRect(const RectF& rect, RedrawMode mode = RedrawMode::Append);
    // Composes a rectangle into the back buffer and, when asked, pushes it.
    void ComposeRect(const RectF& rect, bool push);
    // Pushes a rectangle (default: the whole window) to the screen.
    void Present(std::optional<RectF> rect = std::nullopt);

    // Shows the tooltip over a control: the given text, or the control's
    // own tooltip text when none is given. An empty text removes it.
    void ShowTooltip(ControlHandle control, std::optional<std::string> text = std::nullopt);

    intptr_t OnSysKeyDown(uintptr_t wparam, intptr_t lparam);
    intptr_t OnKeyDown(uintptr_t wparam, intptr_t lparam);
    // The wheel goes to the control under the pointer, or the nearest of its
    // ancestors that scrolls (answers other than kNotHandled); when none
    // does, to the focused control.
    void OnWheel(uintptr_t wparam, intptr_t lparam);
    void OnDestroy();
    void OnSizeChanged();
    // Sets or replaces the control's Alt hotkey; character 0 removes it.
    void RegisterHotkey(ControlHandle control, uint32_t character);
    void OnTimer(uintptr_t id, intptr_t lparam);
    // Mouse routing to controls, after ResizeBorderFilter.
    intptr_t OnMouse(uint32_t message, uintptr_t wparam, intptr_t lparam);
    // Returns the border code (1..8) the mouse is on and consumes the
    // message, or 0 when it is on no border.
    int ResizeBorderFilter(uint32_t message, uintptr_t wparam, intptr_t lparam);

    bool Draggable() const { return m_draggable; }
    bool Draggable(bool value);
    int FrameStyle() const { return m_frame_style; }
    int FrameStyle(int value);

    // Loads a new background image (or takes the shared host's), stores the
    // colour (RGB; -1 keeps the old one), repaints the background cache and
    // either recomposes the window or starts the fade-in.
    void SetBackground(std::optional<std::string> image_bytes, std::optional<int32_t> colour,
                       bool prepare_fade_in = false);
    void LayoutCaption();
    int32_t ShadowColour() const { return m_shadow_colour; }
    int32_t ShadowColour(int32_t rgb);
    // Moves the focus to a visible, enabled, focusable control (never a
    // caption button); `keyboard` sets the keyboard-focus marker. The old
    // control receives EX_MSG_KILLFOCUS and OnFocusLost runs, then the new
    // one receives EX_MSG_SETFOCUS and OnFocusGot runs, as for a press.
    void SetFocus(ControlHandle control, bool keyboard = false);
    // The controls Tab and Shift+Tab walk, in tree order (depth first,
    // nested ones included): focusable, not caption buttons, and neither
    // they nor an ancestor hidden or disabled.
    std::vector<ControlHandle> FocusChain() const;
    // Runs a show animation (none: just shows the window). `after_first_frame`
    // runs once, when the window shows the animation's first frame (or, with
    // no animation, once it is shown), and what it creates is in every frame
    // after that: a window can show its first frame without waiting for all
    // of its controls.
    void Show(int animation = kAnimationNone, int duration_ms = kShowAnimationMs,
              const std::function<void()>& after_first_frame = {});
    int CloseAnimation() const { return m_close_animation; }
    int CloseAnimation(int type);
    plat::HCURSOR DefaultCursor() const { return m_default_cursor; }
    plat::HCURSOR DefaultCursor(plat::HCURSOR cursor);
    plat::HCURSOR DefaultCursor(plat::CursorId system_cursor);

    void OnPaintBackground(PaintBackgroundCallback callback) { m_on_paint_background = std::move(callback); }
    void OnMessage(MessageHook hook) { m_on_message = std::move(hook); }
    void OnSize(SizeCallback callback) { m_on_size = std::move(callback); }
    void OnButtonDown(ControlCallback callback) { m_on_button_down = std::move(callback); }
    void OnButtonUp(ControlCallback callback) { m_on_button_up = std::move(callback); }
    void OnClick(ControlCallback callback) { m_on_click = std::move(callback); }
    void OnDoubleClick(ControlCallback callback) { m_on_double_click = std::move(callback); }
    void OnRightButtonDown(ControlCallback callback) { m_on_right_button_down = std::move(callback); }
    void OnRightButtonUp(ControlCallback callback) { m_on_right_button_up = std::move(callback); }
    void OnMouseLeave(ControlCallback callback) { m_on_mouse_leave = std::move(callback); }
    void OnMouseEnter(ControlCallback callback) { m_on_mouse_enter = std::move(callback); }
    void OnFocusGot(ControlCallback callback) { m_on_focus_got = std::move(callback); }
    void OnFocusLost(ControlCallback callback) { m_on_focus_lost = std::move(callback); }

    // State read by controls and the application.
    plat::HWND Window() const { return m_window; }
    uintptr_t OwnHandle() const { return m_own_handle; }
    ControlList& TopLevelList() { return m_controls; }
    const ControlList& TopLevelList() const { return m_controls; }
    ControlHandle FocusedControl() const { return m_focused; }
    ControlHandle HoverControl() const { return m_hover; }
    ControlHandle PressedControl() const { return m_pressed; }
    // The modifier keys of the mouse message being routed now.
    Modifiers MouseModifiers() const { return m_mouse_modifiers; }
    ControlHandle KeyboardFocusMarker() const { return m_keyboard_marker; }
    bool Animating() const { return m_animating; }
    bool AnimationsEnabled() const { return m_animations_enabled; }
    bool Layered() const { return m_layered_alpha >= 0; }
    int LayeredAlpha() const { return m_layered_alpha; }
    int Flags() const { return m_flags; }
    bool Resizable() const { return m_resizable; }
    int ClientWidth() const { return m_width; }
    int ClientHeight() const { return m_height; }
    int32_t BackgroundColour() const { return m_background_colour; }
    const ExImage* BackgroundImage() const;
    ExCanvas* BackBuffer() { return m_back_buffer.get(); }
    const ExCanvas* BackgroundCache() const { return m_background_cache.get(); }
    // Caption parts created by Attach; null / empty when absent.
    ExControl* TitleLabel() const { return m_title_label.get(); }
    ExPicture* IconControl() const { return m_icon.get(); }
    const std::vector<std::unique_ptr<ExControl>>& CaptionButtons() const { return m_caption_buttons; }
    // The registered hotkeys in registration order.
    const std::vector<std::pair<ControlHandle, uint32_t>>& Hotkeys() const { return m_hotkeys; }

    // Used by the control model.
    void ClearFocusedControl() { m_focused = ControlHandle::None; }
    intptr_t DeliverControlMessage(ControlHandle control, uint32_t message, uintptr_t wparam,
                                   intptr_t lparam, bool post);

private:
    friend class ExControl;

    void ForgetControl(ControlHandle control);
    void CreateCaption();
    void CreateTooltipWindow();
    void BuildBuffers();
    void PaintBackground();
    void PaintFrameAndImage(ExCanvas& canvas);
    void ApplyWindowRegion();
    void DrawShadow(ExCanvas& canvas);
    void DrawSiblingList(ControlHandle first, const RectF& rect);
    std::optional<RectF> ComposeQueued();
    void RedrawWholeNow();
    void EndPressWithoutClick();
    void PushLayered();
    void RunCloseAnimation();
    void RunShowAnimation(int type, int duration_ms, const std::function<void()>& after_first_frame);
    // The window composed afresh into the back buffer, dirty controls
    // painted first, even while an animation runs.
    void ComposeWholeNow();
    void PushAnimationFrame(const ExCanvas& frame, int alpha);
    void PumpPendingMessages();
    void FadeInTick();
    void CancelPress();
    void MoveFocus(ControlHandle control, bool keyboard, uintptr_t wparam, intptr_t lparam);
    ControlHandle NextInFocusChain(bool backwards) const;
    void MouseLeaveWindow();
    void DoubleClickMaximise();
    void SendHover(ControlHandle previous, ControlHandle now, uintptr_t wparam, intptr_t lparam,
                   bool enter);
    void RunControlCallback(const ControlCallback& callback, ControlHandle control,
                            uintptr_t wparam, intptr_t lparam);
    void ClickControl(ControlHandle control, uintptr_t wparam, intptr_t lparam,
                      uintptr_t callback_wparam, intptr_t callback_lparam);
    bool Alive(plat::HWND window) const { return m_window == window && window != nullptr; }

    plat::HWND m_window = nullptr;
    uintptr_t m_own_handle = 0;
    plat::WNDPROC m_previous_proc = nullptr;
    ControlHandle m_focused = ControlHandle::None;
    ControlHandle m_hover = ControlHandle::None;
    ControlHandle m_pressed = ControlHandle::None;
    bool m_press_active = false;
    Modifiers m_mouse_modifiers;
    bool m_animating = false;
    std::unique_ptr<ExCanvas> m_back_buffer;
    std::unique_ptr<ExCanvas> m_background_cache;
    plat::HWND m_shared_background = nullptr;
    std::optional<ExImage> m_background_image;
    std::string m_background_bytes;
    int32_t m_background_colour = -1;
    ControlList m_controls;
    int m_flags = 0;
    int m_frame_style = 7;
    int m_layered_alpha = -1;
    int m_image_mode = 0;
    int32_t m_shadow_colour = 0;
    bool m_resizable = false;
    bool m_draggable = true;
    bool m_image_frame = true;
    int m_close_animation = kAnimationNone;
    int m_width = 0;
    int m_height = 0;
    std::optional<Region> m_clip_region;  // rounded outline inset 7, corner 3
    ControlHandle m_keyboard_marker = ControlHandle::None;
    bool m_blur = false;
    bool m_animations_enabled = true;
    plat::HCURSOR m_default_cursor = nullptr;
    Margins m_nine_grid{};
    std::unique_ptr<ExCanvas> m_transition;
    int m_fade_in_alpha = 0;
    bool m_tracking_leave = false;
    std::vector<std::pair<ControlHandle, uint32_t>> m_hotkeys;
    std::vector<std::unique_ptr<ExControl>> m_caption_buttons;
    std::unique_ptr<ExPicture> m_icon;
    std::unique_ptr<ExControl> m_title_label;
    ExRedrawQueue m_redraw_queue;
    std::vector<ControlHandle> m_dirty_controls;
    bool m_frame_requested = false;
    ControlHandle m_tooltip_control = ControlHandle::None;
    std::string m_tooltip_text;
    std::map<intptr_t, std::tuple<uint32_t, uintptr_t, intptr_t>> m_marshalled;
    intptr_t m_next_ticket = 1;

    PaintBackgroundCallback m_on_paint_background;
    MessageHook m_on_message;
    ControlCallback m_on_button_down;
    ControlCallback m_on_button_up;
    ControlCallback m_on_click;
    ControlCallback m_on_double_click;
    ControlCallback m_on_right_button_down;
    ControlCallback m_on_right_button_up;
    ControlCallback m_on_mouse_enter;
    ControlCallback m_on_mouse_leave;
    ControlCallback m_on_focus_got;
    ControlCallback m_on_focus_lost;
    SizeCallback m_on_size;
};

// Options of CreateHostWindow; every one may be left at its default.
struct HostWindowOptions {
    plat::HWND parent = nullptr;
    std::string title;
    std::optional<int> left;  // absent = centred on the work area
    std::optional<int> top;
    std::optional<int> width;   // absent or 0 = 380
    std::optional<int> height;  // absent or 0 = 250
    std::string class_name = "Ex_DirectUI";
    std::optional<uint32_t> style;  // absent = popup, system menu, min/max boxes, clip children
    uint32_t ex_style = 0;
    bool run_modal_loop = false;  // returns only after the window is gone
    bool show = false;
};

// Creates the native top-level window a host attaches to.
plat::HWND CreateHostWindow(const HostWindowOptions& options = {});

// Runs messages while the window exists. Keyboard and mouse input
// (WM_KEYFIRST..WM_KEYLAST, WM_MOUSEFIRST..WM_MOUSELAST) goes through only
// when it is meant for the window, one of its children, or a top-level
// window it owns (a popup menu the dialog opened); the rest is dropped.
// With an owner, the owner is disabled for the loop's duration and enabled
// again at its end, however it ends, unless it was disabled already or has
// been destroyed meanwhile. On the quit message the loop ends and re-posts
// it for the loop outside.
void RunModalLoop(plat::HWND window, plat::HWND owner = nullptr);

}  // namespace dui
