#pragma once
// Background work: a blocking job (an HTTP fetch) runs on a worker thread and
// its result comes back to the UI thread, so that a slow or dead site never
// freezes a window.
//
//   plat::RunInBackground(window,
//       [url] { return FetchText(url); },                  // worker thread
//       [this](std::string page) { ShowResults(page); });  // UI thread
//
// Contract:
//  - `done` runs on the UI thread, from a message loop (see PostToUiThread),
//    exactly once with the job's result, unless `window` was destroyed
//    meanwhile: then the result is dropped and `done` never runs. A window
//    that is not alive when RunInBackground is called starts no job.
//  - The job runs without the UI: it must own everything it touches (capture
//    by value) and must not call the window-system layer except PostMessage
//    and PostToUiThread. It may outlive its window and even Shutdown: jobs
//    still running then finish on their own and their results are dropped,
//    so a job must bound its own running time (HTTP jobs have time-outs).
//  - A job reports failure in its Result. An exception escaping it is
//    reported on stderr and its result is dropped, as for a destroyed window.
//  - Jobs run concurrently on a small pool of worker threads (threads that
//    stay idle end); when every worker is busy, jobs wait their turn.
//  - `done` is destroyed on the UI thread (it may hold UI objects); `job` may
//    be destroyed on the worker.

#include <concepts>
#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/win_types.h"

namespace plat {

namespace detail {

// `work` runs on a worker thread; `finish` runs on the UI thread with what
// work returned, unless the window is gone (or work threw).
void StartBackgroundJob(HWND window, std::function<std::shared_ptr<void>()> work,
                        std::function<void(std::shared_ptr<void>)> finish);

}  // namespace detail

template <class Result>
void RunInBackground(HWND window, std::function<Result()> job, std::function<void(Result)> done) {
    static_assert(std::is_move_constructible_v<Result>, "a job's result must be movable");
    detail::StartBackgroundJob(
        window,
        [job = std::move(job)]() -> std::shared_ptr<void> { return std::make_shared<Result>(job()); },
        [done = std::move(done)](std::shared_ptr<void> result) {
            done(std::move(*static_cast<Result*>(result.get())));
        });
}

// The same with the result type taken from the job, for lambdas.
template <class Job, class Done>
    requires std::invocable<Job&> && std::invocable<Done&, std::invoke_result_t<Job&>>
void RunInBackground(HWND window, Job job, Done done) {
    using Result = std::remove_cvref_t<std::invoke_result_t<Job&>>;
    RunInBackground<Result>(window, std::function<Result()>(std::move(job)),
                            std::function<void(Result)>(std::move(done)));
}

// Jobs started and not yet delivered or dropped.
size_t BackgroundJobsPending();

}  // namespace plat
