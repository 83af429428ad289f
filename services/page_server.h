#pragma once
// A small HTTP server of generated pages on a socket the caller has bound
// and put to listening (the demo engines serve the program this way). The
// server is the HTTP module's (services/http_module.h): in the program,
// StartPageServer loads the module.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace services {

struct PageRequest {
    std::string method;  // "GET", "HEAD", ...
    std::string path;    // percent-decoded, without the query
    std::vector<std::pair<std::string, std::string>> params;  // the query's, decoded

    // The first value of a query parameter, "" when it has none.
    std::string Param(std::string_view name) const;
};

struct Page {
    int status = 200;
    std::string body;
    std::string content_type;
};

// Called on the server's connection threads, several at once.
using PageHandler = std::function<Page(const PageRequest&)>;

// Answers every request on the socket with the handler's page, each
// connection on a thread of its own; requests over 64 KiB and connections
// idle, reading or writing for more than a few seconds are cut off.
class PageServer {
public:
    virtual ~PageServer() = default;
    // Stops accepting, closes the socket and waits for the connections in
    // progress to end. Also done on destruction.
    virtual void Stop() = 0;
};

// Starts serving on `listening`, a bound socket that listens; the server
// owns it from here on, also when starting fails. Null, with the reason in
// `error`, when the server cannot run.
std::unique_ptr<PageServer> StartPageServer(int listening, PageHandler handler,
                                            std::string* error = nullptr);

}  // namespace services
