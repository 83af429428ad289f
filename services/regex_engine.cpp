#include "services/regex_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "services/encoding.h"
#include "util/c_deleter.h"
#include "util/gbk_text.h"

namespace services {
namespace {

using CodePtr = std::unique_ptr<pcre2_code, util::CDeleter<pcre2_code_free>>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, util::CDeleter<pcre2_compile_context_free>>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context, util::CDeleter<pcre2_match_context_free>>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, util::CDeleter<pcre2_match_data_free>>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack, util::CDeleter<pcre2_jit_stack_free>>;

constexpr std::uint32_t kUnset = UINT32_MAX;

std::string PcreErrorText(int code) {
    PCRE2_UCHAR buffer[256];
    int length = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (length < 0) return "PCRE2 error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

bool JitAvailable() {
    static const bool available = [] {
        std::uint32_t jit = 0;
        return pcre2_config(PCRE2_CONFIG_JIT, &jit) >= 0 && jit != 0;
    }();
    return available;
}

std::string ReplaceQuoteToken(std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size());
    std::size_t offset = 0;
    for (;;) {
        std::size_t found = pattern.find(kQuoteToken, offset);
        out.append(pattern.substr(offset, found - offset));
        if (found == std::string_view::npos) break;
        out.push_back('"');
        offset = found + kQuoteToken.size();
    }
    return out;
}

// The whole-search time budget is enforced by a callout placed in front of
// the pattern: the match limit alone restarts at every start position, so a
// page of many near misses could otherwise take minutes.
// (<chrono> cannot be used here: one of its literals has no GBK form.)
std::uint64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000;
}

struct Watchdog {
    std::uint64_t deadline_ms;
    std::uint32_t calls = 0;
    bool expired = false;
    // Where the latest match attempt began: the callout runs first at every
    // start position.
    std::size_t attempt_start = 0;

    bool Expired() {
        if ((++calls & 63) == 0 && MonotonicMilliseconds() >= deadline_ms) expired = true;
        return expired;
    }
};

int WatchdogCallout(pcre2_callout_block* block, void* data) {
    auto& watchdog = *static_cast<Watchdog*>(data);
    watchdog.attempt_start = block->start_match;
    return watchdog.Expired() ? PCRE2_ERROR_CALLOUT : 0;
}

// Limits that apply to one start position: hitting one gives up that
// position only.
bool IsPositionLimit(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
           rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT;
}

// Options a pattern may only give at its very start; they stay in front of
// the watchdog's wrapper. Backtracking verbs such as (*FAIL) are not among
// them.
bool IsLeadingOption(std::string_view item) {
    static constexpr std::string_view kVerbs[] = {"ACCEPT", "FAIL", "F", "COMMIT", "PRUNE", "SKIP", "THEN"};
    if (std::find(std::begin(kVerbs), std::end(kVerbs), item) != std::end(kVerbs)) return false;
    return !item.empty() && std::all_of(item.begin(), item.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '=';
    });
}

std::string WrapWithWatchdog(std::string_view pattern) {
    std::size_t body = 0;
    while (pattern.substr(body, 2) == "(*") {
        std::size_t close = pattern.find(')', body);
        if (close == std::string_view::npos || !IsLeadingOption(pattern.substr(body + 2, close - body - 2))) break;
        body = close + 1;
    }
    // "\E" closes a "\Q" the pattern may leave open; elsewhere it is ignored.
    std::string wrapped(pattern.substr(0, body));
    wrapped += "(?C1)(?:";
    wrapped += pattern.substr(body);
    wrapped += "\\E)";
    return wrapped;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

// Replaces every UTF-8 offset in `offsets` by the offset of the same
// character in `gbk`, of which `utf8` is the conversion. Each GBK unit gives
// exactly one character, so the two texts can be walked in step.
void MapOffsetsToGbk(std::vector<std::uint32_t>& offsets, std::string_view utf8, std::string_view gbk) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;  // offset, index
    order.reserve(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i)
        if (offsets[i] != kUnset) order.emplace_back(offsets[i], static_cast<std::uint32_t>(i));
    std::sort(order.begin(), order.end());
    std::size_t u = 0, g = 0;
    for (auto [target, index] : order) {
        while (u < target && g < gbk.size()) {
            // Runs of ASCII are the same in both texts; skip them a word at a time.
            if (u + 8 <= target && g + 8 <= gbk.size()) {
                std::uint64_t word;
                std::memcpy(&word, utf8.data() + u, 8);
                if ((word & 0x8080808080808080ULL) == 0) {
                    u += 8;
                    g += 8;
                    continue;
                }
            }
            u += Utf8SequenceLength(static_cast<unsigned char>(utf8[u]));
            g += util::GbkCharLength(gbk, g);
        }
        offsets[index] = static_cast<std::uint32_t>(std::min(g, gbk.size()));
    }
}

// A replacement text parsed once: literal stretches and references.
struct ReplacementPiece {
    enum class Kind { Literal, Group, Before, After } kind;
    std::string_view literal;
    int group = 0;  // 0 is the whole match
};

std::vector<ReplacementPiece> ParseReplacement(std::string_view text, int group_count) {
    std::vector<ReplacementPiece> pieces;
    auto literal = [&](std::string_view piece) {
        if (!piece.empty()) pieces.push_back({ReplacementPiece::Kind::Literal, piece, 0});
    };
    auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    std::size_t start = 0, i = 0;
    while ((i = text.find('$', i)) != std::string_view::npos) {
        literal(text.substr(start, i - start));
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        std::size_t consumed = 2;
        if (next == '$') {
            literal(text.substr(i, 1));
        } else if (next == '&') {
            pieces.push_back({ReplacementPiece::Kind::Group, {}, 0});
        } else if (next == '`') {
            pieces.push_back({ReplacementPiece::Kind::Before, {}, 0});
        } else if (next == '\'') {
            pieces.push_back({ReplacementPiece::Kind::After, {}, 0});
        } else if (digit(i + 1)) {
            int one = text[i + 1] - '0';
            int two = digit(i + 2) ? one * 10 + (text[i + 2] - '0') : 0;
            if (two >= 1 && two <= group_count) {
                pieces.push_back({ReplacementPiece::Kind::Group, {}, two});
                consumed = 3;
            } else if (one >= 1 && one <= group_count) {
                pieces.push_back({ReplacementPiece::Kind::Group, {}, one});
            } else {
                literal(text.substr(i, 1));  // no such group: the "$" stays
                consumed = 1;
            }
        } else {
            literal(text.substr(i, 1));
            consumed = 1;
        }
        i += consumed;
        start = i;
    }
    literal(text.substr(start));
    return pieces;
}

}  // namespace

struct RegexEngine::Result {
    std::string pattern;  // GBK, after quote-token substitution
    std::string subject;  // GBK
    bool compiled = false;
    bool limit_reached = false;
    std::string error;
    int group_count = 0;
    std::size_t stride = 2;              // offsets per match: (group_count + 1) * 2
    std::vector<std::uint32_t> offsets;  // GBK offsets, kUnset for absent groups

    std::size_t MatchCount() const { return offsets.size() / stride; }

    // Start and end of group `group` (0 = whole match) of 0-based match
    // `match`; both kUnset when there is no such group or it took no part.
    std::pair<std::uint32_t, std::uint32_t> Span(std::size_t match, int group) const {
        if (match >= MatchCount() || group < 0 || group > group_count) return {kUnset, kUnset};
        const std::uint32_t* pair = offsets.data() + match * stride + static_cast<std::size_t>(group) * 2;
        return {pair[0], pair[1]};
    }

    std::string SpanText(std::pair<std::uint32_t, std::uint32_t> span, int* position) const {
        auto [start, end] = span;
        if (position) *position = start == kUnset ? -1 : static_cast<int>(start);
        if (start == kUnset || end == kUnset || end <= start) return {};
        return subject.substr(start, end - start);
    }
};

bool RegexEngine::Compile(std::string_view pattern, std::string subject, bool case_sensitive,
                          bool multi_line, bool global, bool quote_token) {
    auto result = std::make_shared<Result>();
    result->pattern = quote_token ? ReplaceQuoteToken(pattern) : std::string(pattern);
    m_result = result;
    // Positions are ints at the interface and offsets are stored in 32 bits.
    if (subject.size() >= static_cast<std::size_t>(INT_MAX) / 3) {
        result->error = "subject too long";
        return false;
    }
    result->subject = std::move(subject);

    std::string utf8_pattern = GbkToUtf8ForMatching(result->pattern);
    std::string utf8_subject = GbkToUtf8ForMatching(result->subject);

    CompileContextPtr compile_context(pcre2_compile_context_create(nullptr));
    MatchContextPtr match_context(pcre2_match_context_create(nullptr));
    if (!compile_context || !match_context) {
        result->error = "out of memory";
        return false;
    }
    pcre2_set_newline(compile_context.get(), PCRE2_NEWLINE_LF);
    // ECMAScript flavour: \xhh and \uhhhh escapes, a reference to an unset
    // group matches the empty text, and "$" without multi-line means the
    // very end. \C could split a character and is refused.
    std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY |
                            PCRE2_NEVER_BACKSLASH_C;
    if (!case_sensitive) options |= PCRE2_CASELESS;
    if (multi_line) options |= PCRE2_MULTILINE;

    auto compile = [&](std::string_view text, int& error_code) {
        PCRE2_SIZE error_offset = 0;
        return CodePtr(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), options,
                                     &error_code, &error_offset, compile_context.get()));
    };
    auto capture_count = [](const pcre2_code* code) {
        std::uint32_t count = 0;
        pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &count);
        return count;
    };
    int error_code = 0;
    CodePtr code = compile(utf8_pattern, error_code);
    if (!code) {
        result->error = PcreErrorText(error_code);
        return false;
    }
    std::uint32_t groups = capture_count(code.get());
    // The watchdog needs the pattern wrapped; a pattern whose meaning the
    // wrapper would change (a trailing "#" comment, say) runs without it and
    // relies on the per-position limits alone.
    bool watched = false;
    if (CodePtr wrapped = compile(WrapWithWatchdog(utf8_pattern), error_code);
        wrapped && capture_count(wrapped.get()) == groups) {
        code = std::move(wrapped);
        watched = true;
    }
    result->group_count = static_cast<int>(groups);
    result->stride = (static_cast<std::size_t>(groups) + 1) * 2;

    JitStackPtr jit_stack;
    if (m_limits.use_jit && JitAvailable() && pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) == 0) {
        jit_stack.reset(pcre2_jit_stack_create(32 * 1024, std::max<std::size_t>(m_limits.jit_stack_bytes, 32 * 1024),
                                               nullptr));
        if (jit_stack) pcre2_jit_stack_assign(match_context.get(), nullptr, jit_stack.get());
    }
    pcre2_set_match_limit(match_context.get(), m_limits.match_limit);
    pcre2_set_depth_limit(match_context.get(), m_limits.depth_limit);
    pcre2_set_heap_limit(match_context.get(), m_limits.heap_limit_kib);
    Watchdog watchdog{MonotonicMilliseconds() + m_limits.time_budget_ms};
    if (watched) pcre2_set_callout(match_context.get(), WatchdogCallout, &watchdog);

    MatchDataPtr match_data(pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!match_data) {
        result->error = "out of memory";
        return false;
    }
    const auto* subject_data = reinterpret_cast<PCRE2_SPTR>(utf8_subject.data());
    const std::size_t length = utf8_subject.size();
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match_data.get());
    std::uint32_t match_options = 0;  // the first call validates the subject
    std::size_t start = 0;
    auto stop = [&](std::string reason) {
        result->limit_reached = true;
        result->error = std::move(reason);
    };
    std::size_t skipped_positions = 0;
    int last_limit = 0;
    for (;;) {
        watchdog.attempt_start = start;
        int rc = pcre2_match(code.get(), subject_data, length, start, match_options, match_data.get(),
                             match_context.get());
        match_options = PCRE2_NO_UTF_CHECK;
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (IsPositionLimit(rc) && !watchdog.expired) {
            // The limits count per start position: give up the one that hit
            // them and search on from the next character. Without the
            // watchdog the failing position is unknown, so the search moves
            // on by one character from where it began.
            const std::size_t at = std::max(start, watchdog.attempt_start);
            ++skipped_positions;
            last_limit = rc;
            if (at >= length || watchdog.Expired()) {
                if (watchdog.expired) stop("time budget exhausted");
                break;
            }
            start = at + Utf8SequenceLength(subject_data[at]);
            continue;
        }
        if (rc < 0) {
            stop(watchdog.expired ? "time budget exhausted" : PcreErrorText(rc));
            break;
        }
        // \K inside a lookahead can put a match's start after its end; such
        // a match has no sensible text and would upset the walk.
        if (ovector[0] > ovector[1]) {
            stop("match start after its end");
            break;
        }
        if (result->offsets.size() + result->stride > m_limits.max_stored_offsets) {
            stop("too many matches");
            break;
        }
        std::size_t pairs = std::min<std::size_t>(static_cast<std::size_t>(rc), groups + 1);
        for (std::size_t i = 0; i < groups + 1; ++i) {
            bool set = i < pairs && ovector[2 * i] != PCRE2_UNSET;
            result->offsets.push_back(set ? static_cast<std::uint32_t>(ovector[2 * i]) : kUnset);
            result->offsets.push_back(set ? static_cast<std::uint32_t>(ovector[2 * i + 1]) : kUnset);
        }
        if (!global) break;
        if (ovector[1] > ovector[0]) {
            start = ovector[1];
        } else {
            // An empty match: the next search starts one character further.
            if (ovector[1] >= length) break;
            start = ovector[1] + Utf8SequenceLength(subject_data[ovector[1]]);
        }
        if (watchdog.Expired()) {
            stop("time budget exhausted");
            break;
        }
    }
    if (skipped_positions > 0 && !result->limit_reached) {
        result->limit_reached = true;
        result->error = PcreErrorText(last_limit) + " at " + std::to_string(skipped_positions) +
                        " start positions, which were skipped";
    }
    MapOffsetsToGbk(result->offsets, utf8_subject, result->subject);
    result->compiled = true;
    return true;
}

int RegexEngine::MatchCount() const { return m_result ? static_cast<int>(m_result->MatchCount()) : 0; }

std::string RegexEngine::MatchText(int match, int* position) const {
    if (!m_result || match < 1) {
        if (position) *position = -1;
        return {};
    }
    return m_result->SpanText(m_result->Span(static_cast<std::size_t>(match) - 1, 0), position);
}

std::string RegexEngine::SubmatchText(int match, int group, int* position) const {
    if (!m_result || match < 1 || group < 1) {
        if (position) *position = -1;
        return {};
    }
    return m_result->SpanText(m_result->Span(static_cast<std::size_t>(match) - 1, group), position);
}

int RegexEngine::SubmatchCount() const {
    return m_result && m_result->MatchCount() > 0 ? m_result->group_count : 0;
}

int RegexEngine::GroupCount() const {
    return m_result ? m_result->group_count : 0;
}

std::string RegexEngine::GetPattern() const { return m_result ? m_result->pattern : std::string(); }

std::string RegexEngine::ReplaceAll(std::string_view replacement) const {
    if (!m_result || !m_result->compiled) return {};
    const Result& result = *m_result;
    const std::string_view subject = result.subject;
    auto pieces = ParseReplacement(replacement, result.group_count);
    std::string out;
    out.reserve(subject.size());
    std::size_t copied = 0;
    for (std::size_t m = 0; m < result.MatchCount(); ++m) {
        auto [start, end] = result.Span(m, 0);
        if (start < copied) continue;  // cannot happen with ordered matches; keeps the copy sane
        out.append(subject.substr(copied, start - copied));
        for (const auto& piece : pieces) {
            switch (piece.kind) {
            case ReplacementPiece::Kind::Literal: out.append(piece.literal); break;
            case ReplacementPiece::Kind::Group: {
                auto [group_start, group_end] = result.Span(m, piece.group);
                if (group_start != kUnset && group_end > group_start)
                    out.append(subject.substr(group_start, group_end - group_start));
                break;
            }
            case ReplacementPiece::Kind::Before: out.append(subject.substr(0, start)); break;
            case ReplacementPiece::Kind::After: out.append(subject.substr(end)); break;
            }
        }
        copied = end;
    }
    out.append(subject.substr(copied));
    return out;
}

bool RegexEngine::LimitReached() const { return m_result && m_result->limit_reached; }

std::string RegexEngine::ErrorText() const { return m_result ? m_result->error : std::string(); }

}  // namespace services
