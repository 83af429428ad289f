// Work handed to the UI thread by other threads: posted messages and tasks
// wait in an inbox of their own (the core's queues belong to the UI thread)
// until a message loop of the UI thread takes them.

#include <atomic>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

struct Inbox {
    std::mutex mutex;
    std::deque<MSG> messages;
    std::deque<std::function<void()>> tasks;
    WindowSystem* wake_target = nullptr;
    std::thread::id ui_thread;
    std::atomic<bool> pending{false};
};

// Never destroyed: worker threads may still post while the program exits.
Inbox& TheInbox() {
    static Inbox* inbox = new Inbox;
    return *inbox;
}

// Call with the inbox locked. Only the first post after the UI thread
// emptied the inbox wakes it: until it empties it again it looks at
// `pending` before every wait.
void WakeLocked(Inbox& inbox) {
    const bool was_pending = inbox.pending.exchange(true, std::memory_order_acq_rel);
    if (!was_pending && inbox.wake_target) inbox.wake_target->Wake();
}

void RunTask(std::function<void()>& task) {
    try {
        task();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "platform: a task run on the UI thread threw: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "platform: a task run on the UI thread threw a non-standard exception\n");
    }
}

}  // namespace

void AttachUiThread(WindowSystem* system) {
    Inbox& inbox = TheInbox();
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(inbox.mutex);
        inbox.wake_target = system;
        inbox.ui_thread = std::this_thread::get_id();
        inbox.messages.clear();
        dropped.swap(inbox.tasks);
        inbox.pending.store(false, std::memory_order_release);
    }
    // The tasks' captures are destroyed here, on the UI thread, unlocked.
    dropped.clear();
}

bool OnUiThread() {
    Inbox& inbox = TheInbox();
    std::lock_guard lock(inbox.mutex);
    return inbox.ui_thread == std::thread::id() || inbox.ui_thread == std::this_thread::get_id();
}

bool CrossThreadWorkPending() { return TheInbox().pending.load(std::memory_order_acquire); }

void PostToUiThread(std::function<void()> task) {
    if (!task) return;
    Inbox& inbox = TheInbox();
    std::lock_guard lock(inbox.mutex);
    inbox.tasks.push_back(std::move(task));
    WakeLocked(inbox);
}

BOOL PostFromOtherThread(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Inbox& inbox = TheInbox();
    std::lock_guard lock(inbox.mutex);
    if (inbox.messages.size() >= kMaxPostedMessages) return 0;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    inbox.messages.push_back(msg);
    WakeLocked(inbox);
    return 1;
}

void RunCrossThreadWork() {
    Inbox& inbox = TheInbox();
    if (!inbox.pending.load(std::memory_order_acquire)) return;
    std::deque<MSG> messages;
    size_t task_count = 0;
    {
        std::lock_guard lock(inbox.mutex);
        messages.swap(inbox.messages);
        task_count = inbox.tasks.size();
        if (task_count == 0) inbox.pending.store(false, std::memory_order_release);
    }
    for (const MSG& msg : messages) {
        if (msg.hwnd && !IsWindow(msg.hwnd)) continue;   // its window went meanwhile
        PostInternal(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
    // Only the tasks that were waiting now: a task that posts a task again
    // must not keep this loop from returning. A nested loop inside a task
    // takes tasks from the same inbox, so each still runs once.
    for (size_t i = 0; i < task_count; ++i) {
        std::function<void()> task;
        {
            std::lock_guard lock(inbox.mutex);
            if (inbox.tasks.empty()) break;
            task = std::move(inbox.tasks.front());
            inbox.tasks.pop_front();
        }
        Core().tasks_run += 1;
        RunTask(task);
    }
    std::lock_guard lock(inbox.mutex);
    if (inbox.messages.empty() && inbox.tasks.empty()) {
        inbox.pending.store(false, std::memory_order_release);
    }
}

}  // namespace plat
