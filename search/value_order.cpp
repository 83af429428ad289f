#include "search/value_order.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "util/gbk_text.h"

namespace search {
namespace {

// Kinds in the order values of different kinds take in both directions.
enum class Kind { Size, Date, Number, Speed, Text, Empty };

struct CellKey {
    Kind kind = Kind::Empty;
    double number = 0;      // sizes in bytes, whole numbers
    std::int64_t date = 0;  // packed so that later is larger
    std::string text;       // Text: the cell with ASCII letters lowered
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Reads "digits[.digits]" at the front of `text`, moving past it.
std::optional<double> TakeDecimal(std::string_view& text, bool allow_fraction) {
    std::size_t at = 0;
    while (at < text.size() && IsDigit(text[at])) ++at;
    if (at == 0) return std::nullopt;
    if (allow_fraction && at + 1 < text.size() && text[at] == '.' && IsDigit(text[at + 1])) {
        ++at;
        while (at < text.size() && IsDigit(text[at])) ++at;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + at, value,
                                              std::chars_format::fixed);
    if (error == std::errc::result_out_of_range) {
        value = HUGE_VAL;  // a thousand digits is still larger than any other number
    } else if (error != std::errc() || end != text.data() + at) {
        return std::nullopt;
    }
    text.remove_prefix(at);
    return value;
}

std::optional<double> ParseSize(std::string_view text) {
    const std::optional<double> amount = TakeDecimal(text, /*allow_fraction=*/true);
    if (!amount) return std::nullopt;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || text.size() > 3) return std::nullopt;
    std::string unit;
    for (const char c : text) unit += LowerAscii(c);
    struct Unit {
        std::string_view name;
        int power;
    };
    static constexpr std::array<Unit, 13> kUnits = {{
        {"b", 0}, {"k", 1}, {"kb", 1}, {"kib", 1}, {"m", 2}, {"mb", 2}, {"mib", 2},
        {"g", 3}, {"gb", 3}, {"gib", 3}, {"t", 4}, {"tb", 4}, {"tib", 4},
    }};
    for (const Unit& u : kUnits) {
        if (unit == u.name) return *amount * std::pow(1024.0, u.power);
    }
    return std::nullopt;
}

// Reads 1..max_digits digits at the front of `text` as an integer.
std::optional<int> TakeField(std::string_view& text, std::size_t min_digits, std::size_t max_digits) {
    std::size_t at = 0;
    int value = 0;
    while (at < text.size() && at < max_digits && IsDigit(text[at])) {
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    if (at < min_digits || (at < text.size() && IsDigit(text[at]))) return std::nullopt;
    text.remove_prefix(at);
    return value;
}

bool TakeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

std::optional<std::int64_t> ParseDate(std::string_view text) {
    const auto year = TakeField(text, 4, 4);
    if (!year || !TakeChar(text, '-')) return std::nullopt;
    const auto month = TakeField(text, 1, 2);
    if (!month || *month < 1 || *month > 12 || !TakeChar(text, '-')) return std::nullopt;
    const auto day = TakeField(text, 1, 2);
    if (!day || *day < 1 || *day > 31) return std::nullopt;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!text.empty()) {
        if (text.front() != 'T' && text.front() != ' ') return std::nullopt;
        while (!text.empty() && (text.front() == ' ' || text.front() == 'T')) text.remove_prefix(1);
        const auto h = TakeField(text, 1, 2);
        if (!h || *h > 23 || !TakeChar(text, ':')) return std::nullopt;
        const auto m = TakeField(text, 2, 2);
        if (!m || *m > 59) return std::nullopt;
        hour = *h;
        minute = *m;
        if (TakeChar(text, ':')) {
            const auto s = TakeField(text, 2, 2);
            if (!s || *s > 60) return std::nullopt;
            second = *s;
        }
        if (!text.empty()) return std::nullopt;
    }
    return ((((static_cast<std::int64_t>(*year) * 13 + *month) * 32 + *day) * 24 + hour) * 60 +
            minute) * 61 + second;
}

std::optional<double> ParseWholeNumber(std::string_view text) {
    const bool negative = TakeChar(text, '-');
    if (!negative) TakeChar(text, '+');
    const std::optional<double> value = TakeDecimal(text, /*allow_fraction=*/false);
    if (!value || !text.empty()) return std::nullopt;
    return negative ? -*value : *value;
}

std::optional<int> ParseSpeed(std::string_view text) {
    static constexpr std::array<std::string_view, 4> kWords = {"慢", "中", "快", "极快"};
    for (std::size_t i = 0; i < kWords.size(); ++i) {
        if (text == kWords[i]) return static_cast<int>(i);
    }
    return std::nullopt;
}

CellKey ReadCell(std::string_view cell) {
    const std::string_view text = Trim(cell);
    CellKey key;
    if (text.empty()) return key;
    if (const auto size = ParseSize(text)) {
        key.kind = Kind::Size;
        key.number = *size;
    } else if (const auto date = ParseDate(text)) {
        key.kind = Kind::Date;
        key.date = *date;
    } else if (const auto number = ParseWholeNumber(text)) {
        key.kind = Kind::Number;
        key.number = *number;
    } else if (const auto speed = ParseSpeed(text)) {
        key.kind = Kind::Speed;
        key.number = *speed;
    } else {
        key.kind = Kind::Text;
        key.text.reserve(text.size());
        // Only single-byte characters are lowered: a GBK trail byte may fall
        // in the range of ASCII letters.
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t length = util::GbkCharLength(text, at);
            if (length == 1) {
                key.text += LowerAscii(text[at]);
            } else {
                key.text.append(text.substr(at, length));
            }
            at += length;
        }
    }
    return key;
}

int Sign(auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); }

int CompareKeys(const CellKey& a, const CellKey& b, SortOrder order) {
    if (a.kind != b.kind) return Sign(a.kind, b.kind);
    int result = 0;
    switch (a.kind) {
        case Kind::Size:
        case Kind::Number:
        case Kind::Speed: result = Sign(a.number, b.number); break;
        case Kind::Date: result = Sign(a.date, b.date); break;
        case Kind::Text: result = a.text.compare(b.text); result = Sign(result, 0); break;
        case Kind::Empty: return 0;
    }
    return order == SortOrder::Descending ? -result : result;
}

}  // namespace

int CompareCellValues(std::string_view a, std::string_view b, SortOrder order) {
    return CompareKeys(ReadCell(a), ReadCell(b), order);
}

std::vector<std::size_t> SortRowIndexes(std::size_t row_count,
                                        const std::function<std::string_view(std::size_t)>& cell,
                                        SortOrder order) {
    std::vector<CellKey> keys;
    keys.reserve(row_count);
    for (std::size_t row = 0; row < row_count; ++row) keys.push_back(ReadCell(cell(row)));
    std::vector<std::size_t> rows(row_count);
    for (std::size_t row = 0; row < row_count; ++row) rows[row] = row;
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return CompareKeys(keys[a], keys[b], order) < 0;
    });
    return rows;
}

}  // namespace search
