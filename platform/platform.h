#pragma once
// The window-system layer: the Windows interfaces the program is written
// against, reduced to what it calls, with their names, numbers and
// semantics. Include this header; backends also include platform/backend.h.

#include "platform/native_child.h"
#include "platform/popup_windows.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "platform/win_api.h"
#include "platform/win_types.h"

namespace plat {

enum class Backend { Gtk, Headless };

// Picks the backend before anything else is called. Calling it again
// destroys every window (without messages) and starts afresh.
void Initialise(Backend kind);

// Destroys every remaining window (sending the usual messages) and releases
// the backend.
void Shutdown();

}  // namespace plat
