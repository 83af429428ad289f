#include "search/value_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using search::SortOrder;

std::vector<std::string> Sorted(const std::vector<std::string>& cells, SortOrder order) {
    std::vector<std::string> out;
    for (const std::size_t row : search::SortRowIndexes(
             cells.size(), [&](std::size_t r) { return std::string_view(cells[r]); }, order)) {
        out.push_back(cells[row]);
    }
    return out;
}

// Each column lists its cells in ascending order; the cells after `parsed`
// are ones that do not read as the column's kind and stay behind the others
// in both directions. Equal values ("1 KB" and "1024 b") keep row order.
TEST(ValueOrderTest, ColumnsSortByMeaningWithUnreadableCellsLast) {
    struct Column {
        std::vector<std::string> ascending;
        std::size_t parsed;
    };
    const std::vector<Column> columns = {
        {{"0 B", "1000B", "1 KB", "1024 b", "1.5k", "2 KiB", "88 MB", "691.2 MB", "700m",
          "1 GiB ", "1.1 GB", "2 g", "1 TB", "1.5 tib", "1 MiB x", ""},
         14},
        {{"2019-12-31", "2020-01-01", "2020-01-01 08:00", "2020-01-01T08:00:30", "2020-1-2",
          "2020-13-01", ""},
         5},
        {{"-3", "0", "7", "12", "100", "12a", ""}, 5},
        {{"慢", "中", "快", "极快", "很快", ""}, 4},
        // GBK byte order puts these characters in pinyin order; ASCII case
        // is ignored.
        {{"Apple", "banana", "BANANA", "啊", "爸", "中国", ""}, 6},
    };
    for (const Column& column : columns) {
        std::vector<std::string> shuffled(column.ascending.rbegin(), column.ascending.rend());
        // The two equal sizes must come out in row order, so keep them in it.
        for (std::size_t i = 0; i + 1 < shuffled.size(); ++i) {
            if (search::CompareCellValues(shuffled[i], shuffled[i + 1]) == 0) {
                std::swap(shuffled[i], shuffled[i + 1]);
            }
        }
        EXPECT_EQ(Sorted(shuffled, SortOrder::Ascending), column.ascending);

        std::vector<std::string> descending(column.ascending.begin(),
                                            column.ascending.begin() + column.parsed);
        std::reverse(descending.begin(), descending.end());
        for (std::size_t i = 0; i + 1 < descending.size(); ++i) {
            if (search::CompareCellValues(descending[i], descending[i + 1]) == 0) {
                std::swap(descending[i], descending[i + 1]);
            }
        }
        descending.insert(descending.end(), column.ascending.begin() + column.parsed,
                          column.ascending.end());
        std::vector<std::string> unsorted = column.ascending;
        EXPECT_EQ(Sorted(unsorted, SortOrder::Descending), descending);
    }
}

}  // namespace
