#pragma once
// The HTTP transport (libcurl and the TLS, name-resolution and compression
// libraries below it) and the page server (services/page_server.h) live in a
// module beside the executable,
// libseed-http.so, loaded on the program's first request or page served: the
// window's start-up and the commands that make no request never map them. The
// module takes everything else of services/ from the executable.
//
// In the program, WebRequestResult, PrepareHttpTransport and StartPageServer
// load the module and run its own; tests and benchmarks link the module's
// code itself.

#include <string>
#include <string_view>

#include "services/http.h"
#include "services/page_server.h"

namespace services {

inline constexpr const char* kHttpModuleEntry = "seed_http_module";
inline constexpr int kHttpModuleVersion = 1;

struct HttpModuleTable {
    int version = 0;
    HttpResult (*request)(std::string_view url, HttpRequestOptions options) = nullptr;
    bool (*prepare)(std::string* error) = nullptr;
    std::unique_ptr<PageServer> (*start_page_server)(int listening, PageHandler handler,
                                                     std::string* error) = nullptr;
};
using HttpModuleEntry = const HttpModuleTable* (*)();

// Where the module is loaded from: beside the executable, else the
// installed private library folder.
std::string HttpModulePath();

}  // namespace services
