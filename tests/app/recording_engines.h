#pragma once

#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/demo_engines.h"
#include "app/settings.h"
#include "tests/support/loopback_server.h"

namespace desktop_session {

// The three engines, engine 2's detail pages and the two player pages on a
// loopback server, with the demo engines' catalogue and page formats. It
// remembers every request target (path and query, as sent).
class RecordingEngines {
public:
    RecordingEngines() {
        m_server.Routes().set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response& response) {
                Route(request, response);
                return httplib::Server::HandlerResponse::Handled;
            });
        m_server.Start();
    }

    std::string Root(const std::string& path) const { return m_server.Url(path); }
    // Site options for the program.
    std::vector<std::string> SiteOptions() const {
        return {"--engine-root", "1=" + Root("/e1"), "--engine-root", "2=" + Root("/e2"),
                "--engine-root", "3=" + Root("/e3"), "--player-root", "1=" + Root("/p1"),
                "--player-root", "2=" + Root("/p2"), "--site", Root("/site")};
    }
    app::SiteSettings Sites() const {
        app::SiteSettings sites;
        for (int n = 1; n <= 3; ++n) {
            sites.engine_roots[static_cast<std::size_t>(n - 1)] = Root("/e" + std::to_string(n));
        }
        sites.player_roots = {Root("/p1"), Root("/p2")};
        sites.site = Root("/site");
        return sites;
    }
    // Every answer waits this long first.
    void Delay(int milliseconds) { m_delay_ms = milliseconds; }
    // Detail pages lose the end of their text area.
    void BreakDetailPages(bool broken) { m_broken_detail = broken; }
    void ClearTargets() {
        std::lock_guard lock(m_mutex);
        m_targets.clear();
    }
    std::vector<std::string> Targets() const {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }
    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_targets.size();
    }
    // The address engine 2's detail page of item `id` holds.
    static std::string DetailAddress(const std::string& id) {
        return "magnet:?xt=urn:btih:DETAIL" + id;
    }

private:
    void Route(const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard lock(m_mutex);
            m_targets.push_back(request.target);
        }
        if (const int delay = m_delay_ms; delay > 0) usleep(static_cast<useconds_t>(delay) * 1000);
        const std::string& path = request.path;
        const auto page_of = [](const std::string& text) {
            try {
                return std::stoi(text);
            } catch (...) {
                return 0;
            }
        };
        if (path == "/e1/" || path == "/e1") {
            const std::string keyword = request.get_param_value("s");
            const int page = page_of(request.get_param_value("p"));
            response.set_content(app::RenderEngine1Page(app::DemoSearch(keyword, page), keyword, page),
                                 "text/html; charset=utf-8");
            return;
        }
        if (path.starts_with("/e2/search/")) {
            const std::string rest = path.substr(11);
            const std::size_t at = rest.rfind("/currentPage/");
            const std::string keyword = rest.substr(0, at);
            const int page = at == std::string::npos ? 0 : page_of(rest.substr(at + 13));
            // Detail links lead back here.
            response.set_content(app::RenderEngine2Page(app::DemoSearch(keyword, page), keyword,
                                                        page, m_server.Url("")),
                                 "text/html; charset=utf-8");
            return;
        }
        if (path.starts_with("/engine2/detail/")) {
            const std::string id = path.substr(16);
            response.set_content("<html><body><textarea rows=\"3\" readonly>" + DetailAddress(id) +
                                     (m_broken_detail ? "" : "</textarea>") + "</body></html>",
                                 "text/html; charset=utf-8");
            return;
        }
        if (path.starts_with("/e3//search/")) {
            const std::string keyword = path.substr(12);
            const int page = page_of(request.get_param_value("page"));
            response.set_content(app::RenderEngine3Page(app::DemoSearch(keyword, page), keyword, page),
                                 "text/html");
            return;
        }
        response.set_content("<html><body>page</body></html>", "text/html; charset=utf-8");
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
    std::atomic<int> m_delay_ms{0};
    std::atomic<bool> m_broken_detail{false};
    // Last: it stops serving before what its handler uses goes away.
    testing_support::LoopbackServer m_server;
};

}  // namespace desktop_session
