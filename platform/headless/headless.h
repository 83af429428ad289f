#pragma once
// The in-memory backend for tests. Windows live in memory; the test injects
// input, drives a virtual clock, reads pixels and the clipboard, and scripts
// what happens whenever a message loop would block.
//
//   plat::headless::Reset();            // fresh core + backend, clock at 0
//   HWND w = plat::CreateWindowEx(...);
//   plat::headless::Click(w, {10, 10});
//   plat::headless::PushStep([&] { plat::headless::PressKey(VK_ESCAPE); });
//   RunModalLoopUnderTest(w);           // blocks -> runs the step
//
// A loop that blocks with no step left reports the failure through the
// failure handler (default: message on stderr, then abort) instead of
// hanging. While background jobs (plat::RunInBackground) are pending it
// first waits, in real time, for their results.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "platform/platform.h"

namespace plat::headless {

// Installs a fresh headless backend and core state: no windows, clock at 0,
// screen 1920 x 1080, work area (0, 0, 1920, 1040), empty clipboard, no
// steps, every key and button up, pointer at (0, 0). Window procedures of
// windows still alive are not called.
void Reset();

// Virtual clock.
uint64_t Now();
void AdvanceClock(uint64_t milliseconds);

// Scripted steps, run one per blocking wait, in order.
void PushStep(std::function<void()> step);
size_t PendingSteps();
// The deadline the core passed to its last blocking wait (nullopt: none).
std::optional<uint64_t> LastWaitDeadline();
// When no step is left but a timer is pending, jump the clock to it instead
// of failing, up to `budget_ms` of virtual time in total (0 = never).
void SetAutoAdvanceBudget(uint64_t budget_ms);
// Replaces the reaction to a loop blocking forever (tests may throw or
// record; after the handler returns the wait returns and the loop retries,
// so a handler that neither throws nor pushes a step is called again).
void SetBlockedHandler(std::function<void(const std::string& reason)> handler);

// Screen.
void SetScreenSize(SIZE size);
void SetWorkArea(const RECT& area);

// Mouse, at client coordinates of `hwnd` (any window, child or top-level)
// or at screen coordinates. Each queues input; the program sees it when a
// loop retrieves messages (call PumpMessages() to run them). Input reaches
// windows as it would on screen: the capture window, else the window under
// the point (hidden windows, and layered windows where their pixels are
// fully transparent, are not under any point).
void MouseMove(HWND hwnd, POINT client);
void MouseDown(HWND hwnd, POINT client, MouseButton button = MouseButton::Left);
void MouseUp(HWND hwnd, POINT client, MouseButton button = MouseButton::Left);
void Click(HWND hwnd, POINT client, MouseButton button = MouseButton::Left);
void Wheel(HWND hwnd, POINT client, int delta);
void MouseMoveScreen(POINT screen);
void MouseDownScreen(POINT screen, MouseButton button = MouseButton::Left);
void MouseUpScreen(POINT screen, MouseButton button = MouseButton::Left);
// The pointer leaves every window of the program.
void MouseLeaveAll();
// A click (press and release) where no window of the program is, as the
// system reports it while a popup holds the input grab.
void PressOutsideProgram(POINT screen, MouseButton button = MouseButton::Left);

// The popup input grab as the system holds it. BreakPopupGrab breaks it as
// another program's grab would; RefusePopupGrabs makes the next grabs fail.
void BreakPopupGrab();
void RefusePopupGrabs(bool refuse);
HWND NativePopupGrab();

// Keyboard for the focus window. PressKey = down + up. `text` is what the
// key types (UTF-8); TypeText types ASCII text key by key (letters with
// their VK codes, Shift for capitals). Modifier keys held with KeyDown stay
// held until KeyUp.
void KeyDown(int virtual_key, std::string_view text = {});
void KeyUp(int virtual_key);
void PressKey(int virtual_key, std::string_view text = {});
void TypeText(std::string_view ascii);
// Text committed by the input method (UTF-8).
void CommitIme(std::string_view utf8);

// The system activates / deactivates a top-level window, or asks to close it.
void ActivateFromSystem(HWND hwnd, bool active);
void RequestClose(HWND hwnd);
void ConfigureFromSystem(HWND hwnd, const RECT& screen_rect);

// Runs every message that is ready (PeekMessage + Translate + Dispatch)
// without blocking; returns the number dispatched. A WM_QUIT met here is
// put back (PostQuitMessage) and ends the pump.
int PumpMessages();

// Pixels: the retained surface of a top-level window (children composed),
// read as 0xAARRGGBB premultiplied. Outside the surface: 0.
uint32_t Pixel(HWND hwnd, int x, int y);
std::vector<uint32_t> Pixels(HWND hwnd, int* width = nullptr, int* height = nullptr);
uint8_t LayeredAlpha(HWND hwnd);
int PushCount(HWND hwnd);          // PushSurface + PushLayered calls so far
int FlushCount();

// Clipboard as the system holds it (UTF-8).
void SetSystemClipboard(std::optional<std::string> utf8);
std::optional<std::string> SystemClipboard();

// What the core asked of the native side.
struct NativeWindowInfo {
    bool exists = false;
    bool visible = false;
    bool top_most = false;
    bool layered = false;
    ShowState state = ShowState::Normal;
    RECT rect{};
    std::string title;   // UTF-8
    std::optional<WindowShape> shape;
    int cursor = 0;      // last IDC_* set over it
    bool ime_focused = false;
    bool ime_enabled = true;
    RECT ime_cursor{};
    WindowRole role = WindowRole::Normal;
    bool enabled = true;
};
NativeWindowInfo NativeWindow(HWND hwnd);

struct DragRequest {
    HWND hwnd;
    bool resize;   // false: move
    int edge;      // WMSZ_* for a resize
    POINT screen;
    SIZE min_track;
    SIZE max_track;
};
// Drags start only while the left button is held (as the system's drag
// would): use MouseDown and pump, not Click, before the drag command.
std::vector<DragRequest> DragRequests();
HWND ActivatedNative();   // last window Activate()d by the core

struct TooltipInfo {
    bool shown = false;
    HWND owner = nullptr;
    POINT screen{};
    std::string text;   // UTF-8
    int max_width = 0;
};
TooltipInfo Tooltip();

std::vector<UINT> Beeps();

// The desktop (platform/desktop.h). Every hand-off is recorded and answered
// at once with the answer set here (default: launched). Every save dialog
// is recorded (title and suggested name, UTF-8) and answered with the path
// set here (default: nullopt, the user cancels).
std::vector<std::string> LaunchedUris();
void AnswerUriLaunches(UriLaunchResult answer);
struct SaveDialogRequest {
    std::string title;
    std::string suggested_name;
};
std::vector<SaveDialogRequest> SaveDialogRequests();
void AnswerSaveDialogs(std::optional<std::string> path);

}  // namespace plat::headless
