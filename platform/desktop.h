#pragma once
// What the program asks of the desktop beyond its own windows: handing an
// address to the program the desktop names for its scheme (the default
// handler of x-scheme-handler/<scheme>), and the desktop's own dialog for
// choosing where a file is saved.
//
// Both return at once. `done` runs later on the UI thread, from a message
// loop as a PostToUiThread task does, exactly once, unless `owner` is
// destroyed first; then it never runs.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace plat {

enum class UriLaunch {
    Launched,   // the handler was started with the address
    NoHandler,  // the desktop names no program for the scheme
    Failed,     // a program is named, but starting it failed
};

struct UriLaunchResult {
    UriLaunch outcome = UriLaunch::Failed;
    std::string detail;  // the desktop's own words about a failure (GBK)
};

// `uri` must be a whole URI of printable ASCII; it is passed as one argument
// and never through a shell.
void LaunchDefaultForUri(HWND owner, std::string uri, std::function<void(UriLaunchResult)> done);

// `title` and `suggested_name` are GBK. `done` receives the chosen path as
// the file system takes it (not GBK), or nullopt when the user cancelled.
void ShowSaveDialog(HWND owner, std::string_view title, std::string_view suggested_name,
                    std::function<void(std::optional<std::string>)> done);

}  // namespace plat
