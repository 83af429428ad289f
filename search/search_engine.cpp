#include "search/search_engine.h"

#include <array>

namespace search {
namespace {

// The extraction patterns as they are documented, one per line: the two
// characters "\n" stand for one line feed that the pattern contains, every
// other backslash is pattern syntax. ExpandLineFeeds turns the documented form
// into the pattern itself.
constexpr std::string_view kEngine1Printed =
    R"pat(\n<p class="m-meta">\n[\s|\S]*?: (.*?)&nbsp;&nbsp;[\s|\S]*?: (.*?)&nbsp;&nbsp;\n[\s|\S]*?: (.*?)&nbsp;&nbsp;\n[\s|\S]*?: (.*?)&nbsp;&nbsp;[\s|\S]*?: <span style="color: green; font-weight:bold;">(.*?)</span> &nbsp;&nbsp;\n<a href=\x22(.*?)\x22 alt=\x22.*?(\s\S.*?)\x22>[\s|\S]*?)pat";
constexpr std::string_view kEngine2Printed =
    R"pat(<td><a href="[\s\S]*?" title="[\s\S]*?" target="_blank">(.*?)</a></td><td class="files-size">(.*?)</td><td class="convert-date">(.*?)</td><td class="action"><a href="(.*?)" class="btn" title="[\s\S]*?" target="_blank">Detail</a></td>)pat";
constexpr std::string_view kEngine3Printed =
    R"pat(<tr class="[\s\S]*?" hash="[\s\S]*?">\n    <td>(.*?) \n    <small><a href="[\s\S]*?" target='_blank'>\n    <b>[\s\S]*?</b>\n    </a></small>\n    </td>\n\n    <td width='110' align='right'>\n    <a href="[\s\S]*?" target='_blank' class="borderit">\n    <img border="0" src="[\s\S]*?"/>\n    </a>\n    </td>\n    <td width='70' align='right'>(.*?)\n    \n    </td>\n    <td width='100' align='right'>(.*?) \n    </td>\n    <td width='140' align='right'>\n        <span id='btns'>\n        <a href="(.*?)">ED2K</a>)pat";

std::string ExpandLineFeeds(std::string_view printed) {
    std::string pattern;
    pattern.reserve(printed.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (printed[i] == '\\' && i + 1 < printed.size() && printed[i + 1] == 'n') {
            pattern += '\n';
            ++i;
        } else {
            pattern += printed[i];
        }
    }
    return pattern;
}

const std::array<std::string, kEngineCount>& Patterns() {
    static const std::array<std::string, kEngineCount> patterns = {
        ExpandLineFeeds(kEngine1Printed),
        ExpandLineFeeds(kEngine2Printed),
        ExpandLineFeeds(kEngine3Printed),
    };
    return patterns;
}

bool IsEngineNumber(int number) {
    return number >= 1 && number <= kEngineCount;
}

}  // namespace

std::string_view EnginePattern(int number) {
    if (!IsEngineNumber(number)) return {};
    return Patterns()[static_cast<std::size_t>(number - 1)];
}

ColumnMap EngineColumns(int number) {
    switch (number) {
        case 1:
            // The file name is the pattern's last group; the other columns
            // take groups 1 to 6 in order.
            return {
                {"文件名", 130, 7},  {"添加时间", 90, 1}, {"文件数", 50, 2},
                {"文件大小", 70, 3}, {"热度", 50, 4},     {"速度", 50, 5},
                {"磁力地址", 0, 6},
            };
        case 2:
            return {
                {"文件名", 290, 1},
                {"文件大小", 70, 2},
                {"添加日期", 70, 3},
                {"地址", 0, 4},
            };
        case 3:
            return {
                {"文件名", 290, 1},
                {"文件大小", 70, 2},
                {"种子数量", 70, 3},
                {"地址", 0, 4},
            };
        default:
            return {};
    }
}

SearchEngine MakeSearchEngine(int number, std::string site_root) {
    SearchEngine engine;
    engine.number = number;
    engine.site_root = std::move(site_root);
    engine.pattern = std::string(EnginePattern(number));
    engine.percent_decode = number == 1 || number == 2;
    engine.columns = EngineColumns(number);
    return engine;
}

std::string BuildSearchAddress(const SearchEngine& engine, std::string_view encoded_keyword,
                               int page) {
    const std::string page_text = std::to_string(page);
    std::string address = engine.site_root;
    switch (engine.number) {
        case 1:
            address += "/?s=";
            address += encoded_keyword;
            address += "&p=";
            address += page_text;
            break;
        case 2:
            address += "/search/";
            address += encoded_keyword;
            address += "/currentPage/";
            address += page_text;
            break;
        case 3:
            address += "//search/";
            address += encoded_keyword;
            address += "?page=";
            address += page_text;
            address += "&mode=list";
            break;
        default:
            return {};
    }
    return address;
}

}  // namespace search
