#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace app {

// One entry of the demo engines' catalogue: freely licensed films, Linux
// images, public-domain books and music. Names are UTF-8.
struct DemoItem {
    std::u8string_view name;
    std::uint64_t size_bytes = 0;
    std::string_view date;   // YYYY-MM-DD
    int file_count = 0;
    int popularity = 0;      // how often the item was fetched lately
    int seeds = 0;
};

std::span<const DemoItem> DemoCatalogue();

// Text views of an item as the demo pages print them, all UTF-8.
std::string Utf8Name(const DemoItem& item);
std::string FormatSize(std::uint64_t bytes);            // "1.37 GB", "700.5 MB", "12 KB"
std::string SpeedText(const DemoItem& item);            // from the seed count
std::string InfoHash(const DemoItem& item);             // 40 hex digits, upper case
std::string Ed2kHash(const DemoItem& item);             // 32 hex digits, upper case
std::string MagnetLink(const DemoItem& item);           // dn percent-encoded UTF-8
std::string Ed2kLink(const DemoItem& item);             // name percent-encoded UTF-8

// Every byte except A-Z a-z 0-9 - . _ ~ as "%" and two upper-case hex digits.
std::string PercentEscapeUtf8(std::string_view utf8);

}  // namespace app
