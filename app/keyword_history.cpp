#include "app/keyword_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/skin_package.h"
#include "util/gbk_text.h"
#include "util/text_lines.h"
#include "util/user_paths.h"
#include "util/utf8.h"

namespace app {
namespace {

// A file the program wrote is at most capacity × longest line; anything
// far larger is not a history and is not read at all.
constexpr std::size_t kMaxHistoryFileBytes = 1024 * 1024;

// Whether a line of the file can be a keyword: well-formed UTF-8 without
// control characters (C1 included), short enough, and every character one
// that GBK has, so that it comes back from the keyword box unchanged.
bool IsKeywordLine(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > kHistoryMaxLineBytes) return false;
    for (std::size_t at = 0; at < utf8.size();) {
        bool valid = false;
        const std::size_t length = util::Utf8Step(utf8, at, valid);
        if (!valid) return false;
        const char32_t character = util::DecodeUtf8(utf8.data() + at, length);
        if (character < 0x20 || (character >= 0x7F && character < 0xA0)) return false;
        at += length;
    }
    return util::GbkToUtf8(util::Utf8ToGbk(utf8)) == utf8;
}

bool IsBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` begins with `prefix`, unit by GBK unit: a trail byte may
// look like an ASCII letter and must never be folded.
bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t at = 0; at < prefix.size();) {
        const std::size_t length = util::GbkCharLength(prefix, at);
        if (util::GbkCharLength(text, at) != length) return false;
        if (length == 1) {
            if (FoldAscii(text[at]) != FoldAscii(prefix[at])) return false;
        } else if (text.compare(at, length, prefix, at, length) != 0) {
            return false;
        }
        at += length;
    }
    return true;
}

// Creates the missing folders on the way to `directory`, private to the
// user as the state folder's rules ask.
void MakeDirectories(const std::string& directory) {
    for (std::size_t slash = directory.find('/', 1); ; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        if (!part.empty()) ::mkdir(part.c_str(), 0700);
        if (slash == std::string::npos) return;
    }
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t wrote = ::write(fd, data.data(), data.size());
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

}  // namespace

std::string KeywordHistoryPath() {
    return util::UserPath("XDG_STATE_HOME", ".local/state", "seed-searcher/history");
}

void KeywordHistory::Load() {
    m_keywords.clear();
    if (!Enabled()) return;
    std::string text;
    FileReadProblem problem;
    if (!ReadWholeFile(m_path, kMaxHistoryFileBytes, text, &problem)) {
        // No file yet is the normal first run.
        if (problem.system_error != ENOENT) Warn(m_path + ": " + problem.text + "; not read");
        return;
    }
    std::string_view rest = text;
    while (!rest.empty() && m_keywords.size() < kHistoryCapacity) {
        const std::string_view line = util::TakeLine(rest);
        if (!IsKeywordLine(line)) continue;
        std::string keyword = util::Utf8ToGbk(line);
        if (std::find(m_keywords.begin(), m_keywords.end(), keyword) != m_keywords.end()) continue;
        m_keywords.push_back(std::move(keyword));
    }
}

void KeywordHistory::Remember(std::string_view keyword) {
    if (!Enabled() || IsBlank(keyword) || !IsKeywordLine(util::GbkToUtf8(keyword))) return;
    const auto old = std::find(m_keywords.begin(), m_keywords.end(), keyword);
    if (old != m_keywords.end() && old == m_keywords.begin()) return;  // already first
    if (old != m_keywords.end()) m_keywords.erase(old);
    m_keywords.insert(m_keywords.begin(), std::string(keyword));
    if (m_keywords.size() > kHistoryCapacity) m_keywords.resize(kHistoryCapacity);
    Save();
}

void KeywordHistory::Clear() {
    if (!Enabled()) return;
    m_keywords.clear();
    Save();
}

std::vector<std::string> KeywordHistory::Matching(std::string_view prefix,
                                                  std::size_t limit) const {
    std::vector<std::string> found;
    for (const std::string& keyword : m_keywords) {
        if (found.size() >= limit) break;
        if (StartsWithFolded(keyword, prefix)) found.push_back(keyword);
    }
    return found;
}

void KeywordHistory::Save() {
    const std::size_t slash = m_path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : m_path.substr(0, slash);
    MakeDirectories(directory);

    std::string text;
    for (const std::string& keyword : m_keywords) text += util::GbkToUtf8(keyword) + "\n";

    // mkstemp creates the file with mode 0600.
    std::string temporary = directory + "/.history-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        Warn(m_path + ": cannot be written: " + std::strerror(errno));
        return;
    }
    const bool wrote = WriteAll(fd, text);
    const int write_error = errno;
    if (::close(fd) != 0 || !wrote) {
        ::unlink(temporary.c_str());
        Warn(m_path + ": cannot be written: " + std::strerror(wrote ? errno : write_error));
        return;
    }
    if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        const int rename_error = errno;
        ::unlink(temporary.c_str());
        Warn(m_path + ": cannot be replaced: " + std::strerror(rename_error));
    }
}

void KeywordHistory::Warn(std::string text) {
    m_problem = "keyword history: " + std::move(text);
    if (m_warned) return;
    m_warned = true;
    std::fprintf(stderr, "seed-searcher: %s\n", m_problem.c_str());
}

}  // namespace app
