#pragma once
// The whole program on an X server of its own: an Xvfb started for the test,
// the real executable started on it with the engines pointed at a recording
// loopback server, input through XTest (and xdotool for typing any text),
// pixels read back from the screen and the clipboard read with xclip.
// Everything that waits polls with a deadline.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <ctime>
#include <vector>

#include "tests/app/recording_engines.h"
#include "tests/support/paths.h"

// Last: Xlib's macros (Success, None, Status...) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace desktop_session {

// Milliseconds. (<chrono> cannot be compiled with the GBK execution
// character set.)
using milliseconds = long long;

inline long long NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1'000'000;
}

inline void SleepMs(long long ms) {
    usleep(static_cast<useconds_t>(ms * 1000));
}

inline std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// Polls `done` every few milliseconds until it holds or the time is up.
inline bool Eventually(const std::function<bool()>& done, milliseconds limit = 10000) {
    const long long deadline = NowMs() + limit;
    while (true) {
        if (done()) return true;
        if (NowMs() >= deadline) return false;
        SleepMs(10);
    }
}

// Children that must not outlive a test that hangs: the watchdog kills them
// before it aborts the test program.
inline pid_t g_children[16] = {};

inline void RememberChild(pid_t pid) {
    for (pid_t& slot : g_children) {
        if (slot == 0) {
            slot = pid;
            return;
        }
    }
}

inline void ForgetChild(pid_t pid) {
    for (pid_t& slot : g_children) {
        if (slot == pid) slot = 0;
    }
}

// Aborts the test program, children first, when a test runs longer than
// `seconds`: a hang then fails with a message instead of a time-out that
// leaves an X server and the program behind.
inline void ArmWatchdog(unsigned seconds) {
    struct sigaction action {};
    action.sa_handler = [](int) {
        static const char kMessage[] = "desktop test watchdog: the test hung, aborting\n";
        (void)!write(2, kMessage, sizeof kMessage - 1);
        for (pid_t pid : g_children) {
            if (pid > 0) kill(pid, SIGKILL);
        }
        _exit(3);
    };
    sigaction(SIGALRM, &action, nullptr);
    alarm(seconds);
}

// A child process started with posix_spawn; killed (by its own pid) when the
// object goes away while it still runs.
class Process {
public:
    Process(const std::vector<std::string>& args, const std::vector<std::string>& extra_env,
            const std::string& output_path) {
        std::vector<std::string> env;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            bool replaced = false;
            for (const std::string& extra : extra_env) {
                if (text.substr(0, text.find('=') + 1) == extra.substr(0, extra.find('=') + 1)) {
                    replaced = true;
                }
            }
            if (!replaced) env.push_back(text);
        }
        env.insert(env.end(), extra_env.begin(), extra_env.end());
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!output_path.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, output_path.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
        if (posix_spawn(&m_pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (m_pid > 0) RememberChild(m_pid);
    }
    ~Process() {
        if (Running()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_pid > 0) ForgetChild(m_pid);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    bool Running() {
        if (m_pid <= 0 || m_status) return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
            return false;
        }
        return true;
    }
    // The exit code once the process has ended within the limit; -1 for a
    // signal, nullopt when it still runs.
    std::optional<int> WaitForExit(milliseconds limit) {
        if (!Eventually([this] { return !Running(); }, limit)) return std::nullopt;
        if (!m_status) return std::nullopt;
        return WIFEXITED(*m_status) ? WEXITSTATUS(*m_status) : -1;
    }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs a command with the given display and returns its standard output,
// or nullopt when it failed or took longer than five seconds.
inline std::optional<std::string> Capture(const std::string& display, const std::string& command) {
    const std::string line = "DISPLAY=" + display + " timeout 5 " + command + " 2>/dev/null";
    std::FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

// An Xvfb of the test's own, 1280 x 1024 x 24, no window manager.
class XServer {
public:
    XServer() {
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) return;
        const std::string fd = std::to_string(pipe_fds[1]);
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", fd, "-screen", "0",
                                         "1280x1024x24", "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        if (m_pid > 0) RememberChild(m_pid);
        // Xvfb writes the display number once it accepts connections.
        std::string number;
        pollfd readable{pipe_fds[0], POLLIN, 0};
        const long long deadline = NowMs() + 15000;
        while (m_pid > 0 && NowMs() < deadline) {
            if (poll(&readable, 1, 100) <= 0) continue;
            char c = 0;
            if (read(pipe_fds[0], &c, 1) != 1) break;
            if (c == '\n') break;
            number += c;
        }
        close(pipe_fds[0]);
        if (!number.empty()) {
            m_name = ":" + number;
            // The program's windows come and go while the test looks at
            // them (a question box closes between listing and reading its
            // title). Xlib's default handler would exit the test process
            // from inside a request; a vanished window only makes that
            // query come back empty.
            XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
            m_display = XOpenDisplay(m_name.c_str());
        }
    }
    ~XServer() {
        if (m_display != nullptr) XCloseDisplay(m_display);
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            ForgetChild(m_pid);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Ready() const { return m_display != nullptr; }
    const std::string& Name() const { return m_name; }
    Display* Dpy() const { return m_display; }

    // Top-level windows whose UTF-8 title is `title` (or, with `prefix`,
    // starts with it), mapped ones only.
    std::vector<Window> WindowsTitled(const std::string& title, bool prefix = false) {
        std::vector<Window> found;
        Window root = DefaultRootWindow(m_display);
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, root, &root, &parent, &children, &count)) return found;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(m_display, children[i], &attributes) ||
                attributes.map_state != IsViewable) {
                continue;
            }
            const std::string name = Title(children[i]);
            if (prefix ? name.starts_with(title) : name == title) found.push_back(children[i]);
        }
        if (children != nullptr) XFree(children);
        return found;
    }
    std::optional<Window> WaitForWindow(const std::string& title, milliseconds limit = 15000,
                                        bool prefix = false) {
        std::optional<Window> window;
        Eventually(
            [&] {
                const auto found = WindowsTitled(title, prefix);
                if (!found.empty()) window = found.front();
                return window.has_value();
            },
            limit);
        return window;
    }
    std::string Title(Window window) {
        const Atom name = XInternAtom(m_display, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(m_display, window, name, 0, 1024, False, utf8, &type, &format,
                               &items, &after, &data) == Success &&
            data != nullptr) {
            title.assign(reinterpret_cast<char*>(data), items);
        }
        if (data != nullptr) XFree(data);
        return title;
    }
    // The window's position on the screen and its size.
    struct Box {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Box Geometry(Window window) {
        Box box;
        Window root = 0;
        Window child = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        XGetGeometry(m_display, window, &root, &x, &y, &width, &height, &border, &depth);
        XTranslateCoordinates(m_display, window, root, 0, 0, &box.x, &box.y, &child);
        box.width = static_cast<int>(width);
        box.height = static_cast<int>(height);
        return box;
    }

    // What a window manager sends for the title bar's close button.
    void RequestClose(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XSync(m_display, False);
    }

    // Clicks button `position` (1 = rightmost) of the open message box, found
    // by its title; false when no box shows within the limit.
    bool AnswerMessageBox(int position, milliseconds limit = 10000) {
        const auto box = WaitForWindow(U8(u8"提示："), limit);
        if (!box) return false;
        const Box at = Geometry(*box);
        // Buttons are 70 x 24, 75 apart, 8 from the right and 35 from the bottom.
        Click(at.x + at.width - position * 75 - 8 + 35, at.y + at.height - 35 + 12);
        return true;
    }
    bool NoWindowTitled(const std::string& title, milliseconds limit = 5000) {
        return Eventually([&] { return WindowsTitled(title).empty(); }, limit);
    }

    // Input at screen coordinates through XTest.
    void MoveTo(int x, int y) {
        XTestFakeMotionEvent(m_display, 0, x, y, CurrentTime);
        XSync(m_display, False);
    }
    void Click(int x, int y, unsigned button = 1) {
        MoveTo(x, y);
        SleepMs(30);
        XTestFakeButtonEvent(m_display, button, True, CurrentTime);
        XSync(m_display, False);
        SleepMs(30);
        XTestFakeButtonEvent(m_display, button, False, CurrentTime);
        XSync(m_display, False);
    }
    void Key(const char* keysym_name) {
        const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysym_name));
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XSync(m_display, False);
    }
    // Types ASCII text key by key. Other text is pasted (Ctrl+V) from the
    // clipboard, as a user of a Chinese keyword often does: XTest typing
    // of characters missing from the keymap does not reach GTK's input
    // method under Xvfb.
    bool Type(const std::string& utf8) {
        const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                       [](char c) { return c > 0x1F && c < 0x7F && c != '\''; });
        if (ascii) return Capture(m_name, "xdotool type --delay 30 -- '" + utf8 + "'").has_value();
        if (!Capture(m_name, "sh -c \"printf '%s' '" + utf8 + "' | xclip -selection clipboard -i >/dev/null 2>&1\"")) {
            return false;
        }
        return Capture(m_name, "xdotool key ctrl+v").has_value();
    }
    std::optional<std::string> Clipboard() {
        return Capture(m_name, "xclip -o -selection clipboard");
    }

    // A screen pixel as 0xRRGGBB.
    unsigned long Pixel(int x, int y) {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x, y, 1, 1, AllPlanes,
                                  ZPixmap);
        if (image == nullptr) return 0;
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }
    // The pixels of a screen rectangle, row by row.
    std::vector<unsigned long> Pixels(int x, int y, int width, int height) {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x, y,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (image == nullptr) return pixels;
        pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                pixels.push_back(XGetPixel(image, column, row) & 0xFFFFFF);
            }
        }
        XDestroyImage(image);
        return pixels;
    }

private:
    pid_t m_pid = -1;
    std::string m_name;
    Display* m_display = nullptr;
};

// The program on an X server with a settings directory of its own, and a
// state directory of its own unless the test hands it one to share between
// runs.
class DesktopProgram {
public:
    DesktopProgram(XServer& x, const std::vector<std::string>& options,
                   std::string state_home = {})
        : m_x(x) {
        char name[] = "/tmp/seed-desktop-XXXXXX";
        if (mkdtemp(name) != nullptr) m_home = name;
        if (state_home.empty()) state_home = m_home + "/state";
        std::vector<std::string> args = {testing_support::BinaryPath("seed-searcher")};
        args.insert(args.end(), options.begin(), options.end());
        m_process.emplace(args,
                          std::vector<std::string>{"DISPLAY=" + x.Name(),
                                                   "XDG_CONFIG_HOME=" + m_home, "HOME=" + m_home,
                                                   "XDG_STATE_HOME=" + state_home,
                                                   "GDK_BACKEND=x11", "NO_AT_BRIDGE=1"},
                          m_home + "/output.txt");
    }
    ~DesktopProgram() {
        m_process.reset();
        if (!m_home.empty()) std::filesystem::remove_all(m_home);
    }

    Process& Proc() { return *m_process; }
    std::string Output() const { return testing_support::ReadFile(m_home + "/output.txt"); }

    // Waits for the main window; its screen position then anchors Click().
    bool WaitForMainWindow() {
        const auto window = m_x.WaitForWindow(U8(u8"澜橙种子搜索器"));
        if (!window) return false;
        m_window = *window;
        m_box = m_x.Geometry(m_window);
        return true;
    }
    // Waits for the main window's show animation to end. The window grows
    // from its centre, so a point by its left edge is painted by the last
    // frame alone; until then it shows the black root window.
    bool WaitUntilShown(milliseconds limit = 15000) {
        return Eventually([&] { return Pixel(12, 195) != 0; }, limit);
    }
    Window MainWindow() const { return m_window; }
    const XServer::Box& Box() const { return m_box; }
    // Input and pixels at client coordinates of the main window.
    void Click(int x, int y, unsigned button = 1) { m_x.Click(m_box.x + x, m_box.y + y, button); }
    unsigned long Pixel(int x, int y) { return m_x.Pixel(m_box.x + x, m_box.y + y); }
    std::vector<unsigned long> Pixels(int x, int y, int width, int height) {
        return m_x.Pixels(m_box.x + x, m_box.y + y, width, height);
    }

private:
    XServer& m_x;
    std::string m_home;
    std::optional<Process> m_process;
    Window m_window = 0;
    XServer::Box m_box;
};

}  // namespace desktop_session
