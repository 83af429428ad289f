#pragma once
// The contract between the core of the window-system layer and a backend
// (GTK for real use, an in-memory one for tests).
//
// The core owns every window record, the message queue, timers, focus,
// capture and the retained surfaces. A backend owns the native side: one
// native top-level window per top-level HWND (child windows without a
// NativeChild exist only in the core and are drawn into their top-level's
// surface), the clock, waiting, and system services.
//
// Direction core -> backend: the virtual calls of WindowSystem below. They
// never call back into window procedures.
// Direction backend -> core: the plat::input::Queue* functions further down.
// They only queue; the core turns queued input into messages when a loop
// retrieves it, so a handler can never run re-entrantly from a native
// callback. Call them only on the GUI thread.
//
// Coordinates: "screen" is the desktop in pixels; a top-level window's
// client area is its whole native window (no frame), so client coordinates
// are relative to its top-left corner.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/surface.h"
#include "platform/win_types.h"

namespace plat {

// A window's shape: the rounded rectangle of CreateRoundRectRgn in window
// coordinates (ellipse 0 x 0 = a plain rectangle). Pixels outside are not
// part of the window (not drawn, not hit).
struct WindowShape {
    RECT rect;
    int ellipse_width;
    int ellipse_height;
};
// GDI's rule for which pixels a shape covers; backends build masks with it.
bool ShapeContains(const WindowShape& shape, int x, int y);

enum class ShowState { Normal, Maximised, Minimised };

enum class MouseButton { Left, Right, Middle };

// Modifier keys and mouse buttons as held BEFORE the event being queued
// (the core applies the event itself).
struct InputState {
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool left = false;
    bool right = false;
    bool middle = false;
};

struct NativeWindowParams {
    RECT rect;            // screen rectangle
    DWORD style;          // WS_*
    DWORD ex_style;       // WS_EX_* (WS_EX_LAYERED, WS_EX_TOPMOST, WS_EX_TOOLWINDOW...)
    std::string title;    // UTF-8
    HWND owner;           // owning top-level window or nullptr (keep it above its owner)
    WindowRole role = WindowRole::Normal;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Monotonic milliseconds; GetTickCount and timers run on it.
    virtual uint64_t NowMs() = 0;
    // Sleeps without handling input (the headless clock just advances).
    virtual void Sleep(uint32_t milliseconds) = 0;

    // Blocks until input may have been queued or NowMs() reaches the
    // deadline (nullopt: no deadline). Native events arriving meanwhile are
    // turned into Queue* calls. Returning early is harmless: the core checks
    // again and calls back. The headless backend runs the test's next
    // scripted step here.
    virtual void WaitForInput(std::optional<uint64_t> deadline_ms) = 0;
    // Queues whatever native input is ready, without blocking.
    virtual void PollInput() = 0;

    // Native top-level windows. A new window starts hidden. ShowTopLevel
    // with activate asks the system to give it the keyboard focus (the core
    // has already sent the activation messages).
    virtual void CreateTopLevel(HWND hwnd, const NativeWindowParams& params) = 0;
    virtual void DestroyTopLevel(HWND hwnd) = 0;
    virtual void ShowTopLevel(HWND hwnd, bool visible, bool activate) = 0;
    virtual void MoveTopLevel(HWND hwnd, const RECT& screen_rect) = 0;
    // Minimised asks the system to iconify; Maximised and Normal tell the
    // state (the core has already moved the window to its rectangle) and
    // de-iconify a minimised window.
    virtual void SetShowState(HWND hwnd, ShowState state) = 0;
    virtual void SetTitle(HWND hwnd, std::string_view utf8) = 0;
    virtual void SetTopMost(HWND hwnd, bool top_most) = 0;
    virtual void SetShape(HWND hwnd, const std::optional<WindowShape>& shape) = 0;
    // Layered windows show their surface with per-pixel alpha times the
    // constant alpha of PushLayered, and take no mouse input where a pixel's
    // alpha is 0; opaque ones ignore the alpha channel.
    virtual void SetLayered(HWND hwnd, bool layered) = 0;
    // Raise and give the keyboard focus (SetForegroundWindow). PopupMenu and
    // Tooltip windows are never given the system's focus.
    virtual void Activate(HWND hwnd) = 0;
    // The window's role changed (before it was first shown: a backend may
    // have to make a new native window of another kind).
    virtual void SetRole(HWND hwnd, WindowRole role) = 0;
    // A disabled top-level window takes no input, also not through the
    // widgets of its native children (the core filters its own input).
    virtual void SetEnabled(HWND hwnd, bool enabled) = 0;

    // The popup input grab (plat::GrabPopupInput): pointer and keyboard of
    // the seat, owner events on, so input over the program's own windows is
    // reported for them and the rest for `hwnd`. GrabPopup takes it for
    // `hwnd`, or moves it there from another window of the program; false
    // when the system refuses. ReleasePopupGrab ends it. When the system
    // breaks the grab, the backend reports input::QueueGrabBroken; a move of
    // the grab by GrabPopup is not a break.
    virtual bool GrabPopup(HWND hwnd) = 0;
    virtual void ReleasePopupGrab() = 0;

    // Makes a blocked WaitForInput return soon. The one call of the backend
    // made from any thread, possibly while the UI thread is inside another
    // call of the backend.
    virtual void Wake() = 0;

    // The screen. Read the pixels with plat::WindowSurface(). PushSurface:
    // `rect` (client coordinates) of the surface changed. PushLayered: the
    // whole surface changed; show it with this constant alpha. Flush: put
    // everything pushed so far on screen before returning.
    virtual void PushSurface(HWND hwnd, const RECT& rect) = 0;
    virtual void PushLayered(HWND hwnd, uint8_t constant_alpha) = 0;
    virtual void Flush() = 0;
    // Serves the window system (queuing input for the core, dispatching
    // nothing of the program's) until what was pushed to the window last
    // is drawn on the screen, or `timeout_ms` has passed.
    virtual void AwaitDrawn(HWND hwnd, uint32_t timeout_ms) = 0;

    // User-driven move and resize of a top-level window while the left
    // button is held (the system moves it; report the outcome with
    // QueueConfigure). `wmsz_edge` is a WMSZ_* code; the size must stay
    // within the tracking limits.
    virtual void BeginMoveDrag(HWND hwnd, POINT screen) = 0;
    virtual void BeginResizeDrag(HWND hwnd, int wmsz_edge, POINT screen, SIZE min_track,
                                 SIZE max_track) = 0;

    // The pointer shape over a top-level window (an IDC_* value; 0 hides
    // the pointer).
    virtual void SetCursorShape(HWND hwnd, int cursor_id) = 0;
    // The pointer position on screen when the system can tell.
    virtual std::optional<POINT> PointerPosition() = 0;

    // Clipboard text, UTF-8. ClipboardUtf8 returns nullopt when the
    // clipboard holds no text.
    virtual void SetClipboardUtf8(std::string_view utf8) = 0;
    virtual std::optional<std::string> ClipboardUtf8() = 0;

    // Input method of a top-level window: focus in/out follows the keyboard
    // focus; disabled means typing must not open a composition and only
    // plain key events arrive; the cursor rectangle (client coordinates of
    // the top-level window) places the composition window.
    virtual void SetImeFocus(HWND hwnd, bool focused) = 0;
    virtual void SetImeEnabled(HWND hwnd, bool enabled) = 0;
    virtual void SetImeCursorRect(HWND hwnd, const RECT& rect) = 0;

    // One tooltip at a time, near `screen` (below-right of the pointer).
    // max_width 0 = do not wrap.
    virtual void ShowTooltip(HWND owner, POINT screen, std::string_view utf8, int max_width) = 0;
    virtual void HideTooltip() = 0;

    // The desktop (platform/desktop.h): texts UTF-8. The backend calls
    // `done` once, from its event handling, or never when it gives up on
    // `owner`; the core passes the outcome on to the UI thread.
    virtual void LaunchUri(HWND owner, const std::string& uri,
                           std::function<void(UriLaunchResult)> done) = 0;
    virtual void ChooseSaveFile(HWND owner, const std::string& title_utf8,
                                const std::string& name_utf8,
                                std::function<void(std::optional<std::string>)> done) = 0;

    virtual void Beep(UINT type) = 0;   // MessageBeep's MB_* sound type
    virtual RECT WorkArea() = 0;         // screen coordinates
    virtual SIZE ScreenSize() = 0;
};

// Installs the backend the core talks to (replacing and destroying any
// previous one, after destroying all windows). The core must have a backend
// before the first window is created.
void InstallWindowSystem(std::unique_ptr<WindowSystem> system);
WindowSystem* CurrentWindowSystem();

// Provided by platform/gtk/.
std::unique_ptr<WindowSystem> CreateGtkWindowSystem();

// What a backend reads from the core.
// The retained surface of a top-level window with its core-drawn child
// windows composed on top, valid until the next call into the core.
SurfaceView WindowSurface(HWND hwnd);
bool IsLayeredWindow(HWND hwnd);
uint8_t LayeredConstantAlpha(HWND hwnd);
std::optional<WindowShape> WindowShapeOf(HWND hwnd);
WindowRole RoleOf(HWND hwnd);
// Thread-safe: work posted from other threads (PostToUiThread, PostMessage)
// waits for the UI thread. A backend checks it after clearing its wake
// signal and before it blocks, so that no Wake() is lost.
bool CrossThreadWorkPending();
// Background jobs whose results are still to come (plat::RunInBackground):
// a backend with scripted waits waits for them instead of failing.
size_t BackgroundJobsPending();

namespace input {

// Mouse input for a top-level window (the native window the system reported
// it on, or during an implicit grab the one holding it). The core routes it:
// to the capture window, else to the deepest enabled visible window under
// the point (which may be another top-level of the program); input over no
// window of the program is dropped.
void QueueMouseMove(HWND hwnd, POINT screen, InputState state);
void QueueMouseButton(HWND hwnd, POINT screen, MouseButton button, bool pressed,
                      InputState state);
// delta in WHEEL_DELTA units (120 per notch, positive away from the user).
void QueueMouseWheel(HWND hwnd, POINT screen, int delta, InputState state);
// The pointer left the native window (not sent during a grab).
void QueueMouseLeave(HWND hwnd);

// A key of the keyboard focus window. `text` (UTF-8) is what the key types
// when the input method did not take it, empty for keys that type nothing.
// The core makes WM_CHAR (or WM_SYSCHAR) of it in TranslateMessage.
void QueueKey(HWND hwnd, int virtual_key, bool pressed, bool auto_repeat, std::string_view text,
              InputState state);
// Text committed by the input method (UTF-8) for the focus window.
void QueueImeCommit(HWND hwnd, std::string_view text);

// The system activated or deactivated a top-level window (focus in/out).
void QueueActivation(HWND hwnd, bool active);
// The system gave the keyboard focus to a native child's widget.
void QueueNativeFocus(HWND hwnd);
// The system moved or resized a top-level window (after a drag, the user,
// or the window manager). Screen rectangle.
void QueueConfigure(HWND hwnd, const RECT& screen_rect);
// The system changed the window's state (e.g. restored from the taskbar).
void QueueShowState(HWND hwnd, ShowState state);
// The user asked to close the window (becomes WM_SYSCOMMAND SC_CLOSE).
void QueueCloseRequest(HWND hwnd);
// The system ended the popup input grab held for `hwnd` (another program
// grabbed, the window became unviewable).
void QueueGrabBroken(HWND hwnd);
// Screen content was lost and must be repainted by the program (rare: the
// retained surface normally repaints the screen without the program).
void QueueExpose(HWND hwnd, const RECT& client_rect);

}  // namespace input
}  // namespace plat
