#pragma once
// Internal state of the window-system core, shared by its .cpp files. Not for
// use outside platform/.
//
// Re-entrancy rule: any SendMessage (any call of a window procedure) may
// create or destroy windows. Never keep a WindowRecord* across such a call;
// keep the HWND and resolve it again.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/gbk_text.h"
#include "platform/native_child.h"
#include "platform/popup_windows.h"
#include "platform/win_types.h"

namespace plat {

// Limits that keep a runaway or hostile producer from exhausting memory.
inline constexpr size_t kMaxPostedMessages = 10000;   // as Windows' per-queue limit
inline constexpr size_t kMaxQueuedInput = 10000;
inline constexpr size_t kMaxInputText = 64 * 1024;     // bytes of one key/IME/tool text
inline constexpr int kMaxWindowDimension = 8192;
inline constexpr size_t kMaxClipboardBytes = 16u << 20;

inline constexpr UINT kDoubleClickTime = 500;
inline constexpr int kDoubleClickWidth = 4;
inline constexpr int kDoubleClickHeight = 4;
inline constexpr UINT kTooltipInitialDelay = kDoubleClickTime;
inline constexpr UINT kTooltipAutoPop = kDoubleClickTime * 10;

struct ClassRecord {
    std::string name;
    WNDCLASSEX info{};   // lpszClassName / lpszMenuName point at nothing
    ATOM atom = 0;
    NativeChildFactory native_factory;
    int window_count = 0;
};

// A retained pixel surface: premultiplied ARGB32, native endian.
struct PixelSurface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    void Resize(int new_width, int new_height);   // keeps the overlapping part
    SurfaceView View() const;
};

struct WindowRecord {
    HWND handle = nullptr;
    ClassRecord* window_class = nullptr;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD ex_style = 0;
    HWND parent = nullptr;   // WS_CHILD: the parent; otherwise the owner
    UINT_PTR id = 0;
    HINSTANCE instance = nullptr;
    RECT rect{};             // child: parent client coordinates; top-level: screen
    RECT restore_rect{};     // top-level rectangle before maximising
    bool maximised_before_minimise = false;
    std::string text;
    LONG_PTR user_data = 0;
    std::vector<uint8_t> extra;
    std::vector<std::pair<std::string, HANDLE>> properties;
    std::vector<HWND> children;   // back to front
    HICON icon_big = nullptr;
    HICON icon_small = nullptr;
    bool ime_attached = true;

    PixelSurface surface;
    std::optional<RECT> update;   // invalid region's bounds
    uint64_t begin_paint_count = 0;
    uint8_t constant_alpha = 255;
    std::optional<WindowShape> shape;
    std::vector<uint32_t> composed;   // root only: surface with children drawn on
    bool composed_dirty = true;

    std::unique_ptr<NativeChild> native;
    bool destroying = false;
    WindowRole role = WindowRole::Normal;

    bool IsChild() const { return (style & WS_CHILD) != 0; }
    bool IsTopLevel() const { return (style & WS_CHILD) == 0; }
    // Neither the system nor a click may make it the active window.
    bool NeverActive() const {
        return (ex_style & WS_EX_NOACTIVATE) != 0 || role == WindowRole::Tooltip;
    }
};

// Raw input as queued by the backend; turned into messages on retrieval.
struct RawInput {
    enum class Kind { MouseMove, MouseButton, MouseWheel, MouseLeave, Key, ImeCommit,
                      Activation, NativeFocus, Configure, ShowState, Close, Expose,
                      GrabBroken };
    Kind kind = Kind::MouseMove;
    HWND hwnd = nullptr;
    POINT screen{};
    MouseButton button = MouseButton::Left;
    bool flag = false;        // pressed / active / auto-repeat
    int value = 0;            // wheel delta / virtual key
    InputState state{};
    std::string text{};       // UTF-8
    RECT rect{};
    ShowState show_state = ShowState::Normal;
    uint64_t time = 0;
};

// An input message ready for retrieval, with the key state it brings.
struct ReadyInput {
    MSG msg{};
    std::array<uint8_t, 8> key_updates{};   // virtual keys whose state changes
    uint32_t key_update_count = 0;
    uint32_t key_down_mask = 0;             // bit i: key_updates[i] goes down
    bool toggle_first = false;              // key_updates[0] toggles
    std::string text;   // GBK: characters of a key, result of a composition
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT interval = 0;
    uint64_t due = 0;
    TIMERPROC procedure = nullptr;
};

struct Tool {
    HWND owner = nullptr;
    RECT rect{};
    std::string text;   // GBK
    int max_width = 0;
};

struct CoreState {
    std::unique_ptr<WindowSystem> system;

    // Windows: slot i holds the record whose handle carries generations[i].
    std::vector<std::unique_ptr<WindowRecord>> slots;
    std::vector<uint64_t> generations;
    std::vector<uint32_t> free_slots;
    std::vector<HWND> top_levels;   // back to front
    std::vector<std::unique_ptr<ClassRecord>> classes;
    ATOM next_atom = 0xC000;

    // Queues.
    std::deque<MSG> posted;
    std::deque<RawInput> raw_input;
    std::deque<ReadyInput> ready_input;
    bool quit_posted = false;
    uint64_t tasks_run = 0;   // tasks from PostToUiThread run so far
    int quit_code = 0;
    std::vector<Timer> timers;
    UINT_PTR next_thread_timer = 1;
    DWORD last_message_time = 0;
    // Texts of queued key and IME messages, found through MSG::lPrivate.
    std::array<std::pair<DWORD, std::string>, 256> message_texts;
    DWORD next_text_serial = 1;

    // Input state.
    std::array<uint8_t, 256> key_state{};         // bit 0x80 down, 0x01 toggled
    std::array<uint8_t, 256> async_key_state{};
    POINT cursor_pos{};
    HWND capture = nullptr;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND under_pointer = nullptr;
    // Popups holding the popup input grab, outermost first; the last one
    // holds the system's grab.
    std::vector<HWND> popup_grabs;
    GrabFailure last_grab_failure = GrabFailure::None;
    HWND tracking_leave = nullptr;
    bool suppress_activation_focus = false;
    struct LastClick {
        HWND hwnd = nullptr;
        MouseButton button = MouseButton::Left;
        uint64_t time = 0;
        POINT screen{};
        bool valid = false;
    } last_click;

    // Caret, IME, cursor.
    HWND caret_owner = nullptr;
    SIZE caret_size{};
    POINT caret_pos{};
    std::string ime_result;   // GBK, of the one input context
    HCURSOR cursor = nullptr;

    // Tooltips.
    std::vector<Tool> tools;
    HWND tip_owner = nullptr;
    enum class TipPhase { Idle, Armed, Shown, Spent } tip_phase = TipPhase::Idle;
    uint64_t tip_deadline = 0;

    // Regions and icons owned by the caller.
    std::vector<std::pair<uintptr_t, WindowShape>> regions;
    uintptr_t next_region = 1;
    struct Icon {
        uintptr_t id;
        int width, height;
        std::vector<uint32_t> pixels;
    };
    std::vector<Icon> icons;
    uintptr_t next_icon = 1;
};

CoreState& Core();
WindowSystem& System();   // asserts that a backend is installed
void ResetCore();         // drops every window silently, keeps the backend

// Handles.
WindowRecord* Resolve(HWND hwnd);
HWND AllocateWindow(std::unique_ptr<WindowRecord> record);
void FreeWindow(HWND hwnd);

// Tree helpers.
HWND RootOf(HWND hwnd);
bool IsAncestorOrSelf(HWND ancestor, HWND hwnd);
RECT ScreenRectOf(const WindowRecord& record);   // window rectangle on screen
POINT ClientOriginOnScreen(const WindowRecord& record);
bool IsShownOnScreen(HWND hwnd);                 // itself and every ancestor visible
HWND HitTestScreen(POINT screen, HWND preferred_root);

// Messages and queues (message_queue.cpp).
DWORD StoreMessageText(std::string text);
const std::string* FindMessageText(DWORD serial);
bool PostInternal(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD text_serial = 0);
void PurgeWindowMessages(HWND hwnd);
void KillWindowTimers(HWND hwnd);

// Input (input.cpp).
bool ConvertNextRawInput();
void CancelLeaveTracking(HWND hwnd);
void PostLeaveIfTracked(HWND new_under_pointer);
void ForgetWindowInput(HWND hwnd);
void ReleaseLeftButtonAfterDrag();

// Popup roles and the popup input grab (popup_windows.cpp).
bool PopupGrabActive();
HWND PopupGrabHolder();
// A press the system reported outside every window of the program.
void PopupGrabOutsidePress();
// The system broke the grab held for `hwnd`.
void PopupGrabBrokenBySystem(HWND hwnd);
// The window is being hidden or destroyed: it loses the grab.
void PopupGrabLost(HWND hwnd);

// Work from other threads (ui_thread.cpp, background.cpp).
// The backend changed: the installing thread becomes the UI thread, and
// work queued for the old backend is dropped.
void AttachUiThread(WindowSystem* system);
// Moves messages posted from other threads into the queue and runs the
// tasks waiting for the UI thread.
void RunCrossThreadWork();
BOOL PostFromOtherThread(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void ResetBackgroundJobs();

// Focus and activation (focus.cpp).
void Activate(HWND root, WORD how, bool tell_system);
void ActivateAnotherThan(HWND leaving);
void SyncImeWithFocus();
bool ActivationMaySetFocus();   // false while SetFocus activates a root itself
void ForgetWindowFocus(HWND hwnd);

// Geometry (geometry.cpp).
void ApplyWindowRect(HWND hwnd, const RECT& rect, WPARAM size_type, bool tell_system,
                     bool redraw);
void PlaceNativeChildren(HWND root);
MINMAXINFO QueryMinMaxInfo(HWND hwnd);
void Maximise(HWND hwnd);
void Minimise(HWND hwnd);
void Restore(HWND hwnd);
void SetVisibleFlag(HWND hwnd, bool visible, bool activate);

// Painting (painting.cpp).
void InvalidateWhole(HWND hwnd);
void InvalidateInParent(HWND hwnd);
void PushToScreen(HWND hwnd, const RECT& client_rect);
bool FindPaintMessage(HWND filter, MSG* msg);
void FinishPaintDispatch(HWND hwnd, uint64_t begin_paint_count_before);

// Tooltips (tooltips.cpp).
void TooltipMouseMove(HWND hwnd, POINT client, uint64_t time);   // time of the move
void TooltipDismiss();
void TooltipTick();
std::optional<uint64_t> TooltipDeadline();
void ForgetWindowTool(HWND hwnd);

// Small rectangle helpers.
inline bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
           a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (RectEmpty(r)) return RECT{0, 0, 0, 0};
    return r;
}
inline RECT Union(const RECT& a, const RECT& b) {
    if (RectEmpty(a)) return b;
    if (RectEmpty(b)) return a;
    return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}
inline bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace plat
