// Backend choice. Kept in its own file: it is the one place that needs the
// GTK backend, so programs and tests that only use the headless backend do
// not link it.

#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace plat {

void Initialise(Backend kind) {
    switch (kind) {
    case Backend::Gtk: InstallWindowSystem(CreateGtkWindowSystem()); break;
    case Backend::Headless: headless::Reset(); break;
    }
}

}  // namespace plat
