#pragma once
// The desktop front end (the windows, the widget framework and the window
// system) lives in a module beside the executable, libseed-desktop.so,
// loaded only when the window opens: commands that print and exit never map
// GTK, cairo or Pango. The module takes everything else (search, services,
// settings, the demo engines) from the executable that loads it.

#include <functional>
#include <string>

#include "app/settings.h"
#include "search/engine_catalogue.h"

namespace app {

// What the command line hands the window: the sites it resolved (the demo
// engines among them keep serving from the command line's side), how to
// read the engines (called once the window is on the screen), and whether
// keywords are remembered.
struct DesktopStart {
    SiteSettings sites;
    std::function<search::EngineCatalogue()> read_engines;
    bool history = true;
};

// The module's one entry point: opens the main window and runs the program
// until it closes; returns the exit status.
inline constexpr const char* kDesktopEntryName = "seed_desktop_main";
using DesktopEntry = int (*)(const DesktopStart& start);

// Where the module is loaded from: beside the executable, else the
// installed private library folder.
std::string DesktopModulePath();

// Loads the module and runs its entry. When the module cannot be loaded the
// reason goes to stderr and the status is 1.
int RunDesktop(const DesktopStart& start);

}  // namespace app
