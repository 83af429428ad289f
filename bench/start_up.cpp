// Start-up of the program next to a GTK "hello world" window of the same
// size, measured in the same run on the same X server (run it under
// xvfb-run -a -s "-screen 0 1280x1024x24"):
//   StartToFrame  pairs of starts, the hello window's then the program's, so
//                 that both see the same load; medians over the pairs of
//                 process start to the first pixels of the window
//                 (first_frame_ms; first_frame_ratio to the hello window's
//                 in the same pair) and to the finished window
//                 (full_frame_ms: the show animation over, all five probe
//                 points painted)
//   Idle          private memory and wake-ups per second of the idle
//                 window, one second after it is finished
// Each program runs with an empty settings directory, so the program starts
// its built-in demo engines as a user's first start does.
//
//   bench_start_up --gtk-hello    the hello-world window itself

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/program_start.h"

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>

namespace {

using namespace bench_support;

constexpr int kWidth = 470;
constexpr int kHeight = 390;

// The two programs compared. The hello window is this executable itself.
std::vector<std::string> ProgramArgs(int which) {
    if (which == 0) return {ExecutableDirectory() + "/../seed-searcher"};
    return {ExecutableDirectory() + "/bench_start_up", "--gtk-hello"};
}

Display* OpenDisplayOrSkip(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) state.SkipWithError("no X display: run under xvfb-run");
    return display;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One start of `which`: its first and finished frames, or nullopt when the
// window never finished painting.
std::optional<StartTimes> TimeStart(Display* display, const std::vector<Probe>& probes, int which) {
    const std::vector<unsigned long> before = ScreenPixels(display, probes);
    const double start = NowMs();
    StartedProgram child(ProgramArgs(which));
    const StartTimes times = WatchStart(display, child, probes, before, start);
    if (times.full_ms < 0) return std::nullopt;
    return times;
}

// Each iteration is a pair: the hello window, then the program, so that
// both see the same load. The counters are medians over the pairs.
void BM_StartToFrame(benchmark::State& state) {
    Display* display = OpenDisplayOrSkip(state);
    if (display == nullptr) return;
    const std::vector<Probe> probes = CentredProbes(display, kWidth, kHeight);
    std::vector<double> hello_first, first, full, ratio;
    for (auto _ : state) {
        const std::optional<StartTimes> hello = TimeStart(display, probes, 1);
        const std::optional<StartTimes> ours = TimeStart(display, probes, 0);
        if (!hello || !ours) {
            state.SkipWithError("a window never finished painting");
            break;
        }
        state.SetIterationTime(ours->full_ms / 1000.0);
        hello_first.push_back(hello->first_ms);
        first.push_back(ours->first_ms);
        full.push_back(ours->full_ms);
        ratio.push_back(ours->first_ms / hello->first_ms);
    }
    if (!ratio.empty()) {
        state.counters["hello_first_ms"] = Median(hello_first);
        state.counters["first_frame_ms"] = Median(first);
        state.counters["full_frame_ms"] = Median(full);
        state.counters["first_frame_ratio"] = Median(ratio);
    }
    XCloseDisplay(display);
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
    const std::vector<Probe> probes = CentredProbes(display, kWidth, kHeight);
    for (auto _ : state) {
        const std::vector<unsigned long> before = ScreenPixels(display, probes);
        StartedProgram child(ProgramArgs(static_cast<int>(state.range(0))));
        if (WatchStart(display, child, probes, before, NowMs()).full_ms < 0) {
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
        state.counters["private_kib"] = static_cast<double>(bench_support::PrivateKib(child.Pid()));
        state.counters["rss_kib"] = static_cast<double>(bench_support::SmapsKib(child.Pid(), "Rss:"));
        state.SetIterationTime(kSeconds);
    }
    state.SetLabel(state.range(0) == 0 ? "seed-searcher" : "gtk-hello");
    XCloseDisplay(display);
}

BENCHMARK(BM_StartToFrame)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);
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
