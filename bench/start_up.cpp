// Start-up of the program next to a GTK "hello world" window of the same
// size, measured in the same run on the same X server (run it under
// xvfb-run -a -s "-screen 0 1280x1024x24"):
//   StartToFirstFrame   process start to the first pixels of the window
//   StartToFullFrame    process start to the finished window (after the
//                       show animation, all five probe points painted)
//   Idle                private memory and wake-ups per second of the idle
//                       window, one second after it is finished
// Each program runs with an empty settings directory, so the program starts
// its built-in demo engines as a user's first start does.
//
//   bench_start_up --gtk-hello    the hello-world window itself

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

constexpr int kWidth = 470;
constexpr int kHeight = 390;

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string text(path, static_cast<std::size_t>(length));
    return text.substr(0, text.rfind('/'));
}

// The two programs compared. The hello window is this executable itself.
std::vector<std::string> ProgramArgs(int which) {
    if (which == 0) return {ExecutableDirectory() + "/../seed-searcher"};
    return {ExecutableDirectory() + "/bench_start_up", "--gtk-hello"};
}

class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        char name[] = "/tmp/seed-bench-XXXXXX";
        if (mkdtemp(name) != nullptr) m_home = name;
        std::vector<std::string> env;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (text.starts_with("XDG_CONFIG_HOME=") || text.starts_with("HOME=")) continue;
            env.push_back(text);
        }
        env.push_back("XDG_CONFIG_HOME=" + m_home);
        env.push_back("HOME=" + m_home);
        env.push_back("NO_AT_BRIDGE=1");
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (!m_home.empty()) std::system(("rm -rf '" + m_home + "'").c_str());
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_home;
};

// Five probe points of the centred window: the centre and near each corner.
struct Probe {
    int x, y;
};
std::vector<Probe> ProbePoints(Display* display) {
    const int screen_width = DisplayWidth(display, DefaultScreen(display));
    const int screen_height = DisplayHeight(display, DefaultScreen(display));
    const int left = (screen_width - kWidth) / 2;
    const int top = (screen_height - kHeight) / 2;
    return {{left + kWidth / 2, top + kHeight / 2},
            {left + 20, top + 20},
            {left + kWidth - 20, top + 20},
            {left + 20, top + kHeight - 20},
            {left + kWidth - 20, top + kHeight - 20}};
}

unsigned long Pixel(Display* display, const Probe& at) {
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), at.x, at.y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}

struct StartTimes {
    double first_ms = -1;
    double full_ms = -1;
};

// Starts the program and watches the probe points until every one has
// changed from the empty screen and stayed so for a tenth of a second
// (the show animation is then over). The child is left running.
StartTimes MeasureStart(Display* display, const Child& child, const std::vector<unsigned long>& before,
                        double start_ms) {
    const std::vector<Probe> probes = ProbePoints(display);
    StartTimes times;
    double all_changed_at = -1;
    std::vector<unsigned long> last(probes.size(), 0);
    while (NowMs() - start_ms < 20000 && child.Pid() > 0) {
        bool all = true;
        bool any = false;
        bool same_as_last = true;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const unsigned long pixel = Pixel(display, probes[i]);
            const bool changed = pixel != before[i];
            all = all && changed;
            any = any || changed;
            same_as_last = same_as_last && pixel == last[i];
            last[i] = pixel;
        }
        const double now = NowMs();
        if (any && times.first_ms < 0) times.first_ms = now - start_ms;
        if (all && same_as_last) {
            if (all_changed_at < 0) all_changed_at = now;
            if (now - all_changed_at >= 100) {
                times.full_ms = all_changed_at - start_ms;
                break;
            }
        } else {
            all_changed_at = -1;
        }
        usleep(500);
    }
    return times;
}

Display* OpenDisplayOrSkip(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) state.SkipWithError("no X display: run under xvfb-run");
    return display;
}

void BM_StartToFrame(benchmark::State& state) {
    Display* display = OpenDisplayOrSkip(state);
    if (display == nullptr) return;
    const std::vector<Probe> probes = ProbePoints(display);
    double first_total = 0;
    double full_total = 0;
    int runs = 0;
    for (auto _ : state) {
        std::vector<unsigned long> before;
        for (const Probe& probe : probes) before.push_back(Pixel(display, probe));
        const double start = NowMs();
        Child child(ProgramArgs(static_cast<int>(state.range(0))));
        const StartTimes times = MeasureStart(display, child, before, start);
        if (times.full_ms < 0) {
            state.SkipWithError("the window never finished painting");
            break;
        }
        state.SetIterationTime(times.full_ms / 1000.0);
        first_total += times.first_ms;
        full_total += times.full_ms;
        ++runs;
    }
    if (runs > 0) {
        state.counters["first_frame_ms"] = first_total / runs;
        state.counters["full_frame_ms"] = full_total / runs;
    }
    state.SetLabel(state.range(0) == 0 ? "seed-searcher" : "gtk-hello");
    XCloseDisplay(display);
}

long ReadKib(pid_t pid, const char* key) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    long total = 0;
    while (std::getline(file, line)) {
        if (line.starts_with(key)) total += std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return total;
}

// Context switches of every thread: each is one wake-up of the process.
long long Switches(pid_t pid) {
    long long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = opendir(tasks.c_str());
    if (directory == nullptr) return 0;
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream status(tasks + "/" + entry->d_name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("voluntary_ctxt_switches:") ||
                line.starts_with("nonvoluntary_ctxt_switches:")) {
                total += std::strtoll(line.c_str() + line.find(':') + 1, nullptr, 10);
            }
        }
    }
    closedir(directory);
    return total;
}

double CpuMs(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) ticks += std::strtod(field.c_str(), nullptr);
        if (index == 15) break;
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_Idle(benchmark::State& state) {
    Display* display = OpenDisplayOrSkip(state);
    if (display == nullptr) return;
    const std::vector<Probe> probes = ProbePoints(display);
    for (auto _ : state) {
        std::vector<unsigned long> before;
        for (const Probe& probe : probes) before.push_back(Pixel(display, probe));
        Child child(ProgramArgs(static_cast<int>(state.range(0))));
        if (MeasureStart(display, child, before, NowMs()).full_ms < 0) {
            state.SkipWithError("the window never finished painting");
            break;
        }
        sleep(1);
        constexpr double kSeconds = 3.0;
        const long long switches = Switches(child.Pid());
        const double cpu = CpuMs(child.Pid());
        usleep(static_cast<useconds_t>(kSeconds * 1e6));
        state.counters["wakeups_per_s"] =
            static_cast<double>(Switches(child.Pid()) - switches) / kSeconds;
        state.counters["cpu_ms_per_s"] = (CpuMs(child.Pid()) - cpu) / kSeconds;
        state.counters["private_kib"] = static_cast<double>(
            ReadKib(child.Pid(), "Private_Clean:") + ReadKib(child.Pid(), "Private_Dirty:"));
        state.counters["rss_kib"] = static_cast<double>(ReadKib(child.Pid(), "Rss:"));
        state.SetIterationTime(kSeconds);
    }
    state.SetLabel(state.range(0) == 0 ? "seed-searcher" : "gtk-hello");
    XCloseDisplay(display);
}

BENCHMARK(BM_StartToFrame)->Arg(1)->Arg(0)->Arg(1)->Arg(0)->Iterations(5)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle)->Arg(1)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The comparison window: a GTK 3 top-level of the program's size with one
// label, centred, no animation.
int GtkHello(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "hello");
    gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_container_add(GTK_CONTAINER(window), gtk_label_new("Hello, world"));
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--gtk-hello") == 0) return GtkHello(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
