#include "app/client_uri.h"

#include <gtest/gtest.h>

#include <string>

#include "services/encoding.h"
#include "util/gbk_text.h"

namespace {

using app::MakeClientUri;

std::string Gbk(std::u8string_view utf8) {
    return util::Utf8ToGbk({reinterpret_cast<const char*>(utf8.data()), utf8.size()});
}

// The display name as a client reads it back: percent-decoded UTF-8.
std::string NameOf(const std::string& uri, const std::string& start, char end) {
    const std::size_t from = uri.find(start) + start.size();
    return services::PercentDecode(uri.substr(from, uri.find(end, from) - from), /*to_gbk=*/true);
}

TEST(ClientUriTest, MagnetNameBecomesPercentEncodedUtf8AndTheRestStays) {
    const std::string name = Gbk(u8"电影 合集 [1080p] #1 50%");
    const app::ClientUri client = MakeClientUri(
        "  magnet:?xt=urn:btih:ABCDEF0123&dn=" + name + "&tr=udp://t.example:80/announce\r\n");
    ASSERT_FALSE(client.Refused()) << client.refusal;
    EXPECT_EQ(client.kind, app::LinkKind::Magnet);
    EXPECT_TRUE(client.uri.starts_with("magnet:?xt=urn:btih:ABCDEF0123&dn=%E7%94%B5%E5%BD%B1%20"))
        << client.uri;
    EXPECT_TRUE(client.uri.ends_with("&tr=udp://t.example:80/announce")) << client.uri;
    EXPECT_EQ(NameOf(client.uri, "&dn=", '&'), name);
    for (const char c : client.uri) {
        EXPECT_TRUE(c > 0x20 && c < 0x7F && c != '[' && c != '#') << client.uri;
    }
    // Escapes a site already wrote are not escaped twice.
    EXPECT_EQ(MakeClientUri("magnet:?xt=urn:btih:AB&dn=a%20b").uri, "magnet:?xt=urn:btih:AB&dn=a%20b");
}

TEST(ClientUriTest, Ed2kFileNameIsEncodedAndHashAndSizeStay) {
    const std::string name = Gbk(u8"书 籍.pdf");
    const app::ClientUri client =
        MakeClientUri("ed2k://|file|" + name + "|12345|0123456789ABCDEF0123456789ABCDEF|/");
    ASSERT_FALSE(client.Refused()) << client.refusal;
    EXPECT_EQ(client.kind, app::LinkKind::Ed2k);
    EXPECT_EQ(client.uri,
              "ed2k://|file|%E4%B9%A6%20%E7%B1%8D.pdf|12345|0123456789ABCDEF0123456789ABCDEF|/");
    EXPECT_EQ(NameOf(client.uri, "|file|", '|'), name);
}

TEST(ClientUriTest, AnythingButAMagnetOrEd2kLinkIsRefused) {
    for (const std::string address :
         {"", "   ", "file:///etc/passwd", "http://example.org/x.torrent", "sh -c reboot",
          "<a href=\"magnet:?xt=1\">", "magnet:?xt=urn:btih:AB&tr=http://a b",
          "magnet:?xt=urn:btih:AB\n&dn=x", "ed2k://|file|x|1|AB\x01|/"}) {
        const app::ClientUri client = MakeClientUri(address);
        EXPECT_TRUE(client.Refused()) << address << " -> " << client.uri;
        EXPECT_FALSE(client.refusal.empty()) << address;
    }
    EXPECT_TRUE(MakeClientUri("magnet:?xt=" + std::string(70'000, 'a')).Refused());
}

}  // namespace
