#pragma once
// The desktop's side of platform/desktop.h under GTK: GIO's default
// handlers of URI schemes and the native file chooser.

#include <functional>
#include <optional>
#include <string>

#include <gtk/gtk.h>

#include "platform/desktop.h"

namespace plat::gtk {

// Hands `uri` to the default handler GIO finds for its scheme; `done` runs
// from the main loop once the launch has succeeded or failed.
void LaunchDefaultHandler(GdkDisplay* display, const std::string& uri,
                          std::function<void(UriLaunchResult)> done);

// Shows the save dialog, modal for `parent` (may be null), and calls `done`
// with the chosen file name or nullopt when it is cancelled or closed.
void RunSaveChooser(GtkWindow* parent, const std::string& title_utf8, const std::string& name_utf8,
                    std::function<void(std::optional<std::string>)> done);

}  // namespace plat::gtk
