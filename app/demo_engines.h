#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "app/demo_catalogue.h"
#include "app/settings.h"

namespace app {

inline constexpr int kDemoRowsPerPage = 10;

// Result pages in each engine's own format, made from the given rows. Pages
// of engines 1 and 2 are UTF-8; engine 3's page is GBK, with characters GBK
// lacks written as numeric character references. `origin` is the address the
// server is reached at ("http://127.0.0.1:port"); engine 2's rows link to
// detail pages below it.
std::string RenderEngine1Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page);
std::string RenderEngine2Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page, std::string_view origin);
std::string RenderEngine3Page(std::span<const DemoItem* const> rows, std::string_view keyword,
                              int page);

// The catalogue items whose name contains the UTF-8 keyword, ignoring ASCII
// letter case (an empty keyword matches every item), on the given 1-based
// page of kDemoRowsPerPage rows. Pages before the first or after the last
// have no rows.
std::vector<const DemoItem*> DemoSearch(std::string_view keyword, long long page);

// A loopback HTTP server that plays the three engines, engine 2's detail
// pages, the two player pages and the product's site, so the program works
// offline. It listens on 127.0.0.1 and serves from its own thread until
// Stop() or destruction.
class DemoEngines {
public:
    DemoEngines();
    ~DemoEngines();
    DemoEngines(const DemoEngines&) = delete;
    DemoEngines& operator=(const DemoEngines&) = delete;

    // Port 0 picks a free port. False, with the reason in `error`, when the
    // port cannot be bound. Starting a running server does nothing.
    bool Start(int port = 0, std::string* error = nullptr);
    void Stop();
    bool Running() const;

    int Port() const;
    std::string Origin() const;  // "http://127.0.0.1:<port>"
    // The addresses to configure the program with.
    SiteSettings Sites() const;

private:
    struct Server;
    std::unique_ptr<Server> m_server;
};

// The complete settings: `partial` where it has a value, the demo engines'
// addresses for the rest. Starts `demo` only when something falls back to it;
// false, with the reason in `error`, when it had to start and could not.
bool ResolveSites(const PartialSettings& partial, DemoEngines& demo, SiteSettings& sites,
                  std::string* error = nullptr);

}  // namespace app
