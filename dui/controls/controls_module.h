#pragma once

namespace dui {

// Start-up of the controls library. The application calls it after
// ModuleStartup() and before the first host window is attached: it installs
// the factory through which every host creates its caption title label (an
// ExLabel). Starts the core first when that has not happened yet; false when
// the core could not start.
bool ControlsStartup();

}  // namespace dui
