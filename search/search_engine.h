#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace search {

// How a column's cells sit in the list.
enum class ColumnAlignment { Near, Center, Far };

// One column of an engine's result list: caption (GBK), initial width in
// pixels and the pattern group whose text fills the column.
struct Column {
    std::string caption;
    int width = 0;
    int group = 0;
    ColumnAlignment alignment = ColumnAlignment::Center;
};
using ColumnMap = std::vector<Column>;

// How the keyword is written into the request address: converted to UTF-8
// or kept in GBK, then every byte percent-encoded.
enum class KeywordEncoding { Utf8, Gbk };

// How a result page becomes text: taken as the HTTP routine delivers it
// (converted from the charset the server names), or taken as raw bytes,
// percent-decoded and converted from UTF-8 once (for sites that percent-
// encode the display names inside their links).
enum class PageDecoding { AsServed, PercentDecoded };

// Where a detail page holds the download address: the text after the first
// `start` marker up to the first `end` marker that follows it.
struct DetailRule {
    std::string start;
    std::string end;
};

// Everything an engine is, as its definition file describes it. Texts are
// GBK. `site_root` fills the template's "{root}".
struct SearchEngine {
    int number = 0;           // position in the program's engine list, from 1
    std::string file_name;    // the definition's file name without ".engine"
    std::string display_name;
    std::string caption;      // the short tab caption
    std::string site_root;    // scheme and host, no trailing slash
    std::string address;      // template with {root}, {keyword} and {page}
    KeywordEncoding keyword_encoding = KeywordEncoding::Utf8;
    PageDecoding page_decoding = PageDecoding::AsServed;
    std::string pattern;      // extraction pattern
    bool case_sensitive = false;
    bool multi_line = true;
    bool quote_token = false;
    ColumnMap columns;
    std::size_t address_column = 0;  // index into columns of the row's address
    std::optional<DetailRule> detail;
    bool enabled = true;
    std::string path;         // the definition file it was read from
};

inline constexpr int kEngineCount = 3;

// The built-in engines 1..3 (the definitions engine1 to engine3 in the
// program's data folder), read once. nullptr for any other number or when
// the definition cannot be read.
const SearchEngine* BuiltInEngine(int number);

// The extraction pattern of built-in engine 1..3; empty for any other
// number. Needs no settings, so benchmarks and tools can use it directly.
std::string_view EnginePattern(int number);

// The column map of built-in engine 1..3; empty for any other number.
ColumnMap EngineColumns(int number);

// Built-in engine 1..3 with the given site root. Any other number yields an
// engine with no address, no pattern and no columns, which never produces a
// row.
SearchEngine MakeSearchEngine(int number, std::string site_root);

// The request address of a search: the engine's template with "{root}"
// replaced by the site root, "{keyword}" by the already-encoded keyword and
// "{page}" by the page number in plain decimal (a negative page keeps its
// minus sign). Empty when the engine has no template.
std::string BuildSearchAddress(const SearchEngine& engine, std::string_view encoded_keyword,
                               int page);

}  // namespace search
