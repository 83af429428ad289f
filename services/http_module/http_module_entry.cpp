// The entry point of the HTTP module (libseed-http.so); see
// services/http_module.h. The module is linked with -Bsymbolic, so the
// functions named here are the transport's own, not the program's
// stand-ins that load this module.
#include "services/http_module.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] const services::HttpModuleTable* seed_http_module() {
    static const services::HttpModuleTable table{services::kHttpModuleVersion,
                                                 &services::WebRequestResult,
                                                 &services::PrepareHttpTransport,
                                                 &services::StartPageServer};
    return &table;
}

// The type the loader calls it through.
static_assert(std::is_same_v<decltype(&seed_http_module), services::HttpModuleEntry>);
