// Text the program put on the clipboard must outlive the program: on X11 a
// selection dies with its owner unless a clipboard manager takes a copy
// when the program ends. A minimal manager on its own display connection
// stands in for the desktop's.

#include <poll.h>
#include <time.h>

#include <atomic>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/gtk/gtk_window_system.h"
#include "platform/platform.h"

// Last: Xlib defines macros (None, Bool, True) that clash with C++ names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Answers one SAVE_TARGETS request the way desktop clipboard managers do:
// it fetches the clipboard's text from its owner, keeps it, and then
// reports the save as done to the requesting program.
class ClipboardManager {
public:
    ClipboardManager() : m_display(XOpenDisplay(nullptr)) {
        if (m_display == nullptr) return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        m_manager = XInternAtom(m_display, "CLIPBOARD_MANAGER", False);
        m_save_targets = XInternAtom(m_display, "SAVE_TARGETS", False);
        m_clipboard = XInternAtom(m_display, "CLIPBOARD", False);
        m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
        m_kept = XInternAtom(m_display, "SEED_TEST_KEPT", False);
        XSetSelectionOwner(m_display, m_manager, m_window, CurrentTime);
        XSync(m_display, False);
        m_ready = XGetSelectionOwner(m_display, m_manager) == m_window;
    }
    ~ClipboardManager() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_display != nullptr) XCloseDisplay(m_display);
    }
    ClipboardManager(const ClipboardManager&) = delete;
    ClipboardManager& operator=(const ClipboardManager&) = delete;

    bool Ready() const { return m_ready; }
    void Start() { m_thread = std::thread([this] { Serve(); }); }
    // The text saved. Called once the program has ended: its request, if
    // it made one, has been answered by then.
    std::optional<std::string> Saved() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        return m_saved;
    }

private:
    // The next event within the deadline, or false.
    bool NextEvent(XEvent& event, int64_t deadline_ms) {
        while (!m_stop) {
            if (XPending(m_display) > 0) {
                XNextEvent(m_display, &event);
                return true;
            }
            const int64_t left = deadline_ms - NowMs();
            if (left <= 0) return false;
            pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
            poll(&connection, 1, static_cast<int>(std::min<int64_t>(left, 50)));
        }
        return false;
    }

    void Serve() {
        const int64_t deadline = NowMs() + 20000;
        XEvent event;
        while (NextEvent(event, deadline)) {
            if (event.type != SelectionRequest) continue;
            const XSelectionRequestEvent request = event.xselectionrequest;
            if (request.selection != m_manager || request.target != m_save_targets) {
                Refuse(request);
                continue;
            }
            XConvertSelection(m_display, m_clipboard, m_utf8, m_kept, m_window, CurrentTime);
            XFlush(m_display);
            while (NextEvent(event, deadline)) {
                if (event.type != SelectionNotify) continue;
                if (event.xselection.property == m_kept) m_saved = ReadKept();
                break;
            }
            Answer(request, request.property);
            return;
        }
    }

    std::string ReadKept() {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string text;
        if (XGetWindowProperty(m_display, m_window, m_kept, 0, 1 << 20, True, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data != nullptr) {
            text.assign(reinterpret_cast<const char*>(data), count);
        }
        if (data != nullptr) XFree(data);
        return text;
    }

    void Refuse(const XSelectionRequestEvent& request) { Answer(request, 0); }

    void Answer(const XSelectionRequestEvent& request, Atom property) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.display = request.display;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.property = property;
        reply.xselection.time = request.time;
        XSendEvent(m_display, request.requestor, False, NoEventMask, &reply);
        XFlush(m_display);
    }

    Display* m_display;
    Window m_window = 0;
    Atom m_manager = 0, m_save_targets = 0, m_clipboard = 0, m_utf8 = 0, m_kept = 0;
    bool m_ready = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::optional<std::string> m_saved;
};

TEST(ClipboardStore, TextCopiedBeforeExitIsHandedToTheClipboardManager) {
    plat::Initialise(plat::Backend::Gtk);
    if (plat::gtk::GtkWindowSystem::Current() == nullptr) GTEST_SKIP() << "needs an X display";
    ClipboardManager manager;
    ASSERT_TRUE(manager.Ready());
    manager.Start();

    // GBK inside the program, UTF-8 on the system.
    ASSERT_TRUE(plat::SetClipboardText("magnet:?xt=urn:btih:0123456789ABCDEF&dn=种子"));
    plat::Shutdown();   // the program ends

    const std::optional<std::string> saved = manager.Saved();
    ASSERT_TRUE(saved.has_value()) << "the program never asked the manager to keep its text";
    EXPECT_EQ(*saved, reinterpret_cast<const char*>(u8"magnet:?xt=urn:btih:0123456789ABCDEF&dn=种子"));
}

}  // namespace
