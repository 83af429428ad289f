#pragma once

#include <string>
#include <string_view>

#include "util/gbk_text.h"

namespace plat {

// GBK <-> UTF-8 at the edges of the window system (window titles, clipboard,
// input-method results, tooltips): the program's one converter and its "?"
// rule (util/gbk_text.h).
inline std::string GbkToUtf8Text(std::string_view gbk) { return util::GbkToUtf8(gbk); }
inline std::string Utf8ToGbkText(std::string_view utf8) { return util::Utf8ToGbk(utf8); }

}  // namespace plat
