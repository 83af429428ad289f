// The in-memory backend: a virtual clock, scripted steps for blocking waits,
// and a record of everything the core asked of the native side.

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>

#include "platform/headless/headless.h"

namespace plat::headless {
namespace {

// How long a loop with nothing scripted waits, in real time, for background
// jobs to report before the test counts as hung.
constexpr auto kBackgroundJobWait = std::chrono::seconds(60);

class HeadlessSystem final : public WindowSystem {
public:
    uint64_t now = 0;
    std::deque<std::function<void()>> steps;
    std::optional<uint64_t> last_deadline;
    uint64_t auto_advance_budget = 0;
    std::function<void(const std::string&)> blocked_handler;
    SIZE screen{1920, 1080};
    RECT work_area{0, 0, 1920, 1040};
    std::map<HWND, NativeWindowInfo> windows;
    std::map<HWND, int> pushes;
    int flushes = 0;
    std::optional<std::string> clipboard;
    std::vector<DragRequest> drags;
    HWND activated = nullptr;
    TooltipInfo tooltip;
    std::vector<UINT> beeps;
    std::vector<std::string> launched_uris;
    UriLaunchResult launch_answer{UriLaunch::Launched, {}};
    std::vector<SaveDialogRequest> save_requests;
    std::optional<std::string> save_answer;
    // What the simulated user holds.
    InputState held;
    POINT pointer{0, 0};
    HWND grab = nullptr;
    bool refuse_grabs = false;
    // Wake() comes from other threads: only these three are shared.
    std::mutex wake_mutex;
    std::condition_variable wake_signal;
    bool woken = false;

    uint64_t NowMs() override { return now; }
    void Sleep(uint32_t milliseconds) override { now += milliseconds; }

    void WaitForInput(std::optional<uint64_t> deadline_ms) override {
        last_deadline = deadline_ms;
        {
            std::lock_guard lock(wake_mutex);
            woken = false;
        }
        if (CrossThreadWorkPending()) return;
        if (!steps.empty()) {
            std::function<void()> step = std::move(steps.front());
            steps.pop_front();
            step();
            return;
        }
        if (BackgroundJobsPending() > 0) {
            // The results come from worker threads in real time.
            std::unique_lock lock(wake_mutex);
            if (wake_signal.wait_for(lock, kBackgroundJobWait, [this] { return woken; })) return;
            lock.unlock();
            ReportBlocked("headless: a message loop waited " +
                          std::to_string(kBackgroundJobWait.count()) +
                          " s for a background job that never reported");
            return;
        }
        if (deadline_ms && *deadline_ms > now && *deadline_ms - now <= auto_advance_budget) {
            auto_advance_budget -= *deadline_ms - now;
            now = *deadline_ms;
            return;
        }
        if (deadline_ms && *deadline_ms <= now) return;
        ReportBlocked("headless: a message loop is waiting for input but no scripted step is left" +
                      std::string(deadline_ms ? " (a timer is pending; the auto-advance budget is spent)"
                                              : ""));
    }
    void ReportBlocked(const std::string& reason) {
        if (blocked_handler) {
            blocked_handler(reason);
            return;
        }
        std::fprintf(stderr, "%s\n", reason.c_str());
        std::fflush(stderr);
        std::abort();
    }
    void PollInput() override {}
    void Wake() override {
        std::lock_guard lock(wake_mutex);
        woken = true;
        wake_signal.notify_all();
    }

    void CreateTopLevel(HWND hwnd, const NativeWindowParams& params) override {
        NativeWindowInfo info;
        info.exists = true;
        info.rect = params.rect;
        info.title = params.title;
        info.layered = (params.ex_style & WS_EX_LAYERED) != 0;
        info.top_most = (params.ex_style & WS_EX_TOPMOST) != 0;
        windows[hwnd] = info;
    }
    void DestroyTopLevel(HWND hwnd) override {
        windows[hwnd].exists = false;
        if (grab == hwnd) grab = nullptr;
    }
    void SetRole(HWND hwnd, WindowRole role) override { windows[hwnd].role = role; }
    void SetEnabled(HWND hwnd, bool enabled) override { windows[hwnd].enabled = enabled; }
    bool GrabPopup(HWND hwnd) override {
        if (refuse_grabs || !windows[hwnd].visible) return false;
        grab = hwnd;
        return true;
    }
    void ReleasePopupGrab() override { grab = nullptr; }
    void ShowTopLevel(HWND hwnd, bool visible, bool activate) override {
        windows[hwnd].visible = visible;
        // As on a real display, an unviewable window loses its grab (the core
        // has ended it itself before hiding).
        if (!visible && grab == hwnd) grab = nullptr;
        if (visible && activate) activated = hwnd;
    }
    void MoveTopLevel(HWND hwnd, const RECT& screen_rect) override {
        windows[hwnd].rect = screen_rect;
    }
    void SetShowState(HWND hwnd, ShowState state) override { windows[hwnd].state = state; }
    void SetTitle(HWND hwnd, std::string_view utf8) override { windows[hwnd].title = utf8; }
    void SetTopMost(HWND hwnd, bool top_most) override { windows[hwnd].top_most = top_most; }
    void SetShape(HWND hwnd, const std::optional<WindowShape>& shape) override {
        windows[hwnd].shape = shape;
    }
    void SetLayered(HWND hwnd, bool layered) override { windows[hwnd].layered = layered; }
    void Activate(HWND hwnd) override { activated = hwnd; }
    void PushSurface(HWND hwnd, const RECT&) override { pushes[hwnd] += 1; }
    void PushLayered(HWND hwnd, uint8_t) override { pushes[hwnd] += 1; }
    void Flush() override { flushes += 1; }
    // Pushes are on the screen at once.
    void AwaitDrawn(HWND, uint32_t) override {}
    void BeginMoveDrag(HWND hwnd, POINT screen_point) override {
        drags.push_back(DragRequest{hwnd, false, 0, screen_point, {}, {}});
        held.left = false;
    }
    void BeginResizeDrag(HWND hwnd, int edge, POINT screen_point, SIZE min_track,
                         SIZE max_track) override {
        drags.push_back(DragRequest{hwnd, true, edge, screen_point, min_track, max_track});
        held.left = false;
    }
    void SetCursorShape(HWND hwnd, int cursor_id) override { windows[hwnd].cursor = cursor_id; }
    std::optional<POINT> PointerPosition() override { return pointer; }
    void SetClipboardUtf8(std::string_view utf8) override { clipboard = std::string(utf8); }
    std::optional<std::string> ClipboardUtf8() override { return clipboard; }
    void SetImeFocus(HWND hwnd, bool focused) override { windows[hwnd].ime_focused = focused; }
    void SetImeEnabled(HWND hwnd, bool enabled) override { windows[hwnd].ime_enabled = enabled; }
    void SetImeCursorRect(HWND hwnd, const RECT& rect) override { windows[hwnd].ime_cursor = rect; }
    void ShowTooltip(HWND owner, POINT screen_point, std::string_view utf8, int max_width) override {
        tooltip = TooltipInfo{true, owner, screen_point, std::string(utf8), max_width};
    }
    void HideTooltip() override { tooltip.shown = false; }
    void Beep(UINT type) override { beeps.push_back(type); }
    void LaunchUri(HWND, const std::string& uri,
                   std::function<void(UriLaunchResult)> done) override {
        launched_uris.push_back(uri);
        done(launch_answer);
    }
    void ChooseSaveFile(HWND, const std::string& title_utf8, const std::string& name_utf8,
                        std::function<void(std::optional<std::string>)> done) override {
        save_requests.push_back({title_utf8, name_utf8});
        done(save_answer);
    }
    RECT WorkArea() override { return work_area; }
    SIZE ScreenSize() override { return screen; }
};

HeadlessSystem& Current() {
    auto* system = dynamic_cast<HeadlessSystem*>(CurrentWindowSystem());
    if (!system) {
        std::fprintf(stderr, "headless: the headless backend is not installed; call "
                             "plat::headless::Reset() first\n");
        std::abort();
    }
    return *system;
}

HWND RootForInput(HWND hwnd) { return GetAncestor(hwnd, GA_ROOT); }

POINT ToScreen(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    return client;
}

void SetHeldButton(InputState& state, MouseButton button, bool down) {
    switch (button) {
    case MouseButton::Left: state.left = down; break;
    case MouseButton::Right: state.right = down; break;
    case MouseButton::Middle: state.middle = down; break;
    }
}

HWND KeyboardWindow() {
    HWND focus = GetFocus();
    if (focus) return RootForInput(focus);
    return GetActiveWindow();
}

}  // namespace

void Reset() { InstallWindowSystem(std::make_unique<HeadlessSystem>()); }

uint64_t Now() { return Current().now; }
void AdvanceClock(uint64_t milliseconds) { Current().now += milliseconds; }

void PushStep(std::function<void()> step) { Current().steps.push_back(std::move(step)); }
size_t PendingSteps() { return Current().steps.size(); }
std::optional<uint64_t> LastWaitDeadline() { return Current().last_deadline; }
void SetAutoAdvanceBudget(uint64_t budget_ms) { Current().auto_advance_budget = budget_ms; }
void SetBlockedHandler(std::function<void(const std::string&)> handler) {
    Current().blocked_handler = std::move(handler);
}

void SetScreenSize(SIZE size) { Current().screen = size; }
void SetWorkArea(const RECT& area) { Current().work_area = area; }

void MouseMoveScreen(POINT screen) {
    HeadlessSystem& system = Current();
    system.pointer = screen;
    input::QueueMouseMove(RootForInput(WindowFromPoint(screen)), screen, system.held);
}

void MouseDownScreen(POINT screen, MouseButton button) {
    HeadlessSystem& system = Current();
    system.pointer = screen;
    input::QueueMouseButton(RootForInput(WindowFromPoint(screen)), screen, button, true, system.held);
    SetHeldButton(system.held, button, true);
}

void MouseUpScreen(POINT screen, MouseButton button) {
    HeadlessSystem& system = Current();
    system.pointer = screen;
    input::QueueMouseButton(RootForInput(WindowFromPoint(screen)), screen, button, false, system.held);
    SetHeldButton(system.held, button, false);
}

void MouseMove(HWND hwnd, POINT client) {
    HeadlessSystem& system = Current();
    const POINT screen = ToScreen(hwnd, client);
    system.pointer = screen;
    input::QueueMouseMove(RootForInput(hwnd), screen, system.held);
}

void MouseDown(HWND hwnd, POINT client, MouseButton button) {
    HeadlessSystem& system = Current();
    const POINT screen = ToScreen(hwnd, client);
    system.pointer = screen;
    input::QueueMouseButton(RootForInput(hwnd), screen, button, true, system.held);
    SetHeldButton(system.held, button, true);
}

void MouseUp(HWND hwnd, POINT client, MouseButton button) {
    HeadlessSystem& system = Current();
    const POINT screen = ToScreen(hwnd, client);
    system.pointer = screen;
    input::QueueMouseButton(RootForInput(hwnd), screen, button, false, system.held);
    SetHeldButton(system.held, button, false);
}

void Click(HWND hwnd, POINT client, MouseButton button) {
    MouseDown(hwnd, client, button);
    MouseUp(hwnd, client, button);
}

void Wheel(HWND hwnd, POINT client, int delta) {
    HeadlessSystem& system = Current();
    const POINT screen = ToScreen(hwnd, client);
    system.pointer = screen;
    input::QueueMouseWheel(RootForInput(hwnd), screen, delta, system.held);
}

void MouseLeaveAll() {
    HeadlessSystem& system = Current();
    for (const auto& [hwnd, info] : system.windows) {
        if (info.exists) input::QueueMouseLeave(hwnd);
    }
    system.pointer = POINT{-100000, -100000};
}

void KeyDown(int virtual_key, std::string_view text) {
    HeadlessSystem& system = Current();
    input::QueueKey(KeyboardWindow(), virtual_key, true, false, text, system.held);
    if (virtual_key == VK_SHIFT || virtual_key == VK_LSHIFT || virtual_key == VK_RSHIFT) {
        system.held.shift = true;
    }
    if (virtual_key == VK_CONTROL || virtual_key == VK_LCONTROL || virtual_key == VK_RCONTROL) {
        system.held.control = true;
    }
    if (virtual_key == VK_MENU || virtual_key == VK_LMENU || virtual_key == VK_RMENU) {
        system.held.alt = true;
    }
}

void KeyUp(int virtual_key) {
    HeadlessSystem& system = Current();
    input::QueueKey(KeyboardWindow(), virtual_key, false, false, {}, system.held);
    if (virtual_key == VK_SHIFT || virtual_key == VK_LSHIFT || virtual_key == VK_RSHIFT) {
        system.held.shift = false;
    }
    if (virtual_key == VK_CONTROL || virtual_key == VK_LCONTROL || virtual_key == VK_RCONTROL) {
        system.held.control = false;
    }
    if (virtual_key == VK_MENU || virtual_key == VK_LMENU || virtual_key == VK_RMENU) {
        system.held.alt = false;
    }
}

void PressKey(int virtual_key, std::string_view text) {
    KeyDown(virtual_key, text);
    KeyUp(virtual_key);
}

void TypeText(std::string_view ascii) {
    for (char c : ascii) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) continue;
        const std::string text(1, c);
        if (c >= 'A' && c <= 'Z') {
            const bool shift_was_held = Current().held.shift;
            if (!shift_was_held) KeyDown(VK_SHIFT);
            PressKey(c, text);
            if (!shift_was_held) KeyUp(VK_SHIFT);
        } else if (c >= 'a' && c <= 'z') {
            PressKey(c - 'a' + 'A', text);
        } else if (c >= '0' && c <= '9') {
            PressKey(c, text);
        } else if (c == ' ') {
            PressKey(VK_SPACE, text);
        } else if (c == '\r' || c == '\n') {
            PressKey(VK_RETURN);
        } else if (c == '\t') {
            PressKey(VK_TAB);
        } else {
            // Punctuation: the key code matters little; the text is what types.
            PressKey(VK_OEM_PERIOD, text);
        }
    }
}

void CommitIme(std::string_view utf8) { input::QueueImeCommit(KeyboardWindow(), utf8); }

void PressOutsideProgram(POINT screen, MouseButton button) {
    HeadlessSystem& system = Current();
    system.pointer = screen;
    input::QueueMouseButton(nullptr, screen, button, true, system.held);
    SetHeldButton(system.held, button, true);
    input::QueueMouseButton(nullptr, screen, button, false, system.held);
    SetHeldButton(system.held, button, false);
}

void BreakPopupGrab() {
    HeadlessSystem& system = Current();
    if (!system.grab) return;
    const HWND holder = system.grab;
    system.grab = nullptr;
    input::QueueGrabBroken(holder);
}

void RefusePopupGrabs(bool refuse) { Current().refuse_grabs = refuse; }
HWND NativePopupGrab() { return Current().grab; }

void ActivateFromSystem(HWND hwnd, bool active) { input::QueueActivation(hwnd, active); }
void RequestClose(HWND hwnd) { input::QueueCloseRequest(hwnd); }
void ConfigureFromSystem(HWND hwnd, const RECT& screen_rect) {
    input::QueueConfigure(hwnd, screen_rect);
}

int PumpMessages() {
    int count = 0;
    MSG msg;
    // The bound keeps a procedure that posts to itself forever from hanging
    // a test.
    while (count < 1000000 && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
        ++count;
    }
    return count;
}

uint32_t Pixel(HWND hwnd, int x, int y) {
    const SurfaceView view = WindowSurface(hwnd);
    if (!view.data || x < 0 || y < 0 || x >= view.width || y >= view.height) return 0;
    return reinterpret_cast<const uint32_t*>(view.data + static_cast<size_t>(y) * view.stride)[x];
}

std::vector<uint32_t> Pixels(HWND hwnd, int* width, int* height) {
    const SurfaceView view = WindowSurface(hwnd);
    if (width) *width = view.width;
    if (height) *height = view.height;
    std::vector<uint32_t> pixels;
    if (!view.data) return pixels;
    pixels.reserve(static_cast<size_t>(view.width) * view.height);
    for (int y = 0; y < view.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(view.data + static_cast<size_t>(y) * view.stride);
        pixels.insert(pixels.end(), row, row + view.width);
    }
    return pixels;
}

uint8_t LayeredAlpha(HWND hwnd) { return LayeredConstantAlpha(hwnd); }

int PushCount(HWND hwnd) {
    auto& pushes = Current().pushes;
    auto it = pushes.find(hwnd);
    return it == pushes.end() ? 0 : it->second;
}

int FlushCount() { return Current().flushes; }

void SetSystemClipboard(std::optional<std::string> utf8) { Current().clipboard = std::move(utf8); }
std::optional<std::string> SystemClipboard() { return Current().clipboard; }

NativeWindowInfo NativeWindow(HWND hwnd) {
    auto& windows = Current().windows;
    auto it = windows.find(hwnd);
    return it == windows.end() ? NativeWindowInfo{} : it->second;
}

std::vector<DragRequest> DragRequests() { return Current().drags; }
HWND ActivatedNative() { return Current().activated; }
TooltipInfo Tooltip() { return Current().tooltip; }
std::vector<UINT> Beeps() { return Current().beeps; }
std::vector<std::string> LaunchedUris() { return Current().launched_uris; }
void AnswerUriLaunches(UriLaunchResult answer) { Current().launch_answer = std::move(answer); }
std::vector<SaveDialogRequest> SaveDialogRequests() { return Current().save_requests; }
void AnswerSaveDialogs(std::optional<std::string> path) { Current().save_answer = std::move(path); }

}  // namespace plat::headless
