#include "bench/support/program_start.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace bench_support {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string text(path, static_cast<std::size_t>(length));
    return text.substr(0, text.rfind('/'));
}

StartedProgram::StartedProgram(const std::vector<std::string>& args) {
    char home[] = "/tmp/seed-bench-XXXXXX";
    if (args.empty() || mkdtemp(home) == nullptr) return;
    m_home = home;
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
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

StartedProgram::~StartedProgram() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    if (!m_home.empty()) std::filesystem::remove_all(m_home, ignored);
}

std::vector<Probe> CentredProbes(Display* display, int width, int height) {
    const int left = (DisplayWidth(display, DefaultScreen(display)) - width) / 2;
    const int top = (DisplayHeight(display, DefaultScreen(display)) - height) / 2;
    return {{left + width / 2, top + height / 2},
            {left + 20, top + 20},
            {left + width - 20, top + 20},
            {left + 20, top + height - 20},
            {left + width - 20, top + height - 20}};
}

unsigned long ScreenPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}

std::vector<unsigned long> ScreenPixels(Display* display, const std::vector<Probe>& probes) {
    std::vector<unsigned long> pixels;
    for (const Probe& probe : probes) pixels.push_back(ScreenPixel(display, probe.x, probe.y));
    return pixels;
}

StartTimes WatchStart(Display* display, const StartedProgram& program, const std::vector<Probe>& probes,
                      const std::vector<unsigned long>& before, double start_ms) {
    StartTimes times;
    double all_changed_at = -1;
    std::vector<unsigned long> last(probes.size(), 0);
    while (NowMs() - start_ms < 20000 && program.Pid() > 0) {
        bool all = true;
        bool any = false;
        bool same_as_last = true;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const unsigned long pixel = ScreenPixel(display, probes[i].x, probes[i].y);
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

long SmapsKib(pid_t pid, const char* field) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    long total = 0;
    while (std::getline(file, line)) {
        if (line.starts_with(field)) total += std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return total;
}

long PrivateKib(pid_t pid) { return SmapsKib(pid, "Private_Clean:") + SmapsKib(pid, "Private_Dirty:"); }

}  // namespace bench_support
