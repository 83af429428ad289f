#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace services {

// Written in a pattern compiled with the quote token on, this stands for a
// double quote, so that patterns can be kept free of literal quotes.
inline constexpr std::string_view kQuoteToken = "#引号";

// Guards that keep a hostile page from hanging the program or exhausting
// memory. The match, depth, heap and JIT stack limits apply to one start
// position: a position that exceeds one is skipped and the search goes on.
// The time budget and the offsets cap end the search where they trip; the
// matches found before are kept. The defaults leave every real page
// untouched.
struct RegexLimits {
    bool use_jit = true;                      // off only to measure the interpreter
    std::uint32_t match_limit = 5'000'000;    // backtracking steps per start position
    std::uint32_t depth_limit = 1'000'000;    // nested backtracking depth
    std::uint32_t heap_limit_kib = 64 * 1024; // interpreter's backtracking memory
    std::size_t jit_stack_bytes = 1 << 20;
    std::uint32_t time_budget_ms = 3000;      // for the whole search
    std::size_t max_stored_offsets = 1 << 22;     // 4 bytes each
};

// Runs one ECMAScript-style regular expression over one GBK subject and
// hands out the matches and their groups by 1-based number, as GBK texts.
// Matching is UTF-8 PCRE2 over the converted subject (a single-byte GBK unit
// above 0x7F matches as U+001A there, so the copy stays within 1.5 times the
// page; group texts come from the GBK subject itself): "." never matches a
// line feed, "^"/"$" match at line feeds in multi-line mode, and a group
// that did not take part in a match reads as an empty text. Positions are
// 0-based byte offsets into the GBK subject, -1 when there is none.
//
// Copies share the immutable result of the last Compile; compiling one copy
// again leaves the others as they were.
class RegexEngine {
public:
    RegexEngine() = default;
    explicit RegexEngine(const RegexLimits& limits) : m_limits(limits) {}

    // Runs `pattern` over `subject` (both GBK). Returns false, with no
    // matches, when the pattern is invalid. The engine keeps the subject for
    // the texts it hands out: pass a page with std::move to spare a copy. With `global` off only the first
    // match is kept. With `quote_token` on, every kQuoteToken in the pattern
    // becomes a double quote first.
    bool Compile(std::string_view pattern, std::string subject, bool case_sensitive = false,
                 bool multi_line = true, bool global = true, bool quote_token = false);

    // Match and group numbers are 1-based; numbers out of range give an
    // empty text and position -1.
    int MatchCount() const;
    std::string MatchText(int match, int* position = nullptr) const;
    std::string SubmatchText(int match, int group, int* position = nullptr) const;
    // The number of groups of the pattern; 0 when nothing matched.
    int SubmatchCount() const;
    // The number of groups of the last compiled pattern, matched or not; 0
    // when it was invalid. Lets a pattern be checked against an empty text.
    int GroupCount() const;

    // The pattern as last compiled (after quote-token substitution), even
    // when it was invalid; empty before the first Compile.
    std::string GetPattern() const;

    // The subject with the kept matches replaced. The replacement may use
    // $1..$99, $& (the match), $` (the text before it), $' (the text after
    // it) and $$ (a dollar sign). Empty when nothing was compiled or the
    // pattern was invalid.
    std::string ReplaceAll(std::string_view replacement) const;

    // Why the last Compile failed, stopped early or skipped start positions,
    // for developers.
    bool LimitReached() const;
    std::string ErrorText() const;

private:
    struct Result;

    RegexLimits m_limits;
    std::shared_ptr<const Result> m_result;
};

}  // namespace services
