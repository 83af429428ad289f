#pragma once
// Byte-string helpers of the HTTP rules and of the transport, for the files
// of services/ only. Texts are GBK: a full-width space counts as a space
// where a character starts.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace services::http_text {

// Failures stay silent to the user; a developer can see their reasons with
// SEED_DEBUG_HTTP set.
void DebugLog(std::string_view what, std::string_view detail);

// Without leading and trailing spaces (ASCII and full-width).
std::string TrimSpaces(std::string_view text);
// Without any space (ASCII and full-width).
std::string RemoveSpaces(std::string_view text);
std::string ToLowerAscii(std::string_view text);
// The first place of `needle` at or after `from`, ignoring ASCII case.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);
// The text between the first `start` and the next `end` after it, both found
// ignoring case; empty when either is missing.
std::string_view BetweenNoCase(std::string_view text, std::string_view start, std::string_view end);
std::vector<std::string_view> Split(std::string_view text, std::string_view separator);

}  // namespace services::http_text
