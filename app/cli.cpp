#include "app/cli.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "app/demo_engines.h"
#include "app/desktop_module.h"
#include "app/keyword_history.h"
#include "app/settings.h"
#include "app/skin_command.h"
#include "search/detail_address.h"
#include "search/engine_catalogue.h"
#include "search/engine_search.h"
#include "search/multi_search.h"
#include "search/result_output.h"
#include "search/row_identity.h"
#include "search/search_engine.h"
#include "search/value_order.h"
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
    "  --engine-root N=URL   site root of engine N (1-3 or a definition's file\n"
    "                        name), e.g. http://host\n"
    "  --player-root N=URL   site root of player page N (1-2)\n"
    "  --site URL            the product's web site\n";

constexpr std::string_view kUsage =
    "Usage: seed-searcher [--no-history] [SITE OPTIONS]\n"
    "       seed-searcher COMMAND [OPTIONS] ...\n"
    "\n"
    "A desktop search tool for torrent and ED2K links. With no command the\n"
    "program opens its window.\n"
    "\n"
    "Commands:\n"
    "  search       search one engine or several and print the result rows\n"
    "  resolve      print the download address on an engine 2 detail page\n"
    "  skin         inspect, pack and unpack skin packages\n"
    "  demo-server  run the built-in demo engines in the foreground\n"
    "  engines      list, check and try engine definitions\n"
    "\n"
    "Run 'seed-searcher COMMAND --help' for a command's options.\n"
    "  --no-history  the window neither reads nor remembers searched keywords\n"
    "                (also \"history = off\" in sites.conf)\n"
    "  --help        show this help\n"
    "  --version     show the version\n";

constexpr std::string_view kSearchUsage =
    "Usage: seed-searcher search [--engine N|LIST|all] [--page P] [--json] [--dedup]\n"
    "                            [--sort COLUMN[:desc]] [SITE OPTIONS] KEYWORD\n"
    "\n"
    "Runs one search exactly as the search button does and prints one line per\n"
    "result row, cells in column order separated by TAB. Inside a cell \\, TAB,\n"
    "LF and CR are written \\\\, \\t, \\n and \\r; every other control byte (and\n"
    "DEL, and the UTF-8 bytes of C1 controls) as \\xHH, so that no site can\n"
    "send escape sequences to the terminal.\n"
    "  --engine N   the engine by number or by its definition's file name\n"
    "               (default 1; 'seed-searcher engines' lists them)\n"
    "  --engine LIST, --engine all\n"
    "               search several engines at once (LIST is engines joined by\n"
    "               commas, e.g. 1,3; all is every enabled engine); each row\n"
    "               starts with its engine's number, rows come engine by engine,\n"
    "               and stderr gets one line per engine saying how it went\n"
    "  --page P     page number sent to the engine (default 1; 0 and negative\n"
    "               numbers are sent as they are)\n"
    "  --json       print {\"engine\":N,\"page\":P,\"columns\":[...],\"rows\":[[...],...],\n"
    "               \"error\":null} or, when the site failed, \"error\":{\"kind\":K,\"detail\":D};\n"
    "               with several engines {\"page\":P,\"engines\":[{\"engine\":N,\"columns\":[...],\n"
    "               \"rows\":R,\"seconds\":S,\"error\":E},...],\"rows\":[{\"engine\":N,\"cells\":[...]},...]}\n"
    "  --dedup      print one row per download: rows with the same BitTorrent\n"
    "               info-hash or ED2K hash are printed once, the first in engine\n"
    "               order; JSON rows then list the other engines in \"also_on\"\n"
    "  --sort COLUMN[:desc]\n"
    "               order the rows by a column (its header, or its number from 1)\n"
    "               by value: sizes by their unit, dates, numbers, speed words;\n"
    "               cells that are none of these come last\n"
    "  --           end of options (for a keyword starting with -)\n"
    "\n"
    "Exit status: 0 when the search ran (rows found or none), 2 for a usage\n"
    "error, 3 when the site failed (one line on stderr names the engine and\n"
    "the failure kind: refused, timed-out, too-large, ...), 1 otherwise. With\n"
    "several engines: 0 when at least one answered, 3 when all of them failed.\n";

constexpr std::string_view kResolveUsage =
    "Usage: seed-searcher resolve [SITE OPTIONS] DETAIL_URL\n"
    "\n"
    "Fetches an engine 2 detail page (the last column of an engine 2 row) and\n"
    "prints the download address it holds, or an empty line when it has none.\n"
    "Exit status: 0 when the page was read, 2 for a usage error, 3 when the\n"
    "page could not be fetched (the reason goes to stderr), 1 otherwise.\n";

constexpr std::string_view kEnginesUsage =
    "Usage: seed-searcher engines\n"
    "       seed-searcher engines check FILE\n"
    "       seed-searcher engines test FILE KEYWORD [--page P] [--json] [SITE OPTIONS]\n"
    "\n"
    "Engines are NAME.engine definition files: the built-in ones in the data\n"
    "folder's res/engines/, then the user's in ~/.config/seed-searcher/engines/\n"
    "(a user file with a built-in's name replaces it).\n"
    "  engines        list the engines (number, file name, name, where it came\n"
    "                 from) and every file that was skipped, with the reason\n"
    "  check FILE     check one definition: exit 0 when it loads, 1 otherwise\n"
    "  test FILE KEYWORD\n"
    "                 search with one definition and print the rows as 'search'\n"
    "                 does (exit status as 'search'; 1 when the file does not load)\n";

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
    // the demo engines when something falls back to them. With `engines`,
    // only their roots matter: the demo engines start only when one of them
    // is a built-in engine whose root is unset.
    bool Resolve(const PartialSettings& options,
                 const std::vector<const search::SearchEngine*>* engines = nullptr) {
        PartialSettings file;
        std::vector<std::string> problems;
        ReadSettingsFile(SettingsFilePath(), file, problems);
        for (const std::string& problem : problems) {
            Print(stderr, "seed-searcher: " + problem + "\n");
        }
        PartialSettings merged = options;
        merged.FillFrom(file);
        m_history = merged.history.value_or(true);
        if (engines != nullptr &&
            std::none_of(engines->begin(), engines->end(), [&](const search::SearchEngine* engine) {
                const int slot = BuiltInSlot(engine->file_name);
                return slot > 0 && !merged.named_roots.contains(engine->file_name) &&
                       !merged.engine_roots[static_cast<std::size_t>(slot - 1)].has_value();
            })) {
            m_sites = merged.With(SiteSettings{});
            return true;
        }
        std::string error;
        if (!ResolveSites(merged, m_demo, m_sites, &error)) {
            Print(stderr, "seed-searcher: demo engines: " + error + "\n");
            return false;
        }
        return true;
    }
    const SiteSettings& Get() const { return m_sites; }
    // Whether keywords are remembered: on unless the settings turn it off.
    bool History() const { return m_history; }

private:
    DemoEngines m_demo;
    SiteSettings m_sites;
    bool m_history = true;
};

struct SortSpec {
    std::string column;  // GBK header, or a number from 1
    search::SortOrder order = search::SortOrder::Ascending;
};

struct SearchOptions {
    std::string_view engines = "1";  // as given to --engine
    bool several = false;            // --engine all or a list: the merged output
    int page = 1;
    bool json = false;
    bool dedup = false;
    std::optional<SortSpec> sort;
    PartialSettings sites;
    std::optional<std::string_view> keyword;
};

// The program's engines: the built-in definitions, then the user's. With
// `report`, every file that failed to load costs one line on stderr.
search::EngineCatalogue LoadEngines(bool report) {
    search::EngineCatalogue catalogue =
        search::LoadEngineCatalogue({search::BuiltInEngineFolder(), search::UserEngineFolder()});
    if (report) {
        for (const search::SkippedDefinition& skipped : catalogue.skipped) {
            Print(stderr, "seed-searcher: " + search::DescribeSkipped(skipped) + "\n");
        }
    }
    return catalogue;
}

// "all" (every enabled engine) or engines by number or file name joined by
// commas, in engine order without repeats; the problem in `error` when one
// is unknown or disabled.
std::optional<std::vector<const search::SearchEngine*>> SelectEngines(
    const search::EngineCatalogue& catalogue, std::string_view text, std::string& error) {
    std::vector<const search::SearchEngine*> engines;
    if (text == "all") {
        engines = catalogue.Enabled();
        if (engines.empty()) error = "no engine is enabled";
        return engines.empty() ? std::nullopt : std::optional(engines);
    }
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        const search::SearchEngine* engine = catalogue.Find(name);
        if (engine == nullptr) {
            error = "--engine: no engine " + std::string(name) + " (see 'seed-searcher engines')";
            return std::nullopt;
        }
        if (!engine->enabled) {
            error = "--engine: engine " + std::string(name) + " is disabled";
            return std::nullopt;
        }
        engines.push_back(engine);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    std::sort(engines.begin(), engines.end(),
              [](const auto* a, const auto* b) { return a->number < b->number; });
    engines.erase(std::unique(engines.begin(), engines.end()), engines.end());
    return engines;
}

std::optional<SortSpec> ParseSortSpec(std::string_view text) {
    SortSpec spec;
    for (const auto& [suffix, order] : {std::pair{std::string_view(":desc"), search::SortOrder::Descending},
                                        std::pair{std::string_view(":asc"), search::SortOrder::Ascending}}) {
        if (text.ends_with(suffix)) {
            text.remove_suffix(suffix.size());
            spec.order = order;
            break;
        }
    }
    if (text.empty()) return std::nullopt;
    spec.column = services::Utf8ToGbk(text);
    return spec;
}

// The index of the sort column among an engine's columns: by number from 1,
// otherwise by header.
std::optional<std::size_t> SortColumnOf(const SortSpec& spec, const search::ColumnMap& columns) {
    if (const std::optional<int> number = ParseInt(spec.column)) {
        if (*number >= 1 && static_cast<std::size_t>(*number) <= columns.size()) {
            return static_cast<std::size_t>(*number - 1);
        }
        return std::nullopt;
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].caption == spec.column) return c;
    }
    return std::nullopt;
}

// One row to print: which engine's outcome and which of its rows.
struct ListedRow {
    std::size_t outcome = 0;
    std::size_t row = 0;
    std::vector<int> also_on;
};

// Rows in engine order, each engine's in page order; with `dedup` only the
// first row of each download, noting the other engines that listed it.
std::vector<ListedRow> ListRows(const std::vector<search::EngineOutcome>& outcomes, bool dedup) {
    std::vector<ListedRow> rows;
    std::unordered_map<std::string, std::size_t> first_of;
    for (std::size_t o = 0; o < outcomes.size(); ++o) {
        for (std::size_t r = 0; r < outcomes[o].rows.size(); ++r) {
            if (dedup) {
                if (std::optional<std::string> identity = search::DownloadIdentity(outcomes[o].rows[r])) {
                    const auto [at, inserted] = first_of.emplace(std::move(*identity), rows.size());
                    if (!inserted) {
                        ListedRow& first = rows[at->second];
                        const int engine = outcomes[o].engine->number;
                        if (engine != outcomes[first.outcome].engine->number &&
                            std::find(first.also_on.begin(), first.also_on.end(), engine) ==
                                first.also_on.end()) {
                            first.also_on.push_back(engine);
                        }
                        continue;
                    }
                }
            }
            rows.push_back({o, r, {}});
        }
    }
    return rows;
}

void ReportOutcome(const search::EngineOutcome& outcome) {
    const std::string prefix = "seed-searcher: engine " + std::to_string(outcome.engine->number) + ": ";
    if (outcome.page.Failed()) {
        Print(stderr, prefix + "failed: " + DescribeFailure(outcome.page.failure, outcome.page.detail) + "\n");
        return;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", outcome.seconds);
    const std::size_t count = outcome.rows.size();
    Print(stderr, prefix + std::to_string(count) + (count == 1 ? " row in " : " rows in ") + seconds + " s\n");
}

// The single-engine search as the window runs it: rows are printed as they
// are found, so a page of many large rows never has to be held twice.
int StreamOneEngine(const SearchOptions& options, const search::SearchEngine& engine,
                    std::string_view keyword) {
    search::PageResult page = search::FetchEnginePageResult(engine, keyword, options.page);
    if (page.Failed()) {
        Print(stderr, "seed-searcher: engine " + std::to_string(engine.number) + ": " +
                          DescribeFailure(page.failure, page.detail) + "\n");
    }
    search::ResultWriter writer(options.json ? search::OutputFormat::Json : search::OutputFormat::Tsv,
                                [](std::string_view text) { Print(stdout, text); });
    writer.Begin(engine.number, options.page, engine.columns);
    if (!page.Failed()) {
        search::ExtractResults(engine, std::move(page.text),
                               [&writer](std::vector<std::string>&& cells) { writer.Row(cells); });
    }
    writer.End(page.failure, page.detail);
    if (std::fflush(stdout) != 0) return kFailure;
    return page.Failed() ? kSiteFailed : 0;
}

// Every other search: all engines at once, then the rows folded, ordered
// and printed.
int SearchAndList(const SearchOptions& options, const std::vector<const search::SearchEngine*>& engines,
                  const std::vector<std::optional<std::size_t>>& sort_columns, std::string_view keyword) {
    const std::vector<search::EngineOutcome> outcomes =
        search::SearchEngines(engines, keyword, options.page);
    bool any_answered = false;
    for (const search::EngineOutcome& outcome : outcomes) {
        any_answered = any_answered || !outcome.page.Failed();
        if (options.several) {
            ReportOutcome(outcome);
        } else if (outcome.page.Failed()) {
            Print(stderr, "seed-searcher: engine " + std::to_string(outcome.engine->number) + ": " +
                              DescribeFailure(outcome.page.failure, outcome.page.detail) + "\n");
        }
    }

    std::vector<ListedRow> rows = ListRows(outcomes, options.dedup);
    if (options.sort) {
        auto cell = [&](std::size_t i) -> std::string_view {
            const ListedRow& listed = rows[i];
            const std::optional<std::size_t> column = sort_columns[listed.outcome];
            const std::vector<std::string>& cells = outcomes[listed.outcome].rows[listed.row];
            if (!column || *column >= cells.size()) return {};
            return cells[*column];
        };
        std::vector<ListedRow> sorted;
        sorted.reserve(rows.size());
        for (const std::size_t i : search::SortRowIndexes(rows.size(), cell, options.sort->order)) {
            sorted.push_back(std::move(rows[i]));
        }
        rows = std::move(sorted);
    }

    const search::OutputFormat format = options.json ? search::OutputFormat::Json : search::OutputFormat::Tsv;
    const search::OutputSink to_stdout = [](std::string_view text) { Print(stdout, text); };
    if (options.several) {
        std::vector<search::MergedResultWriter::EngineSummary> summaries;
        for (const search::EngineOutcome& outcome : outcomes) {
            summaries.push_back({.engine = outcome.engine->number,
                                 .columns = &outcome.engine->columns,
                                 .rows = outcome.rows.size(),
                                 .seconds = outcome.seconds,
                                 .failure = outcome.page.failure,
                                 .detail = outcome.page.detail});
        }
        search::MergedResultWriter writer(format, to_stdout);
        writer.Begin(options.page, summaries);
        for (const ListedRow& listed : rows) {
            const search::EngineOutcome& outcome = outcomes[listed.outcome];
            writer.Row(outcome.engine->number, outcome.rows[listed.row],
                       options.dedup ? &listed.also_on : nullptr);
        }
        writer.End();
    } else {
        const search::EngineOutcome& outcome = outcomes.front();
        search::ResultWriter writer(format, to_stdout);
        writer.Begin(outcome.engine->number, options.page, outcome.engine->columns);
        for (const ListedRow& listed : rows) writer.Row(outcome.rows[listed.row]);
        writer.End(outcome.page.failure, outcome.page.detail);
    }
    if (std::fflush(stdout) != 0) return kFailure;
    return any_answered ? 0 : kSiteFailed;
}

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
            if (arg == "--dedup") {
                options.dedup = true;
                continue;
            }
            if (arg == "--engine" || arg == "--page" || arg == "--sort") {
                if (i + 1 >= args.size()) {
                    return UsageError(std::string(arg) + " needs a value", kSearchUsage);
                }
                const std::string_view value = args[++i];
                if (arg == "--engine") {
                    if (value.empty()) return UsageError("--engine needs a value", kSearchUsage);
                    options.engines = value;
                    options.several = value == "all" || value.find(',') != std::string_view::npos;
                } else if (arg == "--page") {
                    const std::optional<int> page = ParseInt(value);
                    if (!page) return UsageError("--page takes a whole number", kSearchUsage);
                    options.page = *page;
                } else {
                    options.sort = ParseSortSpec(value);
                    if (!options.sort) return UsageError("--sort takes COLUMN or COLUMN:desc", kSearchUsage);
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

    const search::EngineCatalogue catalogue = LoadEngines(/*report=*/true);
    std::string error;
    const std::optional<std::vector<const search::SearchEngine*>> chosen =
        SelectEngines(catalogue, options.engines, error);
    if (!chosen) return UsageError(error, kSearchUsage);
    std::vector<std::optional<std::size_t>> sort_columns;
    if (options.sort) {
        bool found = false;
        for (const search::SearchEngine* engine : *chosen) {
            sort_columns.push_back(SortColumnOf(*options.sort, engine->columns));
            found = found || sort_columns.back().has_value();
        }
        if (!found) {
            return UsageError("--sort: no such column: " + services::GbkToUtf8(options.sort->column),
                              kSearchUsage);
        }
    }

    Sites sites;
    if (!sites.Resolve(options.sites, &*chosen)) return kFailure;
    std::vector<search::SearchEngine> engines;
    for (const search::SearchEngine* engine : *chosen) {
        engines.push_back(*engine);
        engines.back().site_root = EngineRoot(engine->file_name, engine->site_root, sites.Get());
    }
    const std::string keyword = services::Utf8ToGbk(*options.keyword);
    if (!options.several && !options.sort && !options.dedup) {
        return StreamOneEngine(options, engines.front(), keyword);
    }
    std::vector<const search::SearchEngine*> selected;
    for (const search::SearchEngine& engine : engines) selected.push_back(&engine);
    return SearchAndList(options, selected, sort_columns, keyword);
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

// One engine's line of the listing, fields TAB-separated and escaped.
std::string EngineLine(const search::SearchEngine& engine, std::string_view built_in_folder) {
    std::string line = std::to_string(engine.number) + "\t";
    search::AppendTsvEscaped(line, engine.file_name);
    line += '\t';
    search::AppendTsvEscaped(line, services::GbkToUtf8(engine.display_name));
    const bool built_in = !built_in_folder.empty() && engine.path.starts_with(std::string(built_in_folder) + "/");
    line += built_in ? "\tbuilt-in" : "\tuser";
    if (!engine.enabled) line += ", disabled";
    line += '\t';
    search::AppendTsvEscaped(line, engine.path);
    return line + "\n";
}

// Loads one definition for check and test; reports why it does not load.
std::optional<search::SearchEngine> LoadOneDefinition(std::string_view path) {
    const std::string file(path);
    if (search::EngineFileName(file).empty()) {
        Print(stderr, "seed-searcher: " + file + ": not a NAME.engine file\n");
        return std::nullopt;
    }
    search::DefinitionProblem problem;
    std::optional<search::SearchEngine> engine = search::LoadEngineDefinition(file, problem);
    if (!engine) {
        Print(stderr, "seed-searcher: " + search::DescribeSkipped({file, problem}) + "\n");
        return std::nullopt;
    }
    engine->path = file;
    return engine;
}

int TestDefinition(const std::vector<std::string_view>& args) {
    SearchOptions options;
    std::optional<std::string_view> file;
    bool options_done = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!options_done && arg.size() > 1 && arg.front() == '-') {
            if (arg == "--") {
                options_done = true;
            } else if (arg == "--json") {
                options.json = true;
            } else if (arg == "--page") {
                const std::optional<int> page = i + 1 < args.size() ? ParseInt(args[++i]) : std::nullopt;
                if (!page) return UsageError("--page takes a whole number", kEnginesUsage);
                options.page = *page;
            } else if (const auto status = TakeSiteOption(args, i, options.sites, kEnginesUsage)) {
                return *status;
            }
            continue;
        }
        if (!file) {
            file = arg;
        } else if (!options.keyword) {
            options.keyword = arg;
        } else {
            return UsageError("engines test takes one file and one keyword", kEnginesUsage);
        }
    }
    if (!file || !options.keyword) return UsageError("engines test needs FILE and KEYWORD", kEnginesUsage);
    std::optional<search::SearchEngine> engine = LoadOneDefinition(*file);
    if (!engine) return kFailure;
    // Numbered as the program numbers it, when it is one of its engines.
    const search::EngineCatalogue catalogue = LoadEngines(/*report=*/false);
    const search::SearchEngine* listed = catalogue.Find(engine->file_name);
    engine->number = listed != nullptr ? listed->number : 0;
    Sites sites;
    const std::vector<const search::SearchEngine*> tested{&*engine};
    if (!sites.Resolve(options.sites, &tested)) return kFailure;
    engine->site_root = EngineRoot(engine->file_name, engine->site_root, sites.Get());
    return StreamOneEngine(options, *engine, services::Utf8ToGbk(*options.keyword));
}

int RunEngines(const std::vector<std::string_view>& args) {
    for (std::size_t i = 1; i < args.size() && i < 2; ++i) {
        if (const auto status = AnswerHelpOrVersion(args[i], kEnginesUsage, kRootOptionsHelp)) return *status;
    }
    if (args.size() == 1) {
        const search::EngineCatalogue catalogue = LoadEngines(/*report=*/false);
        const std::string built_in = search::BuiltInEngineFolder();
        std::string out;
        for (const search::SearchEngine& engine : catalogue.engines) out += EngineLine(engine, built_in);
        for (const search::SkippedDefinition& skipped : catalogue.skipped) {
            out += "skipped\t";
            search::AppendTsvEscaped(out, search::DescribeSkipped(skipped));
            out += '\n';
        }
        Print(stdout, out);
        return std::fflush(stdout) == 0 ? 0 : kFailure;
    }
    if (args[1] == "check") {
        if (args.size() != 3) return UsageError("engines check takes one file", kEnginesUsage);
        const std::optional<search::SearchEngine> engine = LoadOneDefinition(args[2]);
        if (!engine) return kFailure;
        std::string line(args[2]);
        line += ": ok: " + services::GbkToUtf8(engine->display_name) + ", " +
                std::to_string(engine->columns.size()) + " columns\n";
        Print(stdout, line);
        return 0;
    }
    if (args[1] == "test") return TestDefinition(args);
    return UsageError("unknown engines command " + std::string(args[1]), kEnginesUsage);
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
    DesktopStart start;
    start.sites = sites.Get();
    start.read_engines = [] { return LoadEngines(/*report=*/true); };
    start.history = sites.History();
    return RunDesktop(start);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty()) {
        const std::string_view command = args.front();
        if (command == "search") return RunSearch(args);
        if (command == "resolve") return RunResolve(args);
        if (command == "demo-server") return RunDemoServer(args);
        if (command == "engines") return RunEngines(args);
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
        if (args[i] == "--no-history") {
            site_options.history = false;
            continue;
        }
        if (const auto status =
                TakeSiteOption(args, i, site_options, kUsage, "unknown command or option ")) {
            return *status;
        }
    }
    return StartDesktop(site_options);
}

}  // namespace app
