#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"

// Xlib's display type without Xlib itself, whose macros (None, Bool, True)
// clash with C++ names; a test that needs more of Xlib includes it last.
typedef struct _XDisplay Display;

// Driving the GTK backend on a real X server from tests: input synthesised
// through XTest, and the message loop run until a condition holds or a
// deadline passes. Every input call flushes, so the server has the event
// when it returns; whether the program has seen it is for PumpUntil to
// find out.
namespace testing_support {

// Starts the GTK backend. Its window system, or nullptr when there is no X
// display to test on (the test then skips).
plat::gtk::GtkWindowSystem* StartGtkBackend();

// An X key symbol, one of the XK_* of <X11/keysym.h>.
using KeySymbol = unsigned long;

// The display GDK opened.
Display* XDisplay();

void PointerTo(int x, int y);
void Button(unsigned button, bool down);
// Presses and releases a button where the pointer is.
void Click(unsigned button);
// Moves the pointer to a screen point and clicks the first button there.
void ClickAt(int x, int y);
inline void ClickAt(plat::POINT screen) { ClickAt(screen.x, screen.y); }
void Key(KeySymbol symbol, bool down);
void Tap(KeySymbol symbol);
// Taps `symbol` with `modifier` held, as Ctrl+V.
void TapWith(KeySymbol modifier, KeySymbol symbol);
// Lets go of the first three buttons, and of Shift, Ctrl and Alt, so that a
// test starts with nothing held whatever the one before it left.
void ReleaseButtons();
void ReleaseModifiers();

// Runs the message loop until `done` holds (true) or `limit_ms` passes
// (false), waiting for input between rounds.
bool PumpUntil(const std::function<bool()>& done, uint64_t limit_ms = 5000);
// Runs the message loop for a while, for checks that something does not
// happen.
void PumpFor(uint64_t milliseconds);

// For a window that a modal loop shows (a popup menu, a message box), which
// the test cannot wait for itself while the loop runs: a timer of that loop
// asks `ready` every 20 ms for the window, once it can take input, and
// hands it to `act`, once. When `limit_ms` passes first, `give_up` runs
// instead and should end the loop. A new call replaces a poll still running.
void ActWhenReady(std::function<plat::HWND()> ready, std::function<void(plat::HWND)> act,
                  std::function<void()> give_up, uint64_t limit_ms = 5000);

// The GTK window of a window of the backend; nullptr when there is none.
GtkWindow* GtkWindowOf(plat::HWND window);
// Whether the window is mapped; and mapped with the keyboard focus.
bool Mapped(plat::HWND window);
bool MappedWithFocus(plat::HWND window);

// 0xRRGGBB of what the screen shows at a point (shapes and stacking
// included); 0xDEADBEEF when it cannot be read.
uint32_t ScreenPixel(int x, int y);

// Runs a command while the loop keeps serving X (a clipboard read by
// another client needs this process to answer), feeding it `input` when
// not null. Returns its output; a command that cannot start or does not
// finish within the deadline fails the test.
std::string RunWhilePumping(std::vector<const char*> argv, const char* input);

}  // namespace testing_support
