// Work reaching the UI thread from other threads: PostToUiThread,
// PostMessage from a worker, and RunInBackground.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/background.h"
#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

constexpr UINT kWorkerMessage = WM_APP + 5;

// A gate a worker waits at until the test opens it.
class Gate {
public:
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

class UiThreadTest : public PlatformTest {
protected:
    // Runs a GetMessage loop until `done` holds; the headless backend waits
    // in real time while background jobs are pending.
    template <class Done>
    void LoopUntil(Done done) {
        MSG msg;
        while (!done() && GetMessage(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
    }
};

TEST_F(UiThreadTest, TaskFromAnotherThreadRunsOnceOnTheUiThread) {
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<int> runs{0};
    std::thread::id ran_on;
    std::thread poster([&] {
        EXPECT_FALSE(OnUiThread());
        PostToUiThread([&] {
            ran_on = std::this_thread::get_id();
            runs += 1;
        });
    });
    poster.join();
    EXPECT_EQ(runs, 0) << "ran before any loop retrieved messages";
    headless::PumpMessages();
    headless::PumpMessages();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ran_on, ui);
}

TEST_F(UiThreadTest, NestedLoopsRunEachTaskOnce) {
    std::vector<int> order;
    PostToUiThread([&] {
        order.push_back(1);
        headless::PumpMessages();   // a nested loop inside a task
    });
    PostToUiThread([&] { order.push_back(2); });
    PostToUiThread([&] { order.push_back(3); });
    headless::PumpMessages();
    headless::PumpMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(UiThreadTest, ATaskThatPostsItselfDoesNotStarveTheLoop) {
    int runs = 0;
    std::function<void()> again = [&] {
        if (++runs < 1000) PostToUiThread(again);
    };
    PostToUiThread(again);
    MSG msg;
    PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(runs, 1) << "one peek runs only the tasks that were waiting";
}

TEST_F(UiThreadTest, AThrowingTaskDoesNotLeaveTheLoop) {
    bool later = false;
    PostToUiThread([] { throw std::runtime_error("task failure"); });
    PostToUiThread([&] { later = true; });
    EXPECT_NO_THROW(headless::PumpMessages());
    EXPECT_TRUE(later);
}

TEST_F(UiThreadTest, PostMessageFromAWorkerArrivesAndADeadWindowsIsDropped) {
    HWND live = MakeShown();
    HWND dead = MakeShown(400, 100);
    std::thread worker([&] {
        EXPECT_EQ(PostMessage(live, kWorkerMessage, 7, 8), 1);
        EXPECT_EQ(PostMessage(dead, kWorkerMessage, 9, 10), 1);
    });
    worker.join();
    DestroyWindow(dead);
    Log().clear();
    headless::PumpMessages();
    const auto seen = Messages(kWorkerMessage);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].hwnd, live);
    EXPECT_EQ(seen[0].wparam, 7u);
}

TEST_F(UiThreadTest, WorkPostedForAnOldBackendIsDropped) {
    bool ran = false;
    std::thread([&] { PostToUiThread([&] { ran = true; }); }).join();
    headless::Reset();
    headless::PumpMessages();
    EXPECT_FALSE(ran);
}

TEST_F(UiThreadTest, BackgroundResultArrivesOnceOnTheUiThread) {
    HWND window = MakeShown();
    const std::thread::id ui = std::this_thread::get_id();
    int deliveries = 0;
    std::string delivered;
    std::thread::id job_thread;
    RunInBackground(
        window,
        [&job_thread] {
            job_thread = std::this_thread::get_id();
            return std::string("page");
        },
        [&](std::string page) {
            EXPECT_EQ(std::this_thread::get_id(), ui);
            deliveries += 1;
            delivered = std::move(page);
        });
    EXPECT_EQ(BackgroundJobsPending(), 1u);
    LoopUntil([&] { return deliveries > 0; });
    headless::PumpMessages();
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(delivered, "page");
    EXPECT_NE(job_thread, ui);
    EXPECT_EQ(BackgroundJobsPending(), 0u);
}

TEST_F(UiThreadTest, ResultForADestroyedWindowIsDropped) {
    HWND window = MakeShown();
    Gate gate;
    bool delivered = false;
    RunInBackground<int>(
        window, [&gate] {
            gate.Wait();
            return 42;
        },
        [&](int) { delivered = true; });
    DestroyWindow(window);
    gate.Open();
    LoopUntil([] { return BackgroundJobsPending() == 0; });
    EXPECT_FALSE(delivered);
}

TEST_F(UiThreadTest, NoJobStartsForAWindowThatIsGone) {
    HWND window = MakeShown();
    DestroyWindow(window);
    bool ran = false;
    RunInBackground(window, [&ran] { ran = true; return 1; }, [](int) {});
    EXPECT_EQ(BackgroundJobsPending(), 0u);
    headless::PumpMessages();
    EXPECT_FALSE(ran);
}

TEST_F(UiThreadTest, AFailingJobIsDroppedAndCounted) {
    HWND window = MakeShown();
    bool delivered = false;
    RunInBackground<int>(
        window, []() -> int { throw std::runtime_error("connection refused"); },
        [&](int) { delivered = true; });
    LoopUntil([] { return BackgroundJobsPending() == 0; });
    EXPECT_FALSE(delivered);
}

TEST_F(UiThreadTest, ManyConcurrentJobsEachDeliverExactlyOnce) {
    HWND window = MakeShown();
    constexpr int kJobs = 200;
    std::vector<int> deliveries(kJobs, 0);
    Gate gate;
    std::atomic<int> started{0};
    for (int i = 0; i < kJobs; ++i) {
        RunInBackground(
            window,
            [i, &gate, &started] {
                started += 1;
                gate.Wait();
                return i;
            },
            [&deliveries](int index) { deliveries[static_cast<size_t>(index)] += 1; });
    }
    // The jobs overlap: several run at once before any may finish.
    while (started < 2) std::this_thread::yield();
    gate.Open();
    LoopUntil([] { return BackgroundJobsPending() == 0; });
    headless::PumpMessages();
    EXPECT_EQ(std::count(deliveries.begin(), deliveries.end(), 1), kJobs);
}

TEST_F(UiThreadTest, ALoopBlockedForInputWakesForAWorkersResult) {
    HWND window = MakeShown();
    Gate gate;
    bool delivered = false;
    RunInBackground<int>(
        window, [&gate] {
            gate.Wait();
            return 1;
        },
        [&](int) { delivered = true; });
    // No scripted step: the loop must block until the worker reports.
    std::thread opener([&gate] { gate.Open(); });
    LoopUntil([&] { return delivered; });
    opener.join();
    EXPECT_TRUE(delivered);
}

}  // namespace
}  // namespace platform_test
