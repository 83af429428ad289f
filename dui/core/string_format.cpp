#include "dui/core/string_format.h"

namespace dui {

std::string ApplyHotkeyPrefix(std::string_view utf8, HotkeyPrefix mode, int* underline_at) {
    if (underline_at) *underline_at = -1;
    if (mode == HotkeyPrefix::None) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c != '&' || i + 1 >= utf8.size()) {
            out.push_back(c);
            continue;
        }
        ++i;  // the marker itself is dropped
        if (utf8[i] == '&') {
            out.push_back('&');
            continue;
        }
        if (mode == HotkeyPrefix::Show && underline_at && *underline_at < 0)
            *underline_at = static_cast<int>(out.size());
        out.push_back(utf8[i]);
    }
    return out;
}

}  // namespace dui
