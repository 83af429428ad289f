#pragma once

#include <cstddef>
#include <string_view>

namespace util {

// The first line of `rest`, taken off it with its end: the text before the
// first "\n" (all of it when there is none), without the "\r" of a "\r\n".
// Reads a text line by line:
// `while (!rest.empty()) { std::string_view line = TakeLine(rest); ... }`.
inline std::string_view TakeLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

}  // namespace util
