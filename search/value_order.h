#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace search {

// Ordering result cells (GBK) by what they mean rather than by their bytes.
// A cell is read, after trimming ASCII white space, as the first of:
//  - a size: a decimal number and a unit B, K, KB, KiB, M, MB, MiB, G, GB,
//    GiB, T, TB or TiB (letter case ignored, a space allowed between them),
//    counted in powers of 1024: "88 MB" < "691.2 MB" < "1.1 GB";
//  - a date YYYY-MM-DD, optionally followed by a time HH:MM or HH:MM:SS;
//  - a whole number, optionally signed;
//  - a speed word, 慢 < 中 < 快 < 极快;
//  - any other text, by its GBK bytes (which orders the common Chinese
//    characters by their reading) with ASCII letters compared case-
//    insensitively.
// Values of different kinds order by kind in the list's order, the same in
// both directions. So a value that is not a size, a date, a number or a
// speed (a "?" in a size column) comes after every one that is, ascending and
// descending alike, and an empty cell comes after everything.
enum class SortOrder { Ascending, Descending };

// Negative when `a` comes before `b` in `order`, positive when after, zero
// when they are equal as values.
int CompareCellValues(std::string_view a, std::string_view b,
                      SortOrder order = SortOrder::Ascending);

// The row indexes 0..row_count-1 ordered by the cell `cell(row)` returns;
// rows with equal values keep their relative order. Each cell is read once.
std::vector<std::size_t> SortRowIndexes(std::size_t row_count,
                                        const std::function<std::string_view(std::size_t)>& cell,
                                        SortOrder order);

}  // namespace search
