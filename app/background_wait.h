#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/background.h"
#include "platform/platform.h"

namespace app {

// Tells a wait which queued messages to throw away instead of dispatching
// (true = drop). Messages it keeps are translated and dispatched as usual.
using MessageFilter = std::function<bool(const plat::MSG&)>;

// Serves the thread's messages until `finished` says so, dropping what
// `drop` refuses: painting, timers, window moves, the caption buttons and
// every other window keep working meanwhile. Returns false, without waiting
// any longer, when `window` is destroyed or the quit message arrives; the
// quit message is posted again so that the enclosing loop ends as well.
bool ServeMessagesUntil(plat::HWND window, const std::function<bool()>& finished,
                        const MessageFilter& drop);

// Runs `job` on a worker thread and returns its result once it is back,
// serving messages meanwhile as ServeMessagesUntil does. nullopt when the
// window went away or the program is ending; the job's result is then
// dropped whenever it arrives.
template <class Result>
std::optional<Result> WaitForBackgroundJob(plat::HWND window, std::function<Result()> job,
                                           const MessageFilter& drop) {
    if (!plat::IsWindow(window)) return std::nullopt;
    // Shared with the completion, which may run after this call has given
    // up (a quit while the job still runs).
    auto result = std::make_shared<std::optional<Result>>();
    plat::RunInBackground<Result>(window, std::move(job),
                                  [result](Result value) { *result = std::move(value); });
    if (!ServeMessagesUntil(window, [&result] { return result->has_value(); }, drop)) {
        return std::nullopt;
    }
    return std::move(*result);
}

}  // namespace app
