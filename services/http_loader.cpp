// The program's WebRequestResult, PrepareHttpTransport and StartPageServer:
// the HTTP module's (see services/http_module.h).
#include <dlfcn.h>
#include <unistd.h>

#include "services/http_module.h"
#include "util/executable_directory.h"

namespace services {
namespace {

constexpr const char* kModuleFileName = "libseed-http.so";

struct LoadedModule {
    const HttpModuleTable* table = nullptr;
    std::string error;  // why there is no table
};

LoadedModule Load() {
    LoadedModule loaded;
    const std::string path = HttpModulePath();
    // Lazy binding, as at exec: binding every function of the transfer
    // library and the ones below it up front would cost the command line's
    // search more than the request itself. The module is built with the
    // program, and the entry's version is checked below.
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        loaded.error = "cannot load the HTTP module: " + std::string(reason != nullptr ? reason : path);
        return loaded;
    }
    const auto entry = reinterpret_cast<HttpModuleEntry>(dlsym(handle, kHttpModuleEntry));
    const HttpModuleTable* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->version != kHttpModuleVersion || table->request == nullptr ||
        table->prepare == nullptr || table->start_page_server == nullptr) {
        loaded.error = path + " is not the HTTP module of this program";
        dlclose(handle);
        return loaded;
    }
    // Never closed: requests on other threads may be running in it.
    loaded.table = table;
    return loaded;
}

// Loaded once, by whichever thread asks first; the others wait for it.
const LoadedModule& Module() {
    static const LoadedModule module = Load();
    return module;
}

}  // namespace

std::string HttpModulePath() { return util::ModulePath(kModuleFileName); }

bool PrepareHttpTransport(std::string* error) {
    const LoadedModule& module = Module();
    if (module.table == nullptr) {
        if (error != nullptr) *error = module.error;
        return false;
    }
    return module.table->prepare(error);
}

HttpResult WebRequestResult(std::string_view url, HttpRequestOptions options) {
    const LoadedModule& module = Module();
    if (module.table == nullptr) {
        HttpResult result;
        result.failure = HttpFailure::Other;
        result.detail = module.error;
        return result;
    }
    return module.table->request(url, std::move(options));
}

std::unique_ptr<PageServer> StartPageServer(int listening, PageHandler handler, std::string* error) {
    const LoadedModule& module = Module();
    if (module.table == nullptr) {
        if (listening >= 0) close(listening);
        if (error != nullptr) *error = module.error;
        return nullptr;
    }
    return module.table->start_page_server(listening, std::move(handler), error);
}

}  // namespace services
