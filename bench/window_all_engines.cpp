// Ctrl+Enter in a keyword box to the rows of all three engines presented:
// the whole main window on the headless window system, each engine's page
// served by a loopback server that takes 300 ms to answer. The engines
// search at once, so the rows should be on the screen in about the time of
// the slowest one (aim: at most 400 ms), not in the 900 ms of the sum.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "app/demo_catalogue.h"
#include "app/demo_engines.h"
#include "bench/support/headless_main_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

constexpr int kDelayMs = 300;
constexpr int kRows = 20;

void BM_CtrlEnterToAllEnginesPresented(benchmark::State& state) {
    const auto catalogue = app::DemoCatalogue();
    std::vector<const app::DemoItem*> items;
    for (int i = 0; i < kRows; ++i) {
        items.push_back(&catalogue[static_cast<std::size_t>(i) % catalogue.size()]);
    }
    httplib::Server server;
    const int port = server.bind_to_any_port("127.0.0.1");
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);
    const std::vector<std::string> pages = {app::RenderEngine1Page(items, "", 1),
                                            app::RenderEngine2Page(items, "", 1, origin + "/e2"),
                                            app::RenderEngine3Page(items, "", 1)};
    server.Get(".*", [&pages](const httplib::Request& request, httplib::Response& response) {
        ::usleep(kDelayMs * 1000);
        const std::size_t engine = request.path.starts_with("/e2") ? 1 : request.path.starts_with("/e3") ? 2 : 0;
        response.set_content(pages[engine], "text/html; charset=utf-8");
    });
    std::thread serving([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::yield();

    const bench_support::HeadlessMainWindow main_window({origin + "/e1", origin + "/e2", origin + "/e3"});
    const plat::HWND window = main_window.Window();
    app::MainWindow& ui = main_window.Ui();
    main_window.Click(ui.KeywordBox(1).Bounds());

    const auto all_filled = [&ui] {
        for (int engine = 1; engine <= 3; ++engine) {
            if (ui.List(engine).RowCount() != kRows) return false;
        }
        return true;
    };
    for (auto _ : state) {
        const int presents = plat::headless::PushCount(window);
        plat::headless::KeyDown(plat::VK_CONTROL);
        plat::headless::PressKey(plat::VK_RETURN);
        plat::headless::KeyUp(plat::VK_CONTROL);
        // The searches, their rows and the frames that show them.
        while (!all_filled() || ui.Searching(1) || ui.Searching(2) || ui.Searching(3)) {
            plat::headless::PumpMessages();
        }
        plat::headless::PumpMessages();
        if (plat::headless::PushCount(window) == presents) {
            state.SkipWithError("the rows were not presented");
            break;
        }
    }
    state.counters["engines"] = 3;
    state.counters["delay_ms"] = kDelayMs;

    server.stop();
    serving.join();
}

BENCHMARK(BM_CtrlEnterToAllEnginesPresented)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
