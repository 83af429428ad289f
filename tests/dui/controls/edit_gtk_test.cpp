// An edit box on a real X server: keys typed with XTest arrive as text, and
// Ctrl+C / Ctrl+V exchange Chinese text with another client (xclip) through
// the real clipboard.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "dui/controls/controls_module.h"
#include "dui/controls/edit.h"
#include "dui/core/host_window.h"
#include "platform/gtk/gtk_ptr.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

void Key(KeySym symbol, bool down) {
    XTestFakeKeyEvent(XDisplay(), XKeysymToKeycode(XDisplay(), symbol), down ? True : False, CurrentTime);
    XFlush(XDisplay());
}

void Tap(KeySym symbol) {
    Key(symbol, true);
    Key(symbol, false);
}

void CtrlTap(KeySym symbol) {
    Key(XK_Control_L, true);
    Tap(symbol);
    Key(XK_Control_L, false);
}

void ClickAt(plat::POINT screen) {
    XTestFakeMotionEvent(XDisplay(), -1, screen.x, screen.y, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
    XFlush(XDisplay());
}

// Runs the loop until `done` holds or the deadline passes.
bool PumpUntil(const std::function<bool()>& done, plat::DWORD limit_ms = 5000) {
    const plat::DWORD deadline = plat::GetTickCount() + limit_ms;
    plat::MSG msg{};
    while (true) {
        while (plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
        if (done()) return true;
        if (plat::GetTickCount() >= deadline) return false;
        plat::Sleep(5);
    }
}

// Runs a command while the loop keeps serving X (a clipboard read by another
// client needs this process to answer). Returns its output.
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

class EditGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Gtk);
        if (plat::gtk::GtkWindowSystem::Current() == nullptr) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(dui::ControlsStartup());
        dui::HostWindowOptions options;
        options.title = "edit";
        options.left = 150;
        options.top = 120;
        options.width = 400;
        options.height = 200;
        window = dui::CreateHostWindow(options);
        ASSERT_NE(window, nullptr);
        dui::AttachOptions attach;
        attach.background_colour = 0xF0F0F0;
        attach.flags = 0;
        ASSERT_TRUE(host.Attach(window, attach));
        edit.CreateEdit(window, 20, 60, 180, 24);
        host.Show();
        plat::SetForegroundWindow(window);
        ASSERT_TRUE(PumpUntil([this] { return OnScreenWithFocus(); })) << "window never got the focus";
        plat::RECT rect{};
        plat::GetWindowRect(window, &rect);
        ClickAt({rect.left + 40, rect.top + 72});
        ASSERT_TRUE(PumpUntil([this] { return host.FocusedControl() == edit.GetHandle(); }));
    }

    void TearDown() override {
        edit.Destroy();
        if (plat::IsWindow(window)) plat::DestroyWindow(window);
        plat::Shutdown();
    }

    bool OnScreenWithFocus() const {
        plat::gtk::GtkWindowSystem* system = plat::gtk::GtkWindowSystem::Current();
        plat::gtk::GtkTopLevel* level = system != nullptr ? system->Find(window) : nullptr;
        if (level == nullptr) return false;
        return gtk_widget_get_mapped(GTK_WIDGET(level->Window())) &&
               gtk_window_has_toplevel_focus(level->Window());
    }

    plat::HWND window = nullptr;
    dui::ExHostWindow host;
    dui::ExEdit edit;
};

TEST_F(EditGtkTest, TypedKeysArriveAsText) {
    for (KeySym key : {XK_s, XK_e, XK_e, XK_d, XK_space, XK_1}) Tap(key);
    Key(XK_Shift_L, true);
    Tap(XK_a);
    Key(XK_Shift_L, false);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "seed 1A"; })) << edit.EditText();
    Tap(XK_BackSpace);
    Tap(XK_Home);
    Tap(XK_Delete);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "eed 1"; })) << edit.EditText();
    EXPECT_TRUE(edit.CaretVisible());
}

TEST_F(EditGtkTest, CopyAndPasteGoThroughTheRealClipboard) {
    RunWhilePumping({"xclip", "-selection", "clipboard", "-i"}, reinterpret_cast<const char*>(u8"磁力 link\nsecond"));
    ASSERT_TRUE(PumpUntil([] { return plat::ClipboardHasText(); }));
    CtrlTap(XK_v);
    // A single-line box keeps the first line.
    ASSERT_TRUE(PumpUntil([this] { return edit.EditText() == "磁力 link"; })) << edit.EditText();
    EXPECT_EQ(edit.CaretColumn(), 7);

    Tap(XK_Left);
    Tap(XK_Left);
    Tap(XK_Left);
    Tap(XK_Left);
    Key(XK_Shift_L, true);
    Tap(XK_Home);
    Key(XK_Shift_L, false);
    ASSERT_TRUE(PumpUntil([this] { return edit.SelectedText() == "磁力 "; }));
    CtrlTap(XK_c);
    ASSERT_TRUE(PumpUntil([] { return plat::GetClipboardText() == "磁力 "; }));
    EXPECT_EQ(RunWhilePumping({"xclip", "-selection", "clipboard", "-o"}, nullptr),
              reinterpret_cast<const char*>(u8"磁力 "));
    CtrlTap(XK_x);
    EXPECT_TRUE(PumpUntil([this] { return edit.EditText() == "link"; })) << edit.EditText();
}

}  // namespace
