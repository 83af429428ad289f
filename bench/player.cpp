// What the browser module costs, under an X server (run it under
// xvfb-run -a -s "-screen 0 1280x1024x24"):
//
//   start-up    the program started beside its browser module and started
//               from a copy without it, alternately: process start to the
//               first and to the finished frame of the main window, private
//               memory one second later, and whether the web engine is
//               mapped into the process (it must not be);
//   player      in this process: a play command to the player window's
//               first frame, and to its page's load-finished event on the
//               loopback interface, the first time (module and web process
//               start) and the times after (BENCH_TRACE=1 shows the
//               steps in between).
//
// A small program rather than a Google Benchmark one: the first player of a
// process is a measurement of its own and cannot be repeated.

#include <gtk/gtk.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/player_window.h"
#include "app/start_up.h"
#include "bench/support/program_start.h"
#include "platform/platform.h"
#include "services/browser_host.h"

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>

extern char** environ;

namespace {

using namespace bench_support;

constexpr int kMainWidth = 470;
constexpr int kMainHeight = 390;
constexpr int kStartRuns = 8;
constexpr int kPlayerRuns = 6;

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// ---- start-up ------------------------------------------------------------

bool MapsWebEngine(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(file, line)) {
        if (line.find("libwebkit2gtk") != std::string::npos) return true;
    }
    return false;
}

struct StartFigures {
    std::vector<double> first_ms, full_ms, private_kib;
    int engine_mapped = 0;
};

// Starts the program, watches five points of its centred window until all
// have changed and stayed for a tenth of a second, then reads its memory.
void MeasureStart(Display* display, const std::string& program, StartFigures& figures) {
    const std::vector<Probe> probes = CentredProbes(display, kMainWidth, kMainHeight);
    const std::vector<unsigned long> before = ScreenPixels(display, probes);
    const double start = NowMs();
    const StartedProgram child({program});
    const StartTimes times = WatchStart(display, child, probes, before, start);
    if (times.full_ms >= 0) {
        sleep(1);
        figures.first_ms.push_back(times.first_ms);
        figures.full_ms.push_back(times.full_ms);
        figures.private_kib.push_back(static_cast<double>(PrivateKib(child.Pid())));
        figures.engine_mapped += MapsWebEngine(child.Pid()) ? 1 : 0;
    }
}

void StartUpComparison() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::printf("start-up: no X display, skipped\n");
        return;
    }
    const std::string build = ExecutableDirectory() + "/..";
    const std::string present = build + "/seed-searcher";
    // The same executable and resources in a folder without the module.
    char folder[] = "/tmp/seed-bench-nomodule-XXXXXX";
    if (mkdtemp(folder) == nullptr) return;
    const std::string absent = std::string(folder) + "/seed-searcher";
    std::filesystem::copy_file(present, absent);
    std::filesystem::copy(build + "/res", std::string(folder) + "/res",
                          std::filesystem::copy_options::recursive);

    StartFigures with_module, without_module;
    // Alternating which goes first, so that neither profits from the
    // other's warm caches.
    for (int run = 0; run < kStartRuns; ++run) {
        if (run % 2 == 0) MeasureStart(display, present, with_module);
        MeasureStart(display, absent, without_module);
        if (run % 2 == 1) MeasureStart(display, present, with_module);
    }
    std::filesystem::remove_all(folder);
    XCloseDisplay(display);

    const auto report = [](const char* label, const StartFigures& figures) {
        std::printf("start-up %-15s first frame %6.1f ms  finished frame %6.1f ms  private %7.0f KiB  "
                    "engine mapped in %d of %zu runs\n",
                    label, Median(figures.first_ms), Median(figures.full_ms),
                    Median(figures.private_kib), figures.engine_mapped, figures.full_ms.size());
    };
    report("module present", with_module);
    report("module absent", without_module);
    const double first_a = Median(with_module.first_ms), first_b = Median(without_module.first_ms);
    const double mem_a = Median(with_module.private_kib), mem_b = Median(without_module.private_kib);
    if (first_b > 0 && mem_b > 0) {
        std::printf("start-up difference: first frame %+.1f%%, private memory %+.1f%%\n",
                    (first_a - first_b) / first_b * 100.0, (mem_a - mem_b) / mem_b * 100.0);
    }
}

// ---- player --------------------------------------------------------------

// The player's first frame as the screen shows it: a thread of its own,
// with its own display connection, watches the centre of the player
// (the window is centred on the work area) until it changes.
struct ScreenWatch {
    std::atomic<bool> armed{false};
    std::atomic<bool> quit{false};
    std::atomic<double> changed_at{-1};
    int x = 0, y = 0;
};
ScreenWatch g_screen;

constexpr plat::UINT kClose = plat::WM_APP + 2;
plat::HWND g_commands = nullptr;

struct PlayerRun {
    double command_at = 0;
    double first_frame_at = -1;
    double loaded_at = -1;
    double created_at = -1, started_at = -1, committed_at = -1;
    bool closing = false;
    services::BrowserHost* browser = nullptr;
};
PlayerRun g_run;

gboolean OnPlayerDrawn(GtkWidget* window, cairo_t*, gpointer) {
    if (g_run.first_frame_at < 0) g_run.first_frame_at = NowMs();
    g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(OnPlayerDrawn), nullptr);
    return FALSE;
}

// Polled from the GLib main loop every millisecond: the player's native
// window is found as soon as it exists, before its first frame.
gboolean WatchForPlayer(gpointer) {
    GList* windows = gtk_window_list_toplevels();
    for (GList* at = windows; at != nullptr; at = at->next) {
        const char* title = gtk_window_get_title(GTK_WINDOW(at->data));
        if (title != nullptr && std::strstr(title, reinterpret_cast<const char*>(u8"正在播放")) != nullptr &&
            g_object_get_data(G_OBJECT(at->data), "bench-watched") == nullptr) {
            g_object_set_data(G_OBJECT(at->data), "bench-watched", GINT_TO_POINTER(1));
            g_signal_connect_after(at->data, "draw", G_CALLBACK(OnPlayerDrawn), nullptr);
        }
    }
    g_list_free(windows);
    // Measured: the player closes (through the program's own loop).
    if (g_run.loaded_at >= 0 && g_run.first_frame_at >= 0 && g_screen.changed_at >= 0 && !g_run.closing) {
        g_run.closing = true;
        plat::PostMessage(g_commands, kClose, 0, 0);
    }
    return G_SOURCE_CONTINUE;
}

void WatchScreen() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    g_screen.x = width / 2;
    g_screen.y = height / 2;
    unsigned long before = 0;
    bool have_before = false;
    while (!g_screen.quit) {
        if (!g_screen.armed) {
            before = ScreenPixel(display, g_screen.x, g_screen.y);
            have_before = true;
            usleep(200);
            continue;
        }
        if (have_before && g_screen.changed_at < 0 && ScreenPixel(display, g_screen.x, g_screen.y) != before) {
            g_screen.changed_at = NowMs();
        }
        usleep(200);
    }
    XCloseDisplay(display);
}

constexpr plat::UINT kPlay = plat::WM_APP + 1;

plat::LRESULT CommandProc(plat::HWND window, plat::UINT message, plat::WPARAM wparam, plat::LPARAM lparam) {
    if (message == kPlay) {
        app::RunPlayCommand(1, 1, "magnet:?xt=urn:btih:0123456789ABCDEF&dn=bench", "bench");
        return 0;
    }
    if (message == kClose && g_run.browser != nullptr && g_run.browser->Window() != nullptr) {
        plat::DestroyWindow(plat::GetAncestor(g_run.browser->Window(), plat::GA_ROOT));
        return 0;
    }
    return plat::DefWindowProc(window, message, wparam, lparam);
}

void PlayerTimings() {
    plat::Initialise(plat::Backend::Gtk);
    if (!app::InitialiseModules()) {
        std::printf("player: no X display, skipped\n");
        return;
    }
    httplib::Server server;
    server.Get("/okapi.php", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html><head><title>player</title></head><body><script>"
                             "document.body.textContent = location.hash;</script></body></html>",
                             "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    const std::string root = "http://127.0.0.1:" + std::to_string(port);
    app::App().sites.player_roots = {root, root};
    app::App().sites.site = root + "/stopped";
    services::SetBrowserModulePath(ExecutableDirectory() + "/../libseed-browser.so");
    services::SetBrowserHostFactory([] {
        std::unique_ptr<services::BrowserHost> browser = services::NewModuleBrowserHost();
        g_run.browser = browser.get();
        g_run.created_at = NowMs();
        browser->OnNavigateStart([](const services::BrowserEvent&) { g_run.started_at = NowMs(); });
        browser->OnNavigateComplete([](const services::BrowserEvent&) { g_run.committed_at = NowMs(); });
        browser->OnDocumentComplete([](const services::BrowserEvent&) {
            if (g_run.loaded_at < 0) g_run.loaded_at = NowMs();
        });
        return browser;
    });

    plat::WNDCLASSEX command_class;
    command_class.lpfnWndProc = CommandProc;
    command_class.lpszClassName = "BenchPlayerCommands";
    plat::RegisterClassEx(&command_class);
    const plat::HWND commands = g_commands = plat::CreateWindowEx(0, "BenchPlayerCommands", "", plat::WS_POPUP, 0, 0,
                                                     1, 1, nullptr, nullptr, nullptr, nullptr);
    const guint watch = g_timeout_add(1, WatchForPlayer, nullptr);
    std::thread screen_watch(WatchScreen);

    std::vector<double> frame_later, load_later;
    for (int run = 0; run < kPlayerRuns; ++run) {
        g_run = PlayerRun{};
        // The previous player leaves the screen; the watch takes the empty
        // screen's pixel.
        for (const double until = NowMs() + 150; NowMs() < until;) {
            g_main_context_iteration(nullptr, FALSE);
            usleep(1000);
        }
        g_screen.changed_at = -1;
        g_run.command_at = NowMs();
        g_screen.armed = true;
        plat::PostMessage(commands, kPlay, 0, 0);
        // One message: the command, which returns when its player is gone.
        plat::MSG message{};
        if (plat::GetMessage(&message, nullptr, 0, 0) <= 0) break;
        plat::TranslateMessage(&message);
        plat::DispatchMessage(&message);
        g_screen.armed = false;
        if (std::getenv("BENCH_TRACE") != nullptr) {
            std::printf("  browser made %.1f, load started %.1f, committed %.1f, window drawn %.1f ms\n",
                        g_run.created_at - g_run.command_at, g_run.started_at - g_run.command_at,
                        g_run.committed_at - g_run.command_at, g_run.first_frame_at - g_run.command_at);
        }
        const double frame = g_screen.changed_at - g_run.command_at;
        const double load = g_run.loaded_at - g_run.command_at;
        if (run == 0) {
            std::printf("player first time   command to first frame on screen %6.1f ms  to load-finished %6.1f ms\n",
                        frame, load);
        } else {
            frame_later.push_back(frame);
            load_later.push_back(load);
        }
    }
    std::printf("player later times  command to first frame on screen %6.1f ms  to load-finished %6.1f ms "
                "(median of %zu)\n",
                Median(frame_later), Median(load_later), load_later.size());
    g_source_remove(watch);
    g_screen.quit = true;
    screen_watch.join();
    services::SetBrowserHostFactory({});
    plat::Shutdown();
    server.stop();
    serving.join();
}

}  // namespace

// Each part runs in a process of its own (without arguments this program
// runs itself once per part): the player part must be the first to load
// the web engine in its process.
int main(int argc, char** argv) {
    XInitThreads();
    if (argc > 1 && std::strcmp(argv[1], "--start-up") == 0) {
        StartUpComparison();
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--player") == 0) {
        PlayerTimings();
        return 0;
    }
    for (const char* part : {"--start-up", "--player"}) {
        std::fflush(stdout);
        char* part_argv[] = {argv[0], const_cast<char*>(part), nullptr};
        pid_t pid = -1;
        if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, part_argv, environ) == 0) {
            waitpid(pid, nullptr, 0);
        }
    }
    return 0;
}
