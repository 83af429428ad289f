#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// How many keywords are kept, and the longest one, in bytes of its UTF-8
// line: a keyword box holds a search word or two, not a page of text.
inline constexpr std::size_t kHistoryCapacity = 50;
inline constexpr std::size_t kHistoryMaxLineBytes = 1024;

// $XDG_STATE_HOME/seed-searcher/history, falling back to
// ~/.local/state/seed-searcher/history; empty when neither can be formed.
std::string KeywordHistoryPath();

// The keywords the user searched, most recent first and each once, kept in
// a file between runs. Keywords are GBK like every text of the program; the
// file holds them as UTF-8, one per line.
//
// A history without a path is switched off: it reads and writes nothing and
// remembers nothing. Reading skips every line that cannot be a keyword
// (invalid UTF-8, control bytes, characters GBK lacks, over-long lines) and
// keeps the rest. Every change rewrites the whole file through a temporary
// file and a rename, mode 0600, so a crash leaves the old or the new list,
// never half of one. Whatever goes wrong with the file costs one line on
// stderr for the life of the history, never the program; the list in memory
// goes on working.
class KeywordHistory {
public:
    KeywordHistory() = default;
    explicit KeywordHistory(std::string path) : m_path(std::move(path)) {}

    bool Enabled() const { return !m_path.empty(); }

    // Replaces the list with the file's. A missing file is an empty history.
    void Load();
    // Puts `keyword` first, dropping an older copy and whatever falls past
    // the capacity, and saves. Blank keywords, and ones no line can hold
    // (control bytes, over-long), are not remembered.
    void Remember(std::string_view keyword);
    // Forgets every keyword and saves the empty list.
    void Clear();

    // Up to `limit` keywords beginning with `prefix`, most recent first; an
    // empty prefix matches all. ASCII letters match in either case.
    std::vector<std::string> Matching(std::string_view prefix, std::size_t limit) const;

    const std::vector<std::string>& Keywords() const { return m_keywords; }
    // What went wrong with the file last, as the warning said it; empty
    // when nothing did.
    const std::string& Problem() const { return m_problem; }

private:
    void Save();
    void Warn(std::string text);

    std::string m_path;
    std::vector<std::string> m_keywords;
    std::string m_problem;
    bool m_warned = false;
};

}  // namespace app
