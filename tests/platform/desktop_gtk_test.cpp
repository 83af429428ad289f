// Handing an address to the desktop through GIO, with a stand-in handler: a
// desktop entry in a private data folder, the default for magnet links,
// that records the address it is started with.

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/desktop.h"
#include "platform/platform.h"
#include "tests/support/x_input.h"

namespace {

using namespace plat;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DesktopHandOff, TheSchemesHandlerReceivesTheUriAndAMissingOneIsReported) {
    char folder_template[] = "/tmp/seed-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(folder_template), nullptr);
    const std::string folder = folder_template;
    const std::string received = folder + "/received";
    mkdir((folder + "/applications").c_str(), 0700);
    mkdir((folder + "/config").c_str(), 0700);
    WriteFile(folder + "/record", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " + received + "\n");
    chmod((folder + "/record").c_str(), 0700);
    WriteFile(folder + "/applications/seed-recorder.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\nExec=" + folder +
                  "/record %u\nMimeType=x-scheme-handler/magnet;\n");
    WriteFile(folder + "/config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/magnet=seed-recorder.desktop\n");
    // Only this folder's programs: none of the machine's own handlers.
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    setenv("XDG_DATA_DIRS", (folder + "/none").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (folder + "/none").c_str(), 1);

    if (testing_support::StartGtkBackend() == nullptr) GTEST_SKIP() << "needs an X display";
    WNDCLASSEX window_class{};
    window_class.lpfnWndProc = DefWindowProc;
    window_class.lpszClassName = "DesktopTestWindow";
    RegisterClassEx(&window_class);
    const HWND window = CreateWindowEx(0, "DesktopTestWindow", "desktop", WS_POPUP, 0, 0, 10, 10,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    const std::string uri = "magnet:?xt=urn:btih:0123456789ABCDEF&dn=%E7%94%B5%20a";
    std::optional<UriLaunchResult> launched;
    LaunchDefaultForUri(window, uri, [&](UriLaunchResult result) { launched = result; });
    ASSERT_TRUE(testing_support::PumpUntil([&] { return launched.has_value(); }));
    EXPECT_EQ(launched->outcome, UriLaunch::Launched) << launched->detail;
    EXPECT_TRUE(testing_support::PumpUntil([&] { return !ReadFile(received).empty(); }));
    EXPECT_EQ(ReadFile(received), uri + "\n");

    std::optional<UriLaunchResult> missing;
    LaunchDefaultForUri(window, "ed2k://|file|a|1|0123456789ABCDEF0123456789ABCDEF|/",
                        [&](UriLaunchResult result) { missing = result; });
    ASSERT_TRUE(testing_support::PumpUntil([&] { return missing.has_value(); }));
    EXPECT_EQ(missing->outcome, UriLaunch::NoHandler) << missing->detail;

    DestroyWindow(window);
    Shutdown();
    std::filesystem::remove_all(folder);
}

}  // namespace
