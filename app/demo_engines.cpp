#include "app/demo_engines.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <thread>
#include <utility>

#include "services/page_server.h"

namespace app {
namespace {

constexpr char kHtmlUtf8[] = "text/html; charset=utf-8";
constexpr char kHtmlGbk[] = "text/html; charset=gbk";

// This file is compiled with a GBK execution character set; the pages it
// writes are UTF-8, so their texts are u8 literals seen through this view.
std::string_view U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// Escapes the HTML specials, and for the pages of engines 1 and 2 "%" too:
// their searching side percent-decodes whole pages, so a stray "%" in the
// text would eat the two bytes after it. Engine 3's page is read as it is.
enum class Percent { Escape, Keep };

std::string HtmlEscape(std::string_view text, Percent percent = Percent::Escape) {
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            case '%':
                escaped += percent == Percent::Escape ? "&#37;" : "%";
                break;
            default: escaped += c; break;
        }
    }
    return escaped;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsNoCase(std::string_view text, std::string_view keyword) {
    if (keyword.empty()) return true;
    if (keyword.size() > text.size()) return false;
    for (std::size_t start = 0; start + keyword.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < keyword.size() && AsciiLower(text[start + i]) == AsciiLower(keyword[i])) ++i;
        if (i == keyword.size()) return true;
    }
    return false;
}

// A page number as the engines' addresses carry it; anything that is not a
// plain (possibly negative) decimal number is treated as page 0, which has
// no rows.
long long ParsePage(std::string_view text) {
    long long page = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return page;
}

// UTF-8 to GBK for engine 3's page. A character GBK lacks becomes a numeric
// character reference, as a GBK web site would write it; invalid UTF-8 bytes
// become "?".
std::string ToGbkPage(std::string_view utf8) {
    std::string gbk;
    gbk.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            gbk += utf8[i++];
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view character = utf8.substr(i, length);
        if (length == 1 || character.size() < length ||
            !g_utf8_validate(character.data(), static_cast<gssize>(character.size()), nullptr)) {
            gbk += '?';
            ++i;
            continue;
        }
        gsize written = 0;
        gchar* converted = g_convert(character.data(), static_cast<gssize>(character.size()),
                                     "CP936", "UTF-8", nullptr, &written, nullptr);
        if (converted != nullptr) {
            gbk.append(converted, written);
            g_free(converted);
        } else {
            gbk += "&#" + std::to_string(g_utf8_get_char(character.data())) + ";";
        }
        i += length;
    }
    return gbk;
}

std::string PageHead(std::string_view title, std::string_view charset) {
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n";
    html += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    html += charset;
    html += "\">\n<title>";
    html += title;
    html += "</title>\n<style>\n"
            "body { font-family: sans-serif; max-width: 880px; margin: 24px auto; color: #222; }\n"
            "h1 { font-size: 20px; color: #e8630a; }\n"
            ".note { color: #888; font-size: 12px; }\n"
            ".m-item { border-bottom: 1px solid #e4e4e4; padding: 8px 0; }\n"
            ".m-title { font-size: 15px; margin: 0 0 4px; }\n"
            ".m-meta { color: #666; font-size: 13px; margin: 0; }\n"
            "table { border-collapse: collapse; }\n"
            "td, th { padding: 4px 8px; border-bottom: 1px solid #e4e4e4; }\n"
            "</style>\n</head>\n<body>\n";
    return html;
}

std::string PagerLine(std::size_t shown, long long page) {
    return std::string(U8(u8"<p class=\"note\">第 ")) + std::to_string(page) +
           std::string(U8(u8" 页，本页 ")) + std::to_string(shown) +
           std::string(U8(u8" 条结果</p>\n"));
}

std::string IndexPage(std::string_view origin) {
    std::string html = PageHead(U8(u8"演示搜索引擎"), "utf-8");
    html += U8(u8"<h1>澜橙种子搜索器 · 演示搜索引擎</h1>\n"
               "<p>这些页面以三个搜索引擎各自的格式提供一份自由授权资源的小目录，"
               "让程序离线也能完整使用。</p>\n<ul>\n");
    html += "<li><a href=\"/engine1/?s=&amp;p=1\">engine 1</a> " + std::string(origin) +
            "/engine1</li>\n";
    html += "<li><a href=\"/engine2/search//currentPage/1\">engine 2</a> " +
            std::string(origin) + "/engine2</li>\n";
    html += "<li><a href=\"/engine3//search/?page=1&amp;mode=list\">engine 3</a> " +
            std::string(origin) + "/engine3</li>\n";
    html += "<li><a href=\"/okapi.php#!url=magnet:?xt=urn:btih:0\">player 1</a></li>\n"
            "<li><a href=\"/happyvod/api.php?top=1#!url=magnet:?xt=urn:btih:0\">player 2</a></li>\n"
            "<li><a href=\"/site\">site</a></li>\n</ul>\n</body>\n</html>\n";
    return html;
}

// Both player pages show the address they were given after "#!url=" in the
// fragment; the page's own script reads it, nothing reaches the server.
std::string PlayerPage(int player) {
    std::string html = PageHead(U8(u8"在线播放"), "utf-8");
    html += "<h1>";
    html += player == 1 ? U8(u8"演示播放器一") : U8(u8"演示播放器二");
    html += U8(u8"</h1>\n"
               "<div style=\"background: #111; color: #eee; height: 220px; display: flex; "
               "align-items: center; justify-content: center; border-radius: 6px;\">"
               "<span id=\"state\">▶ 准备播放</span></div>\n"
               "<p>地址：<code id=\"address\" style=\"word-break: break-all;\"></code></p>\n"
               "<p class=\"note\">这是一个演示页面：它只显示收到的地址，不播放任何内容。</p>\n");
    html += "<script>\n"
            "function showAddress() {\n"
            "  var hash = window.location.hash, marker = '#!url=', address = '';\n"
            "  if (hash.indexOf(marker) === 0) {\n"
            "    address = hash.substring(marker.length);\n"
            "    try { address = decodeURIComponent(address); } catch (e) {}\n"
            "  }\n"
            "  document.getElementById('address').textContent = address || '-';\n"
            "}\n"
            "window.addEventListener('hashchange', showAddress);\n"
            "showAddress();\n"
            "</script>\n</body>\n</html>\n";
    return html;
}

std::string SitePage() {
    std::string html = PageHead(U8(u8"澜橙种子搜索器"), "utf-8");
    html += U8(u8"<h1>澜橙种子搜索器</h1>\n"
               "<p>一个查找种子与 ED2K 链接的桌面小工具：选择引擎、输入关键字、按“搜索”。</p>\n"
               "<p class=\"note\">播放器已关闭。</p>\n</body>\n</html>\n");
    return html;
}

std::string NotFoundPage() {
    std::string html = PageHead("404", "utf-8");
    html += U8(u8"<h1>404</h1>\n<p>没有这个页面。</p>\n</body>\n</html>\n");
    return html;
}

std::string DetailPage(std::string_view id_text) {
    std::size_t id = 0;
    const auto [end, error] = std::from_chars(id_text.data(), id_text.data() + id_text.size(), id);
    const auto catalogue = DemoCatalogue();
    if (error != std::errc() || end != id_text.data() + id_text.size() || id >= catalogue.size()) {
        return NotFoundPage();
    }
    const DemoItem& item = catalogue[id];
    const std::string name = HtmlEscape(Utf8Name(item));
    std::string html = PageHead(name, "utf-8");
    html += "<h1>" + name + "</h1>\n<p>";
    html += U8(u8"文件大小：");
    html += FormatSize(item.size_bytes);
    html += U8(u8"　添加日期：");
    html += item.date;
    html += "</p>\n<p>";
    html += U8(u8"磁力链接：");
    // The link goes in unescaped: whoever reads it takes the text area's
    // content verbatim. It holds no "<", and its name is percent-encoded.
    html += "</p>\n<textarea class=\"form-control\" rows=\"3\" cols=\"80\" readonly>" +
            MagnetLink(item) + "</textarea>\n</body>\n</html>\n";
    return html;
}

}  // namespace

std::vector<const DemoItem*> DemoSearch(std::string_view keyword, long long page) {
    std::vector<const DemoItem*> found;
    if (page < 1) return found;
    const auto catalogue = DemoCatalogue();
    // Checked before multiplying so huge page numbers cannot overflow.
    if (static_cast<unsigned long long>(page - 1) >= catalogue.size() / kDemoRowsPerPage + 1) {
        return found;
    }
    const auto first = static_cast<std::size_t>(page - 1) * kDemoRowsPerPage;
    std::size_t matched = 0;
    for (const DemoItem& item : catalogue) {
        if (!ContainsNoCase(Utf8Name(item), keyword)) continue;
        if (matched >= first && found.size() < kDemoRowsPerPage) found.push_back(&item);
        ++matched;
    }
    return found;
}

std::string RenderEngine1Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page) {
    const std::string shown_keyword = HtmlEscape(keyword);
    std::string html = PageHead(shown_keyword + std::string(U8(u8" - 磁力搜索")), "utf-8");
    html += U8(u8"<h1>磁力搜索</h1>\n<form action=\"/engine1/\" method=\"get\">"
               "<input name=\"s\" value=\"");
    html += shown_keyword;
    html += U8(u8"\"><input type=\"hidden\" name=\"p\" value=\"1\"><button>搜索</button></form>\n");
    html += PagerLine(rows.size(), page);
    for (const DemoItem* item : rows) {
        const std::string name = HtmlEscape(Utf8Name(*item));
        html += "<div class=\"m-item\">\n<h3 class=\"m-title\">" + name + "</h3>\n";
        html += "<p class=\"m-meta\">\n";
        html += U8(u8"<span>添加时间: ");
        html += item->date;
        html += U8(u8"&nbsp;&nbsp;</span><span>文件数: ");
        html += std::to_string(item->file_count);
        html += U8(u8"&nbsp;&nbsp;\n</span><span>文件大小: ");
        html += FormatSize(item->size_bytes);
        html += U8(u8"&nbsp;&nbsp;\n</span><span>热度: ");
        html += std::to_string(item->popularity);
        html += U8(u8"&nbsp;&nbsp;</span><span>速度: "
                   "<span style=\"color: green; font-weight:bold;\">");
        html += SpeedText(*item);
        html += "</span> &nbsp;&nbsp;\n";
        // The link keeps a bare "&": the searching side takes attribute texts
        // verbatim, and an "&amp;" would end up inside the copied link.
        html += "<a href=\"" + MagnetLink(*item) + "\" alt=\"magnet " + name + "\">";
        html += U8(u8"[磁力链接]");
        html += "</a></span>\n</p>\n</div>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

std::string RenderEngine2Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page, std::string_view origin) {
    const std::string shown_keyword = HtmlEscape(keyword);
    std::string html = PageHead(shown_keyword + std::string(U8(u8" - 资源搜索")), "utf-8");
    html += U8(u8"<h1>资源搜索：");
    html += shown_keyword + "</h1>\n";
    html += PagerLine(rows.size(), page);
    html += U8(u8"<table class=\"table\">\n<thead><tr><th>文件名</th><th>大小</th>"
               "<th>日期</th><th></th></tr></thead>\n<tbody>\n");
    const auto catalogue = DemoCatalogue();
    for (const DemoItem* item : rows) {
        const std::string name = HtmlEscape(Utf8Name(*item));
        const std::string detail = std::string(origin) + "/engine2/detail/" +
                                   std::to_string(item - catalogue.data());
        html += "<tr><td><a href=\"" + detail + "\" title=\"" + name +
                "\" target=\"_blank\">" + name + "</a></td>";
        html += "<td class=\"files-size\">" + FormatSize(item->size_bytes) + "</td>";
        html += "<td class=\"convert-date\">" + std::string(item->date) + "</td>";
        html += "<td class=\"action\"><a href=\"" + detail + "\" class=\"btn\" title=\"" + name +
                "\" target=\"_blank\">Detail</a></td></tr>\n";
    }
    html += "</tbody>\n</table>\n</body>\n</html>\n";
    return html;
}

std::string RenderEngine3Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page) {
    const std::string shown_keyword = HtmlEscape(keyword, Percent::Keep);
    std::string html = PageHead(shown_keyword + std::string(U8(u8" - 电驴资源")), "gbk");
    html += U8(u8"<h1>电驴资源：");
    html += shown_keyword + "</h1>\n";
    html += PagerLine(rows.size(), page);
    html += U8(u8"<table>\n<tr><th>文件名</th><th>下载</th><th>大小</th><th>种子数量</th>"
               "<th>链接</th></tr>\n");
    bool odd = true;
    for (const DemoItem* item : rows) {
        const std::string name = HtmlEscape(Utf8Name(*item), Percent::Keep);
        const std::string hash = Ed2kHash(*item);
        const std::string link = HtmlEscape(Ed2kLink(*item), Percent::Keep);
        html += std::string("<tr class=\"") + (odd ? "odd" : "even") + "\" hash=\"" + hash +
                "\">\n";
        html += "    <td>" + name + " \n";
        html += "    <small><a href=\"/engine3/file/" + hash + "\" target='_blank'>\n";
        html += U8(u8"    <b>[详情]</b>\n");
        html += "    </a></small>\n    </td>\n\n";
        html += "    <td width='110' align='right'>\n";
        html += "    <a href=\"" + link + "\" target='_blank' class=\"borderit\">\n";
        html += "    <img border=\"0\" src=\"/engine3/ed2k.png\"/>\n";
        html += "    </a>\n    </td>\n";
        html += "    <td width='70' align='right'>" + FormatSize(item->size_bytes) + "\n    \n    </td>\n";
        html += "    <td width='100' align='right'>" + std::to_string(item->seeds) + " \n    </td>\n";
        html += "    <td width='140' align='right'>\n        <span id='btns'>\n";
        html += "        <a href=\"" + link + "\">ED2K</a>\n        </span>\n    </td>\n</tr>\n";
        odd = !odd;
    }
    html += "</table>\n</body>\n</html>\n";
    return ToGbkPage(html);
}

struct DemoEngines::Server {
    int port = 0;
    int listening = -1;            // the page server's once it runs
    int wake[2] = {-1, -1};        // Stop() wakes the watcher through it
    std::thread watcher;
    std::unique_ptr<services::PageServer> pages;

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port); }
    services::Page Route(const services::PageRequest& request) const;
    void AwaitFirstConnection();
};

services::Page DemoEngines::Server::Route(const services::PageRequest& request) const {
    const std::string_view path = request.path;
    const auto send = [](std::string body, const char* type, int status = 200) {
        return services::Page{status, std::move(body), type};
    };
    if (request.method != "GET" && request.method != "HEAD") {
        return send(NotFoundPage(), kHtmlUtf8, 405);
    }

    if (path == "/engine1" || path == "/engine1/") {
        const std::string keyword = request.Param("s");
        const long long page = ParsePage(request.Param("p"));
        return send(RenderEngine1Page(DemoSearch(keyword, page), keyword, static_cast<int>(page)),
                    kHtmlUtf8);
    }
    if (constexpr std::string_view prefix = "/engine2/search/"; path.starts_with(prefix)) {
        // The keyword arrives decoded and may itself hold "/currentPage/":
        // the page number follows the last one.
        constexpr std::string_view marker = "/currentPage/";
        const std::string_view rest = path.substr(prefix.size());
        const std::size_t at = rest.rfind(marker);
        const std::string_view keyword = at == std::string_view::npos ? rest : rest.substr(0, at);
        const long long page =
            at == std::string_view::npos ? 0 : ParsePage(rest.substr(at + marker.size()));
        return send(RenderEngine2Page(DemoSearch(keyword, page), keyword, static_cast<int>(page),
                                      Origin()),
                    kHtmlUtf8);
    }
    if (constexpr std::string_view prefix = "/engine2/detail/"; path.starts_with(prefix)) {
        const std::string page = DetailPage(path.substr(prefix.size()));
        return send(page, kHtmlUtf8, page.find(" readonly>") == std::string::npos ? 404 : 200);
    }
    if (constexpr std::string_view prefix = "/engine3//search/"; path.starts_with(prefix)) {
        const std::string_view keyword = path.substr(prefix.size());
        const long long page = ParsePage(request.Param("page"));
        return send(RenderEngine3Page(DemoSearch(keyword, page), keyword, static_cast<int>(page)),
                    kHtmlGbk);
    }
    if (path == "/okapi.php") {
        return send(PlayerPage(1), kHtmlUtf8);
    }
    if (path == "/happyvod/api.php") {
        return send(PlayerPage(2), kHtmlUtf8);
    }
    if (path == "/site" || path == "/site/") {
        return send(SitePage(), kHtmlUtf8);
    }
    if (path == "/") {
        return send(IndexPage(Origin()), kHtmlUtf8);
    }
    return send(NotFoundPage(), kHtmlUtf8, 404);
}

// The page server comes with the HTTP module, which the window's start-up
// does without: it starts when the first connection arrives, which waits
// in the socket's queue meanwhile.
void DemoEngines::Server::AwaitFirstConnection() {
    pollfd waits[2] = {{listening, POLLIN, 0}, {wake[0], POLLIN, 0}};
    while (poll(waits, 2, -1) < 0) {
        if (errno != EINTR) return;
    }
    if (waits[1].revents != 0) return;
    std::string error;
    const Server* routed = this;
    pages = services::StartPageServer(
        std::exchange(listening, -1),
        [routed](const services::PageRequest& request) { return routed->Route(request); }, &error);
    // The socket is closed then: waiting connections fail at once.
    if (!pages) std::fprintf(stderr, "seed-searcher: the demo engines cannot serve: %s\n", error.c_str());
}

DemoEngines::DemoEngines() = default;

DemoEngines::~DemoEngines() {
    Stop();
}

bool DemoEngines::Start(int port, std::string* error) {
    if (m_server) return true;
    const auto fail = [&] {
        if (error != nullptr) *error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        return false;
    };
    if (port < 0 || port > 65535) return fail();
    auto server = std::make_unique<Server>();
    server->listening = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server->listening < 0) return fail();
    // Not SO_REUSEPORT, which would let a second server share a port that
    // is already taken instead of failing.
    int yes = 1;
    setsockopt(server->listening, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // A wide queue: a burst of connections must not have its handshakes
    // dropped and retried seconds later.
    if (bind(server->listening, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(server->listening, SOMAXCONN) != 0 ||
        getsockname(server->listening, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(server->wake, O_CLOEXEC) != 0) {
        close(server->listening);
        return fail();
    }
    server->port = ntohs(address.sin_port);
    Server* watched = server.get();
    server->watcher = std::thread([watched] { watched->AwaitFirstConnection(); });
    m_server = std::move(server);
    return true;
}

void DemoEngines::Stop() {
    if (!m_server) return;
    Server& server = *m_server;
    const char stop = 0;
    if (write(server.wake[1], &stop, 1) < 0) std::perror("seed-searcher: demo engines");
    if (server.watcher.joinable()) server.watcher.join();
    if (server.pages) server.pages->Stop();
    for (int fd : {server.listening, server.wake[0], server.wake[1]}) {
        if (fd >= 0) close(fd);
    }
    m_server.reset();
}

bool DemoEngines::Running() const {
    return m_server != nullptr;
}

int DemoEngines::Port() const {
    return m_server ? m_server->port : 0;
}

std::string DemoEngines::Origin() const {
    return m_server ? m_server->Origin() : std::string();
}

SiteSettings DemoEngines::Sites() const {
    SiteSettings sites;
    const std::string origin = Origin();
    if (origin.empty()) return sites;
    for (int engine = 1; engine <= kSettingsEngineCount; ++engine) {
        sites.engine_roots[static_cast<std::size_t>(engine - 1)] =
            origin + "/engine" + std::to_string(engine);
    }
    for (std::string& root : sites.player_roots) root = origin;
    sites.site = origin + "/site";
    return sites;
}

bool ResolveSites(const PartialSettings& partial, DemoEngines& demo, SiteSettings& sites,
                  std::string* error) {
    if (partial.Complete()) {
        sites = partial.With(SiteSettings{});
        return true;
    }
    if (!demo.Start(0, error)) return false;
    sites = partial.With(demo.Sites());
    return true;
}

}  // namespace app
