// The worker pool behind RunInBackground.
//
// Workers are detached threads sharing a pool that is never destroyed, so a
// job still running when the program shuts down or exits touches nothing
// that is gone. A worker left idle for a while ends.

#include "platform/background.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

// Enough for every engine's request at once plus a few stragglers on a dead
// site; more jobs wait their turn rather than piling up threads.
constexpr int kMaxWorkers = 8;
constexpr auto kIdleWorkerLifetime = std::chrono::seconds(10);

struct Job {
    HWND window = nullptr;
    uint64_t generation = 0;
    std::function<std::shared_ptr<void>()> work;        // worker side
    std::function<void(std::shared_ptr<void>)> finish;  // UI side
    std::shared_ptr<void> result;
    std::string failure;
};

struct Pool {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<Job>> queue;
    int workers = 0;
    int idle = 0;
    // UI thread only. A new backend starts a new generation: results of
    // jobs started for the old one are dropped.
    uint64_t generation = 1;
    size_t pending = 0;
};

Pool& ThePool() {
    static Pool* pool = new Pool;
    return *pool;
}

bool WindowAlive(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record && !record->destroying;
}

// UI thread: the job's result arrives.
void Deliver(const std::shared_ptr<Job>& job) {
    Pool& pool = ThePool();
    if (job->generation != pool.generation) return;
    if (pool.pending > 0) pool.pending -= 1;
    std::function<void(std::shared_ptr<void>)> finish = std::move(job->finish);
    std::shared_ptr<void> result = std::move(job->result);
    if (!job->failure.empty()) {
        std::fprintf(stderr, "platform: a background job failed, its result is dropped: %s\n",
                     job->failure.c_str());
        return;
    }
    if (!WindowAlive(job->window)) return;
    finish(std::move(result));
}

void Run(std::shared_ptr<Job> job) {
    try {
        job->result = job->work();
    } catch (const std::exception& error) {
        job->failure = error.what();
    } catch (...) {
        job->failure = "a non-standard exception";
    }
    job->work = nullptr;
    // The task becomes the job's only owner: `finish` dies on the UI thread.
    PostToUiThread([job = std::move(job)] { Deliver(job); });
}

void WorkerLoop() {
    Pool& pool = ThePool();
    std::unique_lock lock(pool.mutex);
    for (;;) {
        if (pool.queue.empty()) {
            pool.idle += 1;
            const bool woken = pool.wake.wait_for(lock, kIdleWorkerLifetime,
                                                  [&pool] { return !pool.queue.empty(); });
            pool.idle -= 1;
            if (!woken) {
                pool.workers -= 1;
                return;
            }
        }
        std::shared_ptr<Job> job = std::move(pool.queue.front());
        pool.queue.pop_front();
        lock.unlock();
        Run(std::move(job));
        lock.lock();
    }
}

}  // namespace

namespace detail {

void StartBackgroundJob(HWND window, std::function<std::shared_ptr<void>()> work,
                        std::function<void(std::shared_ptr<void>)> finish) {
    if (!work || !finish || !WindowAlive(window)) return;
    Pool& pool = ThePool();
    auto job = std::make_shared<Job>();
    job->window = window;
    job->generation = pool.generation;
    job->work = std::move(work);
    job->finish = std::move(finish);
    pool.pending += 1;

    std::unique_lock lock(pool.mutex);
    pool.queue.push_back(job);
    pool.wake.notify_one();
    // Idle workers each take one waiting job; a thread more only when the
    // waiting jobs outnumber them.
    if (pool.queue.size() <= static_cast<size_t>(pool.idle) || pool.workers >= kMaxWorkers) return;
    try {
        std::thread(WorkerLoop).detach();
        pool.workers += 1;
    } catch (const std::system_error& error) {
        if (pool.workers > 0) return;   // a busy worker takes it later
        // No thread will ever run it: it fails now, and says why.
        pool.queue.pop_back();
        lock.unlock();
        job->work = nullptr;
        job->failure = std::string("cannot start a worker thread: ") + error.what();
        PostToUiThread([job = std::move(job)] { Deliver(job); });
    }
}

}  // namespace detail

size_t BackgroundJobsPending() { return ThePool().pending; }

void ResetBackgroundJobs() {
    Pool& pool = ThePool();
    pool.generation += 1;
    pool.pending = 0;
    // Jobs no worker has started yet will never be wanted; they die here,
    // on the UI thread, unlocked.
    std::deque<std::shared_ptr<Job>> unstarted;
    {
        std::lock_guard lock(pool.mutex);
        unstarted.swap(pool.queue);
    }
}

}  // namespace plat
