#include "app/demo_catalogue.h"

#include <glib.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <memory>

#include "util/c_deleter.h"

namespace app {
namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// Sizes, dates and counts are plausible figures for a catalogue of this kind,
// not measurements of real files.
constexpr DemoItem kCatalogue[] = {
    // Open films
    {u8"Big Buck Bunny (2008) 1080p", 928 * kMiB, "2008-05-30", 3, 4821, 812},
    {u8"大雄兔 Big Buck Bunny 4K 60fps", 10 * kGiB + 312 * kMiB, "2013-11-12", 2, 2210, 344},
    {u8"Sintel (2010) 1080p", 1 * kGiB + 142 * kMiB, "2010-09-30", 4, 3906, 655},
    {u8"辛特尔 Sintel 4K 中英字幕", 5 * kGiB + 706 * kMiB, "2016-03-02", 5, 1504, 207},
    {u8"Tears of Steel (2012) 1080p", 1 * kGiB + 520 * kMiB, "2012-09-26", 3, 3377, 489},
    {u8"钢铁之泪 Tears of Steel 4K", 6 * kGiB + 90 * kMiB, "2013-01-15", 2, 1122, 158},
    {u8"Elephants Dream (2006) 1080p", 815 * kMiB, "2006-05-18", 2, 2410, 301},
    {u8"大象之梦 Elephants Dream 中文字幕", 430 * kMiB, "2009-07-21", 2, 988, 96},
    {u8"Cosmos Laundromat – First Cycle (2015)", 2 * kGiB + 66 * kMiB, "2015-08-10", 3, 1876, 233},
    {u8"Spring (2019) Open Movie 1080p", 612 * kMiB, "2019-04-04", 1, 1650, 188},
    {u8"Agent 327: Operation Barbershop (2017)", 380 * kMiB, "2017-05-15", 1, 2034, 276},
    {u8"Caminandes 3: Llamigos (2016) 1080p", 178 * kMiB, "2016-01-30", 1, 1420, 150},
    {u8"Sprite Fright (2021) 4K HDR", 3 * kGiB + 880 * kMiB, "2021-10-29", 2, 2688, 402},
    {u8"Charge (2022) Open Movie 1080p", 702 * kMiB, "2022-10-05", 1, 1290, 121},
    {u8"Night of the Living Dead (1968) 公有领域", 1 * kGiB + 403 * kMiB, "2011-10-31", 2, 3120, 377},
    {u8"Nosferatu (1922) 默片 修复版", 1 * kGiB + 96 * kMiB, "2012-02-14", 2, 1905, 209},
    {u8"大都会 Metropolis (1927) 公有领域", 2 * kGiB + 250 * kMiB, "2023-01-02", 3, 2540, 318},
    {u8"His Girl Friday (1940) Public Domain", 1 * kGiB + 12 * kMiB, "2014-06-08", 2, 760, 64},

    // Linux images
    {u8"debian-12.5.0-amd64-netinst.iso", 629 * kMiB, "2024-02-10", 1, 5240, 1320},
    {u8"debian-12.5.0-amd64-DVD-1.iso", 3 * kGiB + 729 * kMiB, "2024-02-10", 1, 2188, 411},
    {u8"ubuntu-24.04-desktop-amd64.iso", 5 * kGiB + 700 * kMiB, "2024-04-25", 1, 6870, 2015},
    {u8"ubuntu-22.04.4-live-server-amd64.iso", 2 * kGiB + 20 * kMiB, "2024-02-22", 1, 3911, 886},
    {u8"Fedora-Workstation-Live-x86_64-40-1.14.iso", 2 * kGiB + 228 * kMiB, "2024-04-23", 1, 2760, 703},
    {u8"linuxmint-21.3-cinnamon-64bit.iso", 2 * kGiB + 901 * kMiB, "2024-01-12", 1, 3303, 760},
    {u8"archlinux-2024.05.01-x86_64.iso", 1 * kGiB + 53 * kMiB, "2024-05-01", 1, 2954, 598},
    {u8"openSUSE-Tumbleweed-DVD-x86_64-Current.iso", 4 * kGiB + 420 * kMiB, "2024-05-06", 1, 1420, 230},
    {u8"alpine-standard-3.20.0-x86_64.iso", 207 * kMiB, "2024-05-22", 1, 1733, 287},
    {u8"深度操作系统 deepin-desktop-community-23-amd64.iso", 4 * kGiB + 96 * kMiB, "2024-06-19", 1, 2090, 345},
    {u8"优麒麟 ubuntukylin-24.04-desktop-amd64.iso", 5 * kGiB + 260 * kMiB, "2024-04-26", 1, 1602, 266},
    {u8"Rocky-9.4-x86_64-dvd.iso", 10 * kGiB + 408 * kMiB, "2024-05-09", 1, 1240, 201},

    // Public-domain books
    {u8"红楼梦 曹雪芹 全本 (TXT+EPUB)", 6 * kMiB + 410 * kKiB, "2015-03-08", 2, 4012, 533},
    {u8"西游记 吴承恩 全本 EPUB", 2 * kMiB + 880 * kKiB, "2015-03-08", 1, 3275, 420},
    {u8"三国演义 罗贯中 全本 EPUB", 3 * kMiB + 122 * kKiB, "2015-03-09", 1, 3099, 391},
    {u8"水浒传 施耐庵 全本 EPUB", 3 * kMiB + 504 * kKiB, "2015-03-09", 1, 2876, 352},
    {u8"论语 中英对照 The Analects", 1 * kMiB + 96 * kKiB, "2016-07-01", 1, 1833, 190},
    {u8"道德经 Tao Te Ching 注释本", 730 * kKiB, "2016-07-01", 1, 1688, 173},
    {u8"孙子兵法 The Art of War (中英双语)", 912 * kKiB, "2016-07-02", 2, 2231, 258},
    {u8"Pride and Prejudice - Jane Austen (EPUB)", 740 * kKiB, "2013-12-01", 1, 1507, 142},
    {u8"Moby Dick; or, The Whale (EPUB+MOBI)", 2 * kMiB + 310 * kKiB, "2013-12-02", 2, 1109, 98},
    {u8"Alice's Adventures in Wonderland (Illustrated)", 14 * kMiB + 600 * kKiB, "2014-01-20", 3, 1944, 187},
    {u8"The Adventures of Sherlock Holmes (Audiobook MP3)", 402 * kMiB, "2018-09-14", 12, 1375, 133},

    // Public-domain and CC0 music
    {u8"Open Goldberg Variations (CC0) FLAC", 380 * kMiB, "2012-05-28", 32, 2677, 311},
    {u8"贝多芬 第九交响曲 公有领域录音 FLAC", 612 * kMiB, "2014-11-03", 4, 1810, 205},
    {u8"巴赫 平均律键盘曲集 Well-Tempered Clavier (CC0)", 1 * kGiB + 210 * kMiB, "2015-02-17", 48, 1422, 160},
    {u8"肖邦 夜曲全集 Nocturnes (公有领域) MP3 320K", 298 * kMiB, "2016-12-24", 21, 2390, 260},
    {u8"古琴曲 高山流水 (CC0 录音)", 46 * kMiB, "2017-08-30", 1, 940, 58},
    {u8"한국 전통 음악 Korean Traditional Music (Public Domain)", 520 * kMiB, "2018-03-11", 18, 602, 37},
    {u8"Jazz & Blues <Live at the Commons> (CC BY)", 733 * kMiB, "2019-06-21", 14, 815, 72},
    {u8"🎵 Relaxing Piano Collection (CC0) 钢琴曲", 401 * kMiB, "2020-02-02", 25, 1230, 119},
};

using ChecksumPtr = std::unique_ptr<GChecksum, util::CDeleter<g_checksum_free>>;

std::string HexDigest(GChecksumType type, std::string_view salt, const DemoItem& item) {
    ChecksumPtr checksum(g_checksum_new(type));
    const std::string name = Utf8Name(item);
    g_checksum_update(checksum.get(), reinterpret_cast<const guchar*>(salt.data()),
                      static_cast<gssize>(salt.size()));
    g_checksum_update(checksum.get(), reinterpret_cast<const guchar*>(name.data()),
                      static_cast<gssize>(name.size()));
    std::string hex = g_checksum_get_string(checksum.get());
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

}  // namespace

std::span<const DemoItem> DemoCatalogue() {
    return kCatalogue;
}

std::string Utf8Name(const DemoItem& item) {
    return std::string(reinterpret_cast<const char*>(item.name.data()), item.name.size());
}

std::string FormatSize(std::uint64_t bytes) {
    char text[32];
    if (bytes >= kGiB) {
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / kGiB);
    } else if (bytes >= kMiB) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / kMiB);
    } else {
        std::snprintf(text, sizeof text, "%llu KB",
                      static_cast<unsigned long long>((bytes + kKiB - 1) / kKiB));
    }
    return text;
}

std::string SpeedText(const DemoItem& item) {
    if (item.seeds > 500) return reinterpret_cast<const char*>(u8"极快");
    if (item.seeds > 100) return reinterpret_cast<const char*>(u8"快");
    if (item.seeds > 20) return reinterpret_cast<const char*>(u8"中等");
    return reinterpret_cast<const char*>(u8"慢");
}

std::string InfoHash(const DemoItem& item) {
    return HexDigest(G_CHECKSUM_SHA1, "btih:", item);
}

std::string Ed2kHash(const DemoItem& item) {
    return HexDigest(G_CHECKSUM_MD5, "ed2k:", item);
}

std::string PercentEscapeUtf8(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' ||
                                c == '_' || c == '~';
        if (unreserved) {
            escaped += c;
        } else {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}

std::string MagnetLink(const DemoItem& item) {
    return "magnet:?xt=urn:btih:" + InfoHash(item) + "&dn=" + PercentEscapeUtf8(Utf8Name(item)) +
           "&xl=" + std::to_string(item.size_bytes);
}

std::string Ed2kLink(const DemoItem& item) {
    return "ed2k://|file|" + PercentEscapeUtf8(Utf8Name(item)) + "|" +
           std::to_string(item.size_bytes) + "|" + Ed2kHash(item) + "|/";
}

}  // namespace app
