// A click on an engine's search button to its rows composed and presented:
// the whole main window on the headless window system, the result page
// fetched on a worker from a loopback server (engine 1's page format, 10 or
// 2,000 rows), extracted into the list and painted at the next frame.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <string>
#include <thread>
#include <vector>

#include "app/demo_catalogue.h"
#include "app/demo_engines.h"
#include "bench/support/headless_main_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

// Engine 1's page with `rows` rows, the catalogue repeated.
std::string PageWithRows(int rows) {
    const auto catalogue = app::DemoCatalogue();
    std::vector<const app::DemoItem*> items;
    for (int i = 0; i < rows; ++i) items.push_back(&catalogue[static_cast<std::size_t>(i) % catalogue.size()]);
    return app::RenderEngine1Page(items, "", 1);
}

void BM_SearchClickToRowsPresented(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const std::string page = PageWithRows(rows);
    httplib::Server server;
    server.Get(".*", [&page](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::yield();

    const std::string root = "http://127.0.0.1:" + std::to_string(port);
    const bench_support::HeadlessMainWindow main_window({root, root, root});
    const plat::HWND window = main_window.Window();
    app::MainWindow& ui = main_window.Ui();
    const dui::RectF button = ui.SearchButton(1).Bounds();

    for (auto _ : state) {
        const int presents = plat::headless::PushCount(window);
        main_window.Click(button);  // search, extraction, frame
        if (ui.List(1).RowCount() != rows || plat::headless::PushCount(window) == presents) {
            state.SkipWithError("the rows were not presented");
            break;
        }
    }
    state.counters["rows"] = rows;

    server.stop();
    serving.join();
}

BENCHMARK(BM_SearchClickToRowsPresented)->Arg(10)->Arg(2000)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
