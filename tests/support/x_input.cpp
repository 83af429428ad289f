#include "tests/support/x_input.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "platform/gtk/gtk_ptr.h"
#include "platform/gtk/gtk_top_level.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace testing_support {

plat::gtk::GtkWindowSystem* StartGtkBackend() {
    plat::Initialise(plat::Backend::Gtk);
    return plat::gtk::GtkWindowSystem::Current();
}

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

void PointerTo(int x, int y) {
    XTestFakeMotionEvent(XDisplay(), -1, x, y, CurrentTime);
    XFlush(XDisplay());
}

void Button(unsigned button, bool down) {
    XTestFakeButtonEvent(XDisplay(), button, down ? True : False, CurrentTime);
    XFlush(XDisplay());
}

void Click(unsigned button) {
    Button(button, true);
    Button(button, false);
}

void ClickAt(int x, int y) {
    PointerTo(x, y);
    Click(1);
}

void Key(KeySymbol symbol, bool down) {
    XTestFakeKeyEvent(XDisplay(), XKeysymToKeycode(XDisplay(), symbol), down ? True : False, CurrentTime);
    XFlush(XDisplay());
}

void Tap(KeySymbol symbol) {
    Key(symbol, true);
    Key(symbol, false);
}

void TapWith(KeySymbol modifier, KeySymbol symbol) {
    Key(modifier, true);
    Tap(symbol);
    Key(modifier, false);
}

void ReleaseButtons() {
    for (unsigned button = 1; button <= 3; ++button) Button(button, false);
}

void ReleaseModifiers() {
    for (KeySymbol key : {XK_Shift_L, XK_Control_L, XK_Alt_L}) Key(key, false);
}

bool PumpUntil(const std::function<bool()>& done, uint64_t limit_ms) {
    const uint64_t deadline = plat::GetTickCount64() + limit_ms;
    plat::MSG msg{};
    while (true) {
        while (plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
        if (done()) return true;
        const uint64_t now = plat::GetTickCount64();
        if (now >= deadline) return false;
        if (plat::gtk::GtkWindowSystem* system = plat::gtk::GtkWindowSystem::Current()) {
            system->WaitForInput(now + 10);
        } else {
            plat::Sleep(5);
        }
    }
}

void PumpFor(uint64_t milliseconds) {
    const uint64_t until = plat::GetTickCount64() + milliseconds;
    PumpUntil([until] { return plat::GetTickCount64() >= until; }, milliseconds);
}

namespace {

struct ReadyPoll {
    std::function<plat::HWND()> ready;
    std::function<void(plat::HWND)> act;
    std::function<void()> give_up;
    uint64_t deadline = 0;
    plat::UINT_PTR timer = 0;
};

ReadyPoll& Poll() {
    static ReadyPoll poll;
    return poll;
}

void StopPoll() {
    ReadyPoll& poll = Poll();
    if (poll.timer != 0) plat::KillTimer(nullptr, poll.timer);
    poll.timer = 0;
}

void PollReady(plat::HWND, plat::UINT, plat::UINT_PTR id, plat::DWORD) {
    ReadyPoll& poll = Poll();
    if (id != poll.timer) {  // a poll that was replaced
        plat::KillTimer(nullptr, id);
        return;
    }
    // The callbacks are moved out first: they may start the next poll.
    if (const plat::HWND window = poll.ready()) {
        StopPoll();
        const auto act = std::move(poll.act);
        act(window);
    } else if (plat::GetTickCount64() > poll.deadline) {
        StopPoll();
        const auto give_up = std::move(poll.give_up);
        give_up();
    }
}

}  // namespace

void ActWhenReady(std::function<plat::HWND()> ready, std::function<void(plat::HWND)> act,
                  std::function<void()> give_up, uint64_t limit_ms) {
    StopPoll();
    ReadyPoll& poll = Poll();
    poll.ready = std::move(ready);
    poll.act = std::move(act);
    poll.give_up = std::move(give_up);
    poll.deadline = plat::GetTickCount64() + limit_ms;
    poll.timer = plat::SetTimer(nullptr, 0, 20, PollReady);
}

GtkWindow* GtkWindowOf(plat::HWND window) {
    plat::gtk::GtkWindowSystem* system = plat::gtk::GtkWindowSystem::Current();
    plat::gtk::GtkTopLevel* level = system != nullptr ? system->Find(window) : nullptr;
    return level != nullptr ? level->Window() : nullptr;
}

bool Mapped(plat::HWND window) {
    GtkWindow* gtk_window = GtkWindowOf(window);
    return gtk_window != nullptr && gtk_widget_get_mapped(GTK_WIDGET(gtk_window));
}

bool MappedWithFocus(plat::HWND window) {
    return Mapped(window) && gtk_window_has_toplevel_focus(GtkWindowOf(window));
}

uint32_t ScreenPixel(int x, int y) {
    plat::gtk::ObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1));
    if (!pixbuf) return 0xDEADBEEF;
    const guchar* pixel = gdk_pixbuf_get_pixels(pixbuf.get());
    return (uint32_t{pixel[0]} << 16) | (uint32_t{pixel[1]} << 8) | pixel[2];
}

std::string RunWhilePumping(std::vector<const char*> argv, const char* input) {
    argv.push_back(nullptr);
    const auto flags = input != nullptr
                           ? GSubprocessFlags(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                              G_SUBPROCESS_FLAGS_STDERR_SILENCE)
                           : G_SUBPROCESS_FLAGS_STDOUT_PIPE;
    GError* error = nullptr;
    plat::gtk::ObjectPtr<GSubprocess> process(g_subprocess_newv(argv.data(), flags, &error));
    if (!process) {
        ADD_FAILURE() << "cannot run " << argv[0] << ": " << error->message;
        g_error_free(error);
        return {};
    }
    struct Outcome {
        bool done = false;
        std::string output;
    } outcome;
    g_subprocess_communicate_utf8_async(
        process.get(), input, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* state = static_cast<Outcome*>(data);
            char* output = nullptr;
            g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &output, nullptr, nullptr);
            if (output != nullptr) state->output = output;
            g_free(output);
            state->done = true;
        },
        &outcome);
    EXPECT_TRUE(PumpUntil([&] { return outcome.done; })) << argv[0] << " did not finish";
    if (!outcome.done) g_subprocess_force_exit(process.get());
    while (!outcome.done) g_main_context_iteration(nullptr, TRUE);
    return outcome.output;
}

}  // namespace testing_support
