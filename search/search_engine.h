#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace search {

// One column of an engine's result list: caption (GBK), initial width in
// pixels and the pattern group whose text fills the column. The last column
// of every engine has width 0 and holds the row's address.
struct Column {
    std::string caption;
    int width = 0;
    int group = 0;
};
using ColumnMap = std::vector<Column>;

// The fixed description of one of the three engines. Only the site root is
// configuration; everything else comes from MakeSearchEngine.
struct SearchEngine {
    int number = 0;            // 1, 2 or 3
    std::string site_root;     // scheme and host, no trailing slash
    std::string pattern;       // extraction pattern, GBK
    bool percent_decode = false;  // engines 1 and 2 percent-decode the page
    ColumnMap columns;
};

inline constexpr int kEngineCount = 3;

// The extraction pattern of engine 1..3, byte for byte; empty for any other
// number. Needs no settings, so benchmarks and tools can use it directly.
std::string_view EnginePattern(int number);

// The column map of engine 1..3; empty for any other number.
ColumnMap EngineColumns(int number);

// Engine 1..3 with the given site root. Any other number yields an engine
// with no pattern and no columns, which never produces a row.
SearchEngine MakeSearchEngine(int number, std::string site_root);

// The request address of a search: the engine's template joined with the
// already-encoded keyword and the page number in plain decimal (a negative
// page keeps its minus sign).
std::string BuildSearchAddress(const SearchEngine& engine, std::string_view encoded_keyword,
                               int page);

}  // namespace search
