#include "search/engine_definition.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>

#include "services/encoding.h"
#include "services/regex_engine.h"
#include "util/c_deleter.h"
#include "util/gbk_text.h"

namespace search {
namespace {

constexpr const char* kGroup = "Engine";

using KeyFilePtr = std::unique_ptr<GKeyFile, util::CDeleter<g_key_file_free>>;
using ErrorPtr = std::unique_ptr<GError, util::CDeleter<g_error_free>>;
using GTextPtr = std::unique_ptr<gchar, util::CDeleter<g_free>>;
using GListPtr = std::unique_ptr<gchar*, util::CDeleter<g_strfreev>>;

// GBK bytes of a tab caption: four Chinese characters or eight ASCII ones.
constexpr std::size_t kMaxCaptionBytes = 8;

// The keys a definition may hold; GKeyFile reports no line numbers, so the
// text is scanned for where each key stands.
constexpr std::string_view kKeys[] = {
    "name",         "caption",        "root",         "address",        "keyword-encoding",
    "page-decoding", "pattern",       "case-sensitive", "multi-line",   "quote-token",
    "columns",      "widths",         "groups",       "alignments",     "address-column",
    "detail-start", "detail-end",     "enabled",
};

std::string_view TrimSpace(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The line layout of a definition: where [Engine] and each of its keys
// stand, and the first line the format does not allow.
struct Layout {
    int group_line = 0;
    std::map<std::string, int, std::less<>> key_lines;  // the last line of each key
    std::optional<DefinitionProblem> problem;
};

Layout ScanLines(std::string_view text) {
    Layout layout;
    std::string group;
    int line_number = 0;
    std::size_t from = 0;
    while (from < text.size() && !layout.problem) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view line = TrimSpace(text.substr(from, end - from));
        from = end + 1;
        ++line_number;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                layout.problem = DefinitionProblem{line_number, "not a group, key or comment"};
                break;
            }
            group = std::string(line.substr(1, line.size() - 2));
            if (group != kGroup) {
                layout.problem = DefinitionProblem{line_number, "unknown group [" + group + "]"};
            } else if (layout.group_line == 0) {
                layout.group_line = line_number;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            layout.problem = DefinitionProblem{line_number, "not a group, key or comment"};
            break;
        }
        if (group.empty()) {
            layout.problem = DefinitionProblem{line_number, "a key before the [Engine] group"};
            break;
        }
        const std::string_view key = TrimSpace(line.substr(0, equals));
        if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys)) {
            layout.problem = DefinitionProblem{line_number, "unknown key \"" + std::string(key) + "\""};
            break;
        }
        layout.key_lines[std::string(key)] = line_number;
    }
    if (!layout.problem && layout.group_line == 0) {
        layout.problem = DefinitionProblem{0, "no [Engine] group"};
    }
    return layout;
}

// Reads the keys of the [Engine] group, the first failure kept with its line.
class Reader {
public:
    Reader(GKeyFile* file, const Layout& layout) : m_file(file), m_layout(layout) {}

    bool Has(const char* key) const { return m_layout.key_lines.contains(key); }
    int Line(const char* key) const {
        const auto found = m_layout.key_lines.find(key);
        return found == m_layout.key_lines.end() ? m_layout.group_line : found->second;
    }
    bool Failed() const { return m_problem.has_value(); }
    const DefinitionProblem& Problem() const { return *m_problem; }

    void Fail(const char* key, std::string reason) {
        if (!m_problem) m_problem = DefinitionProblem{Line(key), std::move(reason)};
    }

    // The value in GBK; nullopt (and a problem when `required`) when absent.
    std::optional<std::string> Text(const char* key, bool required) {
        if (!Has(key)) {
            if (required) Fail(key, std::string("missing key \"") + key + "\"");
            return std::nullopt;
        }
        GError* raw_error = nullptr;
        GTextPtr value(g_key_file_get_string(m_file, kGroup, key, &raw_error));
        if (raw_error != nullptr) {
            ErrorPtr error(raw_error);
            Fail(key, std::string(key) + ": " + error->message);
            return std::nullopt;
        }
        return services::Utf8ToGbk(value.get());
    }

    std::optional<std::vector<std::string>> List(const char* key) {
        if (!Has(key)) {
            Fail(key, std::string("missing key \"") + key + "\"");
            return std::nullopt;
        }
        GError* raw_error = nullptr;
        gsize length = 0;
        GListPtr values(g_key_file_get_string_list(m_file, kGroup, key, &length, &raw_error));
        if (raw_error != nullptr) {
            ErrorPtr error(raw_error);
            Fail(key, std::string(key) + ": " + error->message);
            return std::nullopt;
        }
        std::vector<std::string> list;
        for (gsize i = 0; i < length; ++i) list.push_back(services::Utf8ToGbk(values.get()[i]));
        return list;
    }

    std::optional<std::vector<int>> Numbers(const char* key) {
        const std::optional<std::vector<std::string>> texts = List(key);
        if (!texts) return std::nullopt;
        std::vector<int> numbers;
        for (const std::string& text : *texts) {
            const std::optional<int> number = Number(text);
            if (!number) {
                Fail(key, std::string(key) + ": \"" + services::GbkToUtf8(text) + "\" is not a whole number from 0");
                return std::nullopt;
            }
            numbers.push_back(*number);
        }
        return numbers;
    }

    bool Flag(const char* key, bool fallback) {
        const std::optional<std::string> text = Text(key, false);
        if (!text) return fallback;
        if (*text == "true") return true;
        if (*text == "false") return false;
        Fail(key, std::string(key) + ": takes true or false");
        return fallback;
    }

    // One of `names` (index into it); `fallback` when the key is absent.
    std::size_t Choice(const char* key, std::initializer_list<std::string_view> names, std::size_t fallback) {
        const std::optional<std::string> text = Text(key, false);
        if (!text) return fallback;
        std::size_t index = 0;
        std::string allowed;
        for (const std::string_view name : names) {
            if (*text == name) return index;
            allowed += (index == 0 ? "" : " or ") + std::string(name);
            ++index;
        }
        Fail(key, std::string(key) + ": takes " + allowed);
        return fallback;
    }

    static std::optional<int> Number(std::string_view text) {
        text = TrimSpace(text);
        if (text.empty() || text.size() > 6) return std::nullopt;
        int value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    }

private:
    GKeyFile* m_file;
    const Layout& m_layout;
    std::optional<DefinitionProblem> m_problem;
};

bool StartsWithCaseless(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

bool IsWebAddress(std::string_view text) {
    return (StartsWithCaseless(text, "http://") && text.size() > 7) ||
           (StartsWithCaseless(text, "https://") && text.size() > 8);
}

}  // namespace

std::string EngineFileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (!name.ends_with(kEngineFileSuffix) || name.size() == kEngineFileSuffix.size()) return {};
    name.remove_suffix(kEngineFileSuffix.size());
    return std::string(name);
}

std::optional<SearchEngine> ParseEngineDefinition(std::string_view text, std::string_view file_name,
                                                  DefinitionProblem& problem) {
    if (text.size() > kMaxEngineFileBytes) {
        problem = {0, "over 64 KiB"};
        return std::nullopt;
    }
    if (text.find('\0') != std::string_view::npos) {
        problem = {0, "not a text file"};
        return std::nullopt;
    }
    const Layout layout = ScanLines(text);
    if (layout.problem) {
        problem = *layout.problem;
        return std::nullopt;
    }
    KeyFilePtr file(g_key_file_new());
    GError* raw_error = nullptr;
    if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE, &raw_error)) {
        ErrorPtr error(raw_error);
        problem = {0, error->message};
        return std::nullopt;
    }

    Reader reader(file.get(), layout);
    SearchEngine engine;
    engine.file_name = std::string(file_name);
    engine.display_name = reader.Text("name", true).value_or("");
    if (const auto caption = reader.Text("caption", false)) {
        engine.caption = *caption;
        if (engine.caption.size() > kMaxCaptionBytes) {
            reader.Fail("caption", "caption: at most 4 Chinese characters or 8 ASCII ones");
        }
    } else {
        // Without a caption the tab shows as much of the name as fits.
        std::size_t fits = 0;
        while (fits < engine.display_name.size()) {
            const std::size_t next = fits + util::GbkCharLength(engine.display_name, fits);
            if (next > kMaxCaptionBytes) break;
            fits = next;
        }
        engine.caption = engine.display_name.substr(0, fits);
    }
    if (const auto root = reader.Text("root", false)) {
        if (!IsWebAddress(*root)) reader.Fail("root", "root: not an http or https address");
        engine.site_root = *root;
        while (engine.site_root.ends_with('/')) engine.site_root.pop_back();
    }
    engine.address = reader.Text("address", true).value_or("");
    if (!reader.Failed()) {
        if (engine.address.find("{keyword}") == std::string::npos) {
            reader.Fail("address", "address: no {keyword} in the template");
        } else if (!engine.address.starts_with("{root}") && !IsWebAddress(engine.address)) {
            reader.Fail("address", "address: the template is not an http or https address");
        }
    }
    engine.keyword_encoding =
        reader.Choice("keyword-encoding", {"utf-8", "gbk"}, 0) == 0 ? KeywordEncoding::Utf8 : KeywordEncoding::Gbk;
    engine.page_decoding = reader.Choice("page-decoding", {"as-served", "percent-decoded"}, 0) == 0
                               ? PageDecoding::AsServed
                               : PageDecoding::PercentDecoded;
    engine.pattern = reader.Text("pattern", true).value_or("");
    engine.case_sensitive = reader.Flag("case-sensitive", false);
    engine.multi_line = reader.Flag("multi-line", true);
    engine.quote_token = reader.Flag("quote-token", false);
    int groups_in_pattern = 0;
    if (!reader.Failed()) {
        services::RegexEngine regex;
        if (!regex.Compile(engine.pattern, std::string(), engine.case_sensitive, engine.multi_line,
                           /*global=*/true, engine.quote_token)) {
            reader.Fail("pattern", "pattern: " + regex.ErrorText());
        }
        groups_in_pattern = regex.GroupCount();
    }

    const auto titles = reader.List("columns");
    const auto widths = reader.Numbers("widths");
    const auto groups = reader.Numbers("groups");
    if (!reader.Failed()) {
        if (titles->empty()) {
            reader.Fail("columns", "columns: no column");
        } else if (widths->size() != titles->size()) {
            reader.Fail("widths", "widths: " + std::to_string(widths->size()) + " widths for " +
                                      std::to_string(titles->size()) + " columns");
        } else if (groups->size() != titles->size()) {
            reader.Fail("groups", "groups: " + std::to_string(groups->size()) + " groups for " +
                                      std::to_string(titles->size()) + " columns");
        }
    }
    if (!reader.Failed()) {
        for (std::size_t c = 0; c < titles->size(); ++c) {
            const int group = (*groups)[c];
            if (group < 1 || group > groups_in_pattern) {
                reader.Fail("groups", "groups: column " + std::to_string(c + 1) + " takes group " +
                                          std::to_string(group) + ", the pattern has " +
                                          std::to_string(groups_in_pattern));
                break;
            }
            engine.columns.push_back({(*titles)[c], (*widths)[c], group});
        }
    }
    if (reader.Has("alignments") && !reader.Failed()) {
        const auto alignments = reader.List("alignments");
        if (alignments && alignments->size() != engine.columns.size()) {
            reader.Fail("alignments", "alignments: " + std::to_string(alignments->size()) +
                                          " alignments for " + std::to_string(engine.columns.size()) +
                                          " columns");
        } else if (alignments) {
            for (std::size_t c = 0; c < alignments->size(); ++c) {
                const std::string& name = (*alignments)[c];
                if (name == "near") {
                    engine.columns[c].alignment = ColumnAlignment::Near;
                } else if (name == "far") {
                    engine.columns[c].alignment = ColumnAlignment::Far;
                } else if (name != "center") {
                    reader.Fail("alignments", "alignments: takes near, center or far");
                }
            }
        }
    }
    engine.address_column = engine.columns.empty() ? 0 : engine.columns.size() - 1;
    if (const auto column = reader.Text("address-column", false); column && !reader.Failed()) {
        const std::optional<int> number = Reader::Number(*column);
        if (!number || *number < 1 || static_cast<std::size_t>(*number) > engine.columns.size()) {
            reader.Fail("address-column", "address-column: takes a column number from 1 to " +
                                              std::to_string(engine.columns.size()));
        } else {
            engine.address_column = static_cast<std::size_t>(*number - 1);
        }
    }
    const auto detail_start = reader.Text("detail-start", false);
    const auto detail_end = reader.Text("detail-end", false);
    if (detail_start.has_value() != detail_end.has_value()) {
        reader.Fail(detail_start ? "detail-start" : "detail-end",
                    "detail-start and detail-end go together");
    } else if (detail_start) {
        if (detail_start->empty() || detail_end->empty()) {
            reader.Fail("detail-start", "detail-start and detail-end: empty marker");
        }
        engine.detail = DetailRule{*detail_start, *detail_end};
    }
    engine.enabled = reader.Flag("enabled", true);
    if (reader.Failed()) {
        problem = reader.Problem();
        return std::nullopt;
    }
    return engine;
}

std::optional<SearchEngine> LoadEngineDefinition(const std::string& path, DefinitionProblem& problem) {
    problem = {};
    // Opened without blocking, so that a FIFO in the folder cannot stall the
    // program; everything but a regular file is refused.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = {0, g_strerror(errno)};
        return std::nullopt;
    }
    struct stat status {};
    std::string text;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = {0, "not a regular file"};
    } else if (static_cast<std::uintmax_t>(status.st_size) > kMaxEngineFileBytes) {
        problem = {0, "over 64 KiB"};
    } else {
        char buffer[8192];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0 && text.size() <= kMaxEngineFileBytes) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        if (n < 0) problem = {0, g_strerror(errno)};
    }
    close(fd);
    if (!problem.reason.empty()) return std::nullopt;
    return ParseEngineDefinition(text, EngineFileName(path), problem);
}

}  // namespace search
