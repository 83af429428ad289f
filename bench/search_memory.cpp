// Peak memory of `seed-searcher search` on the largest pages a site may send
// (just under the 64 MiB body cap), measured with /usr/bin/time -v: the
// bound to hold is four times the page size. Each page is built to be the
// worst case of one conversion or output step: GBK bytes that are no
// character (3 bytes each once converted to UTF-8), the euro byte, a body
// declaring UTF-8 that is not, and control bytes that JSON writes as six.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

extern char** environ;

namespace {

constexpr std::size_t kPageBytes = (64u << 20) - 4096;

std::string ProgramPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
            "seed-searcher")
        .string();
}

std::string Engine2Row(const std::string& name) {
    return "<td><a href=\"h\" title=\"t\" target=\"_blank\">" + name +
           "</a></td><td class=\"files-size\">1 MB</td><td class=\"convert-date\">2020</td>"
           "<td class=\"action\"><a href=\"/d\" class=\"btn\" title=\"x\" target=\"_blank\">"
           "Detail</a></td>\n";
}

std::string Engine3Row(const std::string& name) {
    return "<tr class=\"a\" hash=\"h\">\n    <td>" + name +
           " \n    <small><a href=\"x\" target='_blank'>\n    <b>b</b>\n    </a></small>\n"
           "    </td>\n\n    <td width='110' align='right'>\n    <a href=\"x\" target='_blank' "
           "class=\"borderit\">\n    <img border=\"0\" src=\"x\"/>\n    </a>\n    </td>\n"
           "    <td width='70' align='right'>1 MB\n    \n    </td>\n    <td width='100' "
           "align='right'>7 \n    </td>\n    <td width='140' align='right'>\n        "
           "<span id='btns'>\n        <a href=\"ed2k://x\">ED2K</a>\n";
}

// Rows of `row` repeated up to the page size, after `head`.
std::string FillPage(const std::string& head, const std::string& row) {
    std::string page = head;
    page.reserve(kPageBytes);
    while (page.size() + row.size() <= kPageBytes) page += row;
    return page;
}

// Serves one page on a loopback port for the lifetime of the object.
class PageSite {
public:
    explicit PageSite(std::string page, std::string type) {
        m_server.Get(".*", [page = std::move(page), type = std::move(type)](
                               const httplib::Request&, httplib::Response& response) {
            response.set_content(page, type.c_str());
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) usleep(1000);
    }
    ~PageSite() {
        m_server.stop();
        m_thread.join();
    }
    std::string Root() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

// Runs the program under /usr/bin/time -v with its output discarded and
// returns the peak resident set size in KiB, or -1.
long PeakRssKib(const std::vector<std::string>& args) {
    int err[2];
    if (pipe(err) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    const std::string program = ProgramPath();
    std::vector<char*> argv{const_cast<char*>("/usr/bin/time"), const_cast<char*>("-v"),
                            const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, "/usr/bin/time", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    std::string report;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<std::size_t>(n));
    close(err[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string key = "Maximum resident set size (kbytes): ";
    const std::size_t at = report.find(key);
    return at == std::string::npos ? -1 : std::stol(report.substr(at + key.size()));
}

void Measure(benchmark::State& state, int engine, const std::string& page, const std::string& type,
             bool json) {
    PageSite site(page, type);
    std::vector<std::string> args = {"search", "--engine", std::to_string(engine),
                                     "--engine-root", std::to_string(engine) + "=" + site.Root()};
    if (json) args.push_back("--json");
    args.push_back("kw");
    long peak_kib = -1;
    for (auto _ : state) peak_kib = PeakRssKib(args);
    if (peak_kib < 0) {
        state.SkipWithError("no measurement (is /usr/bin/time installed?)");
        return;
    }
    const double page_mib = static_cast<double>(page.size()) / (1 << 20);
    state.counters["page_MiB"] = page_mib;
    state.counters["peak_rss_MiB"] = static_cast<double>(peak_kib) / 1024;
    state.counters["ratio"] = static_cast<double>(peak_kib) / 1024 / page_mib;
}

void BM_Engine3InvalidGbkNamesTsv(benchmark::State& state) {
    Measure(state, 3, FillPage("", Engine3Row(std::string(4096, '\xFF'))), "text/html", false);
}

void BM_Engine3EuroNamesTsv(benchmark::State& state) {
    Measure(state, 3, FillPage("", Engine3Row(std::string(4096, '\x80'))), "text/html", false);
}

void BM_Engine3OneHugeInvalidName(benchmark::State& state) {
    Measure(state, 3, Engine3Row(std::string(kPageBytes - 1024, '\xFF')), "text/html", false);
}

void BM_Engine3FalseUtf8Declaration(benchmark::State& state) {
    Measure(state, 3, FillPage("<meta charset=utf-8>", Engine3Row(std::string(4096, '\xFF'))),
            "text/html", false);
}

void BM_Engine2ControlNamesJson(benchmark::State& state) {
    Measure(state, 2, FillPage("", Engine2Row(std::string(4096, '\x01'))),
            "text/html; charset=utf-8", true);
}

void BM_Engine2OneHugeControlNameJson(benchmark::State& state) {
    Measure(state, 2, Engine2Row(std::string(kPageBytes - 1024, '\x01')),
            "text/html; charset=utf-8", true);
}

BENCHMARK(BM_Engine3InvalidGbkNamesTsv)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine3EuroNamesTsv)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine3OneHugeInvalidName)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine3FalseUtf8Declaration)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine2ControlNamesJson)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine2OneHugeControlNameJson)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
