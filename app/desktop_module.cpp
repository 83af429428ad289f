#include "app/desktop_module.h"

#include <dlfcn.h>

#include <cstdio>

#include "util/executable_directory.h"

namespace app {
namespace {

constexpr const char* kDesktopModuleFileName = "libseed-desktop.so";

}  // namespace

std::string DesktopModulePath() { return util::ModulePath(kDesktopModuleFileName); }

int RunDesktop(const DesktopStart& start) {
    const std::string path = DesktopModulePath();
    // RTLD_GLOBAL: the browser module, loaded later, resolves the window
    // system's functions from this one. Lazy binding, as the executable's
    // own: binding every function of GTK up front would cost start-up time.
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_GLOBAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        std::fprintf(stderr, "seed-searcher: cannot load the window: %s\n",
                     reason != nullptr ? reason : path.c_str());
        return 1;
    }
    const auto entry = reinterpret_cast<DesktopEntry>(dlsym(handle, kDesktopEntryName));
    if (entry == nullptr) {
        std::fprintf(stderr, "seed-searcher: %s is not the desktop module of this program\n",
                     path.c_str());
        return 1;
    }
    // Never closed: GTK cannot be unloaded from a running process.
    return entry(start);
}

}  // namespace app
