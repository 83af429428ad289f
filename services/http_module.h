#pragma once
// The HTTP transport (libcurl and the TLS, name-resolution and compression
// libraries below it) lives in a module beside the executable,
// libseed-http.so, loaded on the program's first request: the window's
// start-up and the commands that make no request never map them. The
// module takes everything else of services/ from the executable.
//
// In the program, WebRequestResult and PrepareHttpTransport (services/http.h)
// load the module and run its own; tests and benchmarks link the transport
// (services/http_transport.cpp) itself.

#include <string>
#include <string_view>

#include "services/http.h"

namespace services {

inline constexpr const char* kHttpModuleEntry = "seed_http_module";
inline constexpr int kHttpModuleVersion = 1;

struct HttpModuleTable {
    int version = 0;
    HttpResult (*request)(std::string_view url, HttpRequestOptions options) = nullptr;
    bool (*prepare)(std::string* error) = nullptr;
};
using HttpModuleEntry = const HttpModuleTable* (*)();

// Where the module is loaded from: beside the executable, else the
// installed private library folder.
std::string HttpModulePath();

}  // namespace services
