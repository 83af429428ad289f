#include "platform/desktop.h"

#include <memory>
#include <utility>

#include "platform/backend.h"
#include "platform/core_state.h"
#include "platform/gbk_text.h"
#include "platform/ui_thread.h"
#include "platform/win_api.h"

namespace plat {
namespace {

// The backend answers from inside its event handling, where no window
// procedure may run; the answer reaches the program as a task instead.
template <class Outcome>
std::function<void(Outcome)> OnUiThreadWhileAlive(HWND owner, std::function<void(Outcome)> done) {
    auto shared = std::make_shared<std::function<void(Outcome)>>(std::move(done));
    return [owner, shared](Outcome outcome) {
        PostToUiThread([owner, shared, outcome = std::move(outcome)]() mutable {
            if (IsWindow(owner)) (*shared)(std::move(outcome));
        });
    };
}

}  // namespace

void LaunchDefaultForUri(HWND owner, std::string uri, std::function<void(UriLaunchResult)> done) {
    if (!Core().system || !IsWindow(owner) || !done) return;
    auto in_gbk = [done = std::move(done)](UriLaunchResult result) {
        result.detail = Utf8ToGbkText(result.detail);
        done(std::move(result));
    };
    Core().system->LaunchUri(owner, uri,
                             OnUiThreadWhileAlive<UriLaunchResult>(owner, std::move(in_gbk)));
}

void ShowSaveDialog(HWND owner, std::string_view title, std::string_view suggested_name,
                    std::function<void(std::optional<std::string>)> done) {
    if (!Core().system || !IsWindow(owner) || !done) return;
    Core().system->ChooseSaveFile(
        owner, GbkToUtf8Text(title), GbkToUtf8Text(suggested_name),
        OnUiThreadWhileAlive<std::optional<std::string>>(owner, std::move(done)));
}

}  // namespace plat
