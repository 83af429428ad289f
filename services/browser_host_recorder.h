#pragma once
// A stand-in for the browser module in tests on the headless backend. While
// a recorder lives, NewBrowserHost() hands out recording browsers: each
// creates a plain child window (so it is placed, shown and destroyed with
// its parent like the real one) and records what it is asked. Nothing is
// loaded; events happen only when the test fires them.
//
//   services::BrowserHostRecorder recorder;
//   RunCodeThatOpensABrowser();
//   EXPECT_EQ(recorder.Browsers()[0]->created_with, "http://...");

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "services/browser_host.h"

namespace services {

class RecordingBrowserHost;

// What one browser was asked, kept after the browser is gone.
struct RecordedBrowser {
    plat::HWND parent = nullptr;
    plat::HWND window = nullptr;       // null once destroyed
    bool window_destroyed = false;
    bool object_destroyed = false;
    std::optional<std::string> created_with;  // the address given to Create
    plat::RECT rect{};                 // x, y, width and height given to Create
    int id = 0;
    std::vector<std::string> navigations;     // Navigate calls, in order
    std::vector<int> commands;
    std::string title;                 // what Title() answers
    RecordingBrowserHost* live = nullptr;     // the browser while it exists
};

class BrowserHostRecorder {
public:
    BrowserHostRecorder();   // installs the recording factory
    // Restores the module. The browsers it made must be gone by then.
    ~BrowserHostRecorder();
    BrowserHostRecorder(const BrowserHostRecorder&) = delete;
    BrowserHostRecorder& operator=(const BrowserHostRecorder&) = delete;

    // Every browser made while the recorder was installed, oldest first.
    const std::vector<std::unique_ptr<RecordedBrowser>>& Browsers() const { return m_browsers; }
    // Makes Create fail from now on, as when the engine cannot be loaded.
    void FailCreation(bool fail) { m_fail_creation = fail; }
    // Fires an event of a live browser, as the engine would report it.
    static void Fire(RecordedBrowser& browser, const BrowserEvent& event);

private:
    std::vector<std::unique_ptr<RecordedBrowser>> m_browsers;
    bool m_fail_creation = false;
};

}  // namespace services
