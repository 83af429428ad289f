#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Xlib's display type without Xlib itself, whose macros break other headers.
typedef struct _XDisplay Display;

// Starting the program as a separate process and watching its window reach
// the screen, for the benchmarks that measure start-up under an X server.
namespace bench_support {

// Milliseconds on the monotonic clock.
double NowMs();

// The folder of the running executable ("." when unknown).
std::string ExecutableDirectory();

// A program started as a user's first start: with a fresh, empty home and
// configuration folder, its output silenced. Killed, and its folder
// removed, when this goes away.
class StartedProgram {
public:
    explicit StartedProgram(const std::vector<std::string>& args);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // The process; -1 when it could not be started.
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_home;
};

// A point of the screen.
struct Probe {
    int x, y;
};

// Five probe points of a window of this size centred on the screen: its
// centre and near each corner.
std::vector<Probe> CentredProbes(Display* display, int width, int height);

// The root window's pixel at a point (0 when it cannot be read).
unsigned long ScreenPixel(Display* display, int x, int y);
std::vector<unsigned long> ScreenPixels(Display* display, const std::vector<Probe>& probes);

struct StartTimes {
    double first_ms = -1;  // to the first probe changed
    double full_ms = -1;   // to every probe changed and steady; -1: never
};

// Watches the probes, from `start_ms`, until every one has changed from
// `before` and stayed so for a tenth of a second (the show animation is
// then over), for at most 20 s or until the program is gone.
StartTimes WatchStart(Display* display, const StartedProgram& program, const std::vector<Probe>& probes,
                      const std::vector<unsigned long>& before, double start_ms);

// The sum of one field ("Rss:", "Private_Dirty:") of a process's
// smaps_rollup in KiB, and its private memory (clean and dirty).
long SmapsKib(pid_t pid, const char* field);
long PrivateKib(pid_t pid);

}  // namespace bench_support
