#include "app/start_up.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "dui/controls/controls_module.h"
#include "dui/core/font.h"
#include "dui/core/module.h"
#include "platform/backend.h"
#include "util/executable_directory.h"

namespace app {
namespace {

constexpr const char* kBackgroundPath = "res/0.jpg";
constexpr const char* kSkinPath = "res/skin.dll";
constexpr std::size_t kMaxBackgroundBytes = 32u * 1024u * 1024u;

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}


}  // namespace

std::string InstalledDataDirectory() {
#ifdef SEED_INSTALL_DATA_DIR
    // A UTF-8 literal: the path's bytes must not pass through the GBK
    // execution character set.
    return reinterpret_cast<const char*>(SEED_INSTALL_DATA_DIR);
#else
    return {};
#endif
}

std::string ExecutableDirectory() { return util::ExecutableDirectory(); }

Application& App() {
    static Application application;
    return application;
}

std::string SkinPackagePath() {
    const std::string beside = ExecutableDirectory() + "/" + kSkinPath;
    if (IsRegularFile(beside)) return beside;
    const std::string& data = App().data_directory;
    if (!data.empty() && IsRegularFile(data + "/" + kSkinPath)) return data + "/" + kSkinPath;
    return beside;
}

std::string BackgroundImagePath() {
    if (IsRegularFile(kBackgroundPath)) return kBackgroundPath;
    const std::string beside = ExecutableDirectory() + "/" + kBackgroundPath;
    if (IsRegularFile(beside)) return beside;
    const std::string& data = App().data_directory;
    if (!data.empty() && IsRegularFile(data + "/" + kBackgroundPath)) {
        return data + "/" + kBackgroundPath;
    }
    return {};
}

bool InitialiseModules() {
    // The controls library installs the title label of host windows, so it
    // starts before the first Attach.
    return dui::ModuleStartup() && dui::ControlsStartup();
}

bool OpenMainWindow() {
    Application& app = App();

    // A package that fails to load leaves the empty entries in place: the
    // window still opens, its buttons drawn without their images.
    LoadSkinPackage(SkinPackagePath(), app.skin, app.skin_message);

    app.window_width = kMainWindowWidth;
    app.window_height = kMainWindowHeight;
    dui::HostWindowOptions window_options;
    window_options.title = kMainWindowTitle;
    window_options.width = app.window_width;
    window_options.height = app.window_height;
    app.main_window = dui::CreateHostWindow(window_options);
    if (app.main_window == nullptr) return false;

    // A missing or unreadable image leaves the window without one.
    std::string background;
    const std::string background_path = BackgroundImagePath();
    if (background_path.empty() ||
        !ReadWholeFile(background_path, kMaxBackgroundBytes, background)) {
        background.clear();
    }

    dui::AttachOptions attach;
    attach.background_image = std::move(background);
    attach.background_colour = 0xFFFFFF;
    attach.flags = kMainWindowFlags;
    attach.image_mode = 2;  // centred
    attach.frame_style = 7;
    app.main_host = std::make_unique<dui::ExHostWindow>();
    if (!app.main_host->Attach(app.main_window, std::move(attach))) {
        plat::DestroyWindow(app.main_window);
        app.main_window = nullptr;
        return false;
    }
    app.main_ui = std::make_unique<MainWindow>();
    MainWindow& ui = *app.main_ui;
    ui.UseHistory(&app.history);
    // The show animation's first frame is the background and the caption,
    // a thumbnail at the window's centre; the welcome page is in the frames
    // after it. The engine pages, hidden until a tab is chosen, are built
    // once the animation has run: input that came meanwhile waits in the
    // queue until the pages it may be for exist.
    app.main_host->Show(dui::kAnimationCentre, dui::kShowAnimationMs, [&] {
        if (app.read_engines) app.engines = std::exchange(app.read_engines, nullptr)();
        ui.BuildFirstPage(*app.main_host, app.skin, app.sites, app.engines);
    });
    if (plat::IsWindow(app.main_window)) ui.BuildEnginePages(app.skin);
    app.main_host->CloseAnimation(dui::kAnimationCentre);
    return true;
}

int StartApplication() {
    Application& app = App();
    if (!OpenMainWindow()) return 1;
    const int exit_code = RunMessageLoop();
    // The controls go before the host they live in.
    app.main_ui.reset();
    app.main_host.reset();
    app.main_window = nullptr;
    return exit_code;
}

int RunDesktopApplication(const DesktopStart& start) {
    App().sites = start.sites;
    App().read_engines = start.read_engines;
    if (start.history) {
        App().history = KeywordHistory(KeywordHistoryPath());
        App().history.Load();
    }
    // Everything is drawn into cairo image surfaces: GDK's OpenGL probing at
    // display open would load the whole GL stack (a large share of the
    // start-up time and memory) for nothing. A user's own setting wins.
    setenv("GDK_GL", "disable", 0);
    // The fonts are made ready while the window system starts.
    dui::PrepareFonts();
    plat::Initialise(plat::Backend::Gtk);
    if (plat::CurrentWindowSystem() == nullptr) return 1;
    if (!InitialiseModules()) {
        std::fputs("seed-searcher: the window class could not be registered\n", stderr);
        plat::Shutdown();
        return 1;
    }
    const int exit_code = StartApplication();
    plat::Shutdown();
    return exit_code;
}

int RunMessageLoop() {
    plat::MSG message{};
    for (;;) {
        const plat::BOOL result = plat::GetMessage(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        if (result < 0) return 1;
        plat::TranslateMessage(&message);
        plat::DispatchMessage(&message);
        // The quit message the main window posts when it is destroyed ends
        // the innermost loop only; when that was a nested one (a player
        // window's), the loops around it end here instead of waiting on.
        const plat::HWND main_window = App().main_window;
        if (main_window != nullptr && !plat::IsWindow(main_window)) return 0;
    }
}

}  // namespace app
