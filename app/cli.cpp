#include "app/cli.h"

#include <glib.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>

#include "app/demo_engines.h"
#include "app/settings.h"
#include "app/skin_command.h"
#include "app/start_up.h"
#include "platform/backend.h"
#include "search/detail_address.h"
#include "search/engine_search.h"
#include "search/result_output.h"
#include "search/search_engine.h"
#include "services/encoding.h"

namespace app {
namespace {

// Exit statuses: 0 when the search ran (with or without rows), 1 for
// other errors, 2 for usage errors, 3 when the site failed.
constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kSiteFailed = 3;

constexpr std::string_view kVersion = "seed-searcher 0.1.0\n";

constexpr std::string_view kRootOptionsHelp =
    "Site options (override ~/.config/seed-searcher/sites.conf; whatever neither\n"
    "sets is served by the built-in demo engines):\n"
    "  --engine-root N=URL   site root of engine N (1-3), e.g. http://host\n"
    "  --player-root N=URL   site root of player page N (1-2)\n"
    "  --site URL            the product's web site\n";

constexpr std::string_view kUsage =
    "Usage: seed-searcher [SITE OPTIONS]\n"
    "       seed-searcher COMMAND [OPTIONS] ...\n"
    "\n"
    "A desktop search tool for torrent and ED2K links. With no command the\n"
    "program opens its window.\n"
    "\n"
    "Commands:\n"
    "  search       search one engine and print the result rows\n"
    "  resolve      print the download address on an engine 2 detail page\n"
    "  skin         inspect, pack and unpack skin packages\n"
    "  demo-server  run the built-in demo engines in the foreground\n"
    "\n"
    "Run 'seed-searcher COMMAND --help' for a command's options.\n"
    "  --help       show this help\n"
    "  --version    show the version\n";

constexpr std::string_view kSearchUsage =
    "Usage: seed-searcher search [--engine N] [--page P] [--json] [SITE OPTIONS] KEYWORD\n"
    "\n"
    "Runs one search exactly as the search button does and prints one line per\n"
    "result row, cells in column order separated by TAB. Inside a cell \\, TAB,\n"
    "LF and CR are written \\\\, \\t, \\n and \\r; every other control byte (and\n"
    "DEL, and the UTF-8 bytes of C1 controls) as \\xHH, so that no site can\n"
    "send escape sequences to the terminal.\n"
    "  --engine N   engine 1, 2 or 3 (default 1)\n"
    "  --page P     page number sent to the engine (default 1; 0 and negative\n"
    "               numbers are sent as they are)\n"
    "  --json       print {\"engine\":N,\"page\":P,\"columns\":[...],\"rows\":[[...],...],\n"
    "               \"error\":null} or, when the site failed, \"error\":{\"kind\":K,\"detail\":D}\n"
    "  --           end of options (for a keyword starting with -)\n"
    "\n"
    "Exit status: 0 when the search ran (rows found or none), 2 for a usage\n"
    "error, 3 when the site failed (one line on stderr names the engine and\n"
    "the failure kind: refused, timed-out, too-large, ...), 1 otherwise.\n";

constexpr std::string_view kResolveUsage =
    "Usage: seed-searcher resolve [SITE OPTIONS] DETAIL_URL\n"
    "\n"
    "Fetches an engine 2 detail page (the last column of an engine 2 row) and\n"
    "prints the download address it holds, or an empty line when it has none.\n"
    "Exit status: 0 when the page was read, 2 for a usage error, 3 when the\n"
    "page could not be fetched (the reason goes to stderr), 1 otherwise.\n";

constexpr std::string_view kDemoUsage =
    "Usage: seed-searcher demo-server [--port P]\n"
    "\n"
    "Serves the built-in demo engines on 127.0.0.1 until interrupted, and prints\n"
    "their addresses as sites.conf lines.\n"
    "  --port P     port to listen on (default: any free port)\n";

void Print(std::FILE* out, std::string_view text) {
    // An empty view may have no data at all, which fwrite must not be given.
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

// "refused (连接被拒绝): <the transport's words>", UTF-8, for one stderr line.
std::string DescribeFailure(services::HttpFailure failure, std::string_view detail) {
    std::string text(services::HttpFailureName(failure));
    text += " (" + services::GbkToUtf8(services::HttpFailureText(failure)) + ")";
    if (!detail.empty()) {
        text += ": ";
        // The detail quotes addresses from the site; keep it on one line.
        for (const char c : detail) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte < 0x20 || byte == 0x7F ? '?' : c;
        }
    }
    return text;
}

int UsageError(std::string_view message, std::string_view usage) {
    Print(stderr, "seed-searcher: ");
    Print(stderr, message);
    Print(stderr, "\n");
    Print(stderr, usage);
    return kUsageError;
}

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

bool IsVersion(std::string_view arg) {
    return arg == "--version";
}

// Every command answers --help and --version the same way: the exit status
// when `arg` is one of them.
std::optional<int> AnswerHelpOrVersion(std::string_view arg, std::string_view usage,
                                       std::string_view more_help = {}) {
    if (IsHelp(arg)) {
        Print(stdout, usage);
        Print(stdout, more_help);
        return 0;
    }
    if (IsVersion(arg)) {
        Print(stdout, kVersion);
        return 0;
    }
    return std::nullopt;
}

// Takes the site option at args[index], moving `index` onto its last
// argument; any other option is a usage error. Returns the exit status when
// the command must end.
std::optional<int> TakeSiteOption(const std::vector<std::string_view>& args, std::size_t& index,
                                  PartialSettings& sites, std::string_view usage,
                                  std::string_view unknown = "unknown option ") {
    std::size_t used = 0;
    std::string error;
    switch (ParseRootOption(args, index, sites, used, error)) {
        case RootOption::Consumed:
            index += used - 1;
            return std::nullopt;
        case RootOption::Invalid:
            return UsageError(error, usage);
        case RootOption::NotRootOption:
            break;
    }
    return UsageError(std::string(unknown) + std::string(args[index]), usage);
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Everything the commands share: site options from the command line, the
// settings file behind them, the demo engines behind both.
class Sites {
public:
    // Reads the settings file (reporting its problems on stderr) and starts
    // the demo engines when something falls back to them. With `engine`,
    // only that engine's root matters: the demo engines start only when it
    // is unset.
    bool Resolve(const PartialSettings& options, std::optional<int> engine = std::nullopt) {
        PartialSettings file;
        std::vector<std::string> problems;
        ReadSettingsFile(SettingsFilePath(), file, problems);
        for (const std::string& problem : problems) {
            Print(stderr, "seed-searcher: " + problem + "\n");
        }
        PartialSettings merged = options;
        merged.FillFrom(file);
        if (engine) {
            const std::optional<std::string>& root =
                merged.engine_roots[static_cast<std::size_t>(*engine - 1)];
            if (root) {
                m_sites = merged.With(SiteSettings{});
                return true;
            }
        }
        std::string error;
        if (!ResolveSites(merged, m_demo, m_sites, &error)) {
            Print(stderr, "seed-searcher: demo engines: " + error + "\n");
            return false;
        }
        return true;
    }
    const SiteSettings& Get() const { return m_sites; }

private:
    DemoEngines m_demo;
    SiteSettings m_sites;
};

struct SearchOptions {
    int engine = 1;
    int page = 1;
    bool json = false;
    PartialSettings sites;
    std::optional<std::string_view> keyword;
};

int RunSearch(const std::vector<std::string_view>& args) {
    SearchOptions options;
    bool options_done = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!options_done && arg.size() > 1 && arg.front() == '-') {
            if (const auto status = AnswerHelpOrVersion(arg, kSearchUsage, kRootOptionsHelp)) {
                return *status;
            }
            if (arg == "--") {
                options_done = true;
                continue;
            }
            if (arg == "--json") {
                options.json = true;
                continue;
            }
            if (arg == "--engine" || arg == "--page") {
                if (i + 1 >= args.size()) {
                    return UsageError(std::string(arg) + " needs a value", kSearchUsage);
                }
                const std::optional<int> value = ParseInt(args[++i]);
                if (arg == "--engine") {
                    if (!value || *value < 1 || *value > search::kEngineCount) {
                        return UsageError("--engine takes 1, 2 or 3", kSearchUsage);
                    }
                    options.engine = *value;
                } else {
                    if (!value) return UsageError("--page takes a whole number", kSearchUsage);
                    options.page = *value;
                }
                continue;
            }
            if (const auto status = TakeSiteOption(args, i, options.sites, kSearchUsage)) return *status;
            continue;
        }
        if (options.keyword) return UsageError("only one keyword is taken", kSearchUsage);
        options.keyword = arg;
    }
    if (!options.keyword) return UsageError("no keyword given", kSearchUsage);

    Sites sites;
    if (!sites.Resolve(options.sites, options.engine)) return kFailure;
    const search::SearchEngine engine = search::MakeSearchEngine(
        options.engine, sites.Get().engine_roots[static_cast<std::size_t>(options.engine - 1)]);
    const std::string keyword = services::Utf8ToGbk(*options.keyword);

    search::PageResult page =
        search::FetchEnginePageResult(engine, keyword, options.page);
    if (page.Failed()) {
        Print(stderr, "seed-searcher: engine " + std::to_string(options.engine) + ": " +
                          DescribeFailure(page.failure, page.detail) + "\n");
    }

    // Rows go out as they are found: a page of many large rows never has to
    // be held twice.
    search::ResultWriter writer(options.json ? search::OutputFormat::Json : search::OutputFormat::Tsv,
                                [](std::string_view text) { Print(stdout, text); });
    writer.Begin(options.engine, options.page, engine.columns);
    if (!page.Failed()) {
        search::ExtractResults(engine, std::move(page.text),
                               [&writer](std::vector<std::string>&& cells) { writer.Row(cells); });
    }
    writer.End(page.failure, page.detail);
    if (std::fflush(stdout) != 0) return kFailure;
    return page.Failed() ? kSiteFailed : 0;
}

int RunResolve(const std::vector<std::string_view>& args) {
    PartialSettings site_options;
    std::optional<std::string_view> url;
    bool options_done = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!options_done && arg.size() > 1 && arg.front() == '-') {
            if (const auto status = AnswerHelpOrVersion(arg, kResolveUsage, kRootOptionsHelp)) {
                return *status;
            }
            if (arg == "--") {
                options_done = true;
                continue;
            }
            if (const auto status = TakeSiteOption(args, i, site_options, kResolveUsage)) return *status;
            continue;
        }
        if (url) return UsageError("only one address is taken", kResolveUsage);
        url = arg;
    }
    if (!url) return UsageError("no detail page address given", kResolveUsage);
    // The detail address names its own host: the site options are accepted
    // for symmetry with the other commands but change nothing here, and the
    // demo engines are not started for a lookup that cannot reach them.
    const search::PageResult address =
        search::ResolveDetailAddressResult(services::Utf8ToGbk(*url));
    if (address.Failed()) {
        Print(stderr, "seed-searcher: engine 2 detail page: " +
                          DescribeFailure(address.failure, address.detail) + "\n");
        return kSiteFailed;
    }
    std::string line;
    search::ForEachUtf8Slice(address.text, [&line](const std::string& utf8) {
        search::AppendTsvEscaped(line, utf8);
    });
    Print(stdout, line + "\n");
    return std::fflush(stdout) == 0 ? 0 : kFailure;
}

int RunDemoServer(const std::vector<std::string_view>& args) {
    int port = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (const auto status = AnswerHelpOrVersion(arg, kDemoUsage)) return *status;
        if (arg == "--port") {
            if (i + 1 >= args.size()) return UsageError("--port needs a value", kDemoUsage);
            const std::optional<int> value = ParseInt(args[++i]);
            if (!value || *value < 0 || *value > 65535) {
                return UsageError("--port takes a number from 0 to 65535", kDemoUsage);
            }
            port = *value;
            continue;
        }
        return UsageError("unknown argument " + std::string(arg), kDemoUsage);
    }

    // Blocked before the server thread starts, so that it inherits the mask
    // and the signals arrive only at sigwait below.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    DemoEngines demo;
    std::string error;
    if (!demo.Start(port, &error)) {
        Print(stderr, "seed-searcher: demo-server: " + error + "\n");
        return kFailure;
    }
    const SiteSettings sites = demo.Sites();
    std::string out;
    for (int n = 1; n <= kSettingsEngineCount; ++n) {
        out += "engine" + std::to_string(n) + " = " +
               sites.engine_roots[static_cast<std::size_t>(n - 1)] + "\n";
    }
    for (int n = 1; n <= kPlayerCount; ++n) {
        out += "player" + std::to_string(n) + " = " +
               sites.player_roots[static_cast<std::size_t>(n - 1)] + "\n";
    }
    out += "site = " + sites.site + "\n";
    Print(stdout, out);
    std::fflush(stdout);

    int received = 0;
    sigwait(&stop_signals, &received);
    demo.Stop();
    return 0;
}

// With no command the desktop program starts; this is its one entry point.
int StartDesktop(const PartialSettings& site_options) {
    // Lives until the window closes: the demo engines serve from it.
    Sites sites;
    if (!sites.Resolve(site_options)) return kFailure;
    App().sites = sites.Get();
    // Everything is drawn into cairo image surfaces: GDK's OpenGL probing at
    // display open would load the whole GL stack (a large share of the
    // start-up time and memory) for nothing. A user's own setting wins.
    g_setenv("GDK_GL", "disable", FALSE);
    plat::Initialise(plat::Backend::Gtk);
    if (plat::CurrentWindowSystem() == nullptr) return 1;
    if (!InitialiseModules()) {
        Print(stderr, "seed-searcher: the window class could not be registered\n");
        plat::Shutdown();
        return 1;
    }
    const int exit_code = StartApplication();
    plat::Shutdown();
    return exit_code;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty()) {
        const std::string_view command = args.front();
        if (command == "search") return RunSearch(args);
        if (command == "resolve") return RunResolve(args);
        if (command == "demo-server") return RunDemoServer(args);
        if (command == "skin") {
            if (args.size() == 2 && IsVersion(args[1])) {
                Print(stdout, kVersion);
                return 0;
            }
            return RunSkinCommand(argc - 1, argv + 1);
        }
        if (IsHelp(command)) {
            Print(stdout, kUsage);
            Print(stdout, "\n");
            Print(stdout, kRootOptionsHelp);
            return 0;
        }
        if (IsVersion(command)) {
            Print(stdout, kVersion);
            return 0;
        }
    }

    PartialSettings site_options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (const auto status =
                TakeSiteOption(args, i, site_options, kUsage, "unknown command or option ")) {
            return *status;
        }
    }
    return StartDesktop(site_options);
}

}  // namespace app
