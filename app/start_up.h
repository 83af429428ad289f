#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/keyword_history.h"
#include "app/desktop_module.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/skin_package.h"
#include "dui/core/host_window.h"
#include "platform/platform.h"
#include "search/engine_catalogue.h"

namespace app {

// The main window's size and title.
inline constexpr int kMainWindowWidth = 470;
inline constexpr int kMainWindowHeight = 390;
inline constexpr const char* kMainWindowTitle = "澜橙种子搜索器";
// Before the skin package loads, the table holds this many empty entries so
// that every image lookup yields empty data.
inline constexpr int kInitialSkinEntries = 30;
// Window flags of the main window: title label, close and minimise buttons.
inline constexpr int kMainWindowFlags = dui::kFlagTitle | dui::kFlagClose | dui::kFlagMinimise;

// The data folder of an installation ("<prefix>/share/seed-searcher").
std::string InstalledDataDirectory();

// Application state, created once and kept until the program ends.
struct Application {
    SkinPackage skin{std::vector<std::string>(kInitialSkinEntries)};
    std::string skin_message;  // the loader's message, for diagnostics
    int window_width = 0;
    int window_height = 0;
    plat::HWND main_window = nullptr;
    std::unique_ptr<dui::ExHostWindow> main_host;
    // The controls, menus, search state and commands of the main window.
    std::unique_ptr<MainWindow> main_ui;
    // The engines, player pages and product site the windows talk to.
    SiteSettings sites;
    // The engine definitions. The main window reads them with
    // `read_engines`, when set, once its first frame is on the screen: the
    // first frame needs none of them. The built-in ones unless told.
    search::EngineCatalogue engines;
    std::function<search::EngineCatalogue()> read_engines = [] { return search::BuiltInEngines(); };
    // Keywords searched in earlier runs; off unless the desktop start
    // switches it on.
    KeywordHistory history;
    // Where an installed program keeps its res/ folder: the skin package and
    // the background image fall back to it.
    std::string data_directory = InstalledDataDirectory();
};

Application& App();

// Module start-up of the widget framework. The window-system layer must be
// initialised first. False when the host window class cannot be registered.
bool InitialiseModules();

// Loads the skin and opens the main window with its background and
// controls, shown: the first frame of its show animation does not wait for
// the welcome page, nor the animation for the engine pages, which are
// hidden until a tab is chosen. False when the window cannot be created.
bool OpenMainWindow();

// OpenMainWindow, then the application message loop until the main window
// is gone. Returns the quit message's exit code.
int StartApplication();

// The desktop program for what the command line resolved: the window
// system, the widget framework, the main window and its message loop, until
// the window closes. Returns the exit status; 1 when there is no display or
// no window.
int RunDesktopApplication(const DesktopStart& start);

// The application message loop: every message of the thread, translated
// and dispatched, until the quit message; returns its exit code. Nested runs
// serve every window of the program.
int RunMessageLoop();

// The directory of the running executable, without a trailing slash.
std::string ExecutableDirectory();

// Where the skin package lies: the executable's directory + "/res/skin.dll",
// else the installed data folder's res/skin.dll when only that exists.
std::string SkinPackagePath();

// The background image "res/0.jpg": relative to the current directory
// first, then beside the executable, then in the installed data folder, so
// that a program started from a desktop menu shows its background too.
// Empty when none exists.
std::string BackgroundImagePath();

}  // namespace app
