#pragma once

#include <string>
#include <string_view>

namespace plat {

// GBK <-> UTF-8 at the edges of the program (window titles, clipboard,
// input-method results, text handed to Pango). Conversion never stops on bad
// input: a malformed GBK byte becomes `replacement`, a malformed UTF-8
// sequence and a character GBK lacks become "?".
std::string GbkToUtf8Text(std::string_view gbk, std::string_view replacement = "?");
std::string Utf8ToGbkText(std::string_view utf8);

}  // namespace plat
