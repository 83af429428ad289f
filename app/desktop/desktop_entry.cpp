// The entry point of the desktop module (libseed-desktop.so); see
// app/desktop_module.h.
#include <type_traits>

#include "app/desktop_module.h"
#include "app/start_up.h"

extern "C" [[gnu::visibility("default")]] int seed_desktop_main(const app::DesktopStart& start) {
    return app::RunDesktopApplication(start);
}

// The type the loader calls it through.
static_assert(std::is_same_v<decltype(&seed_desktop_main), app::DesktopEntry>);
