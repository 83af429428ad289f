// The report list at scale, on the headless backend in the main window's
// size: filling 10,000 and 100,000 rows of 7 cells the way a search does (an
// empty row, then one cell update per cell) and letting the loop repaint;
// one wheel notch in a 100,000-row list; a Shift-click that selects every
// row of the list; sorting 2,000 rows by their size column (the value rules
// of search/) to the frame that shows them. "presents" counts the pushes to
// the window's surface.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/support/headless_scene.h"
#include "dui/controls/report_list.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "search/value_order.h"

namespace {

namespace headless = plat::headless;

constexpr int kColumns = 7;

struct Scene : bench_support::HeadlessHost {
    Scene() : HeadlessHost(0xE0C080) {
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        dui::ReportListOptions list_options;
        list_options.back_colour = dui::MakeArgb(0xFF8800, 80);
        list_options.single_select = false;
        list.CreateReportList(window, 12, 116, 446, 202, list_options);
        const int widths[kColumns] = {130, 90, 50, 70, 50, 50, 0};
        for (int width : widths) list.InsertColumn(0, "column", width, dui::StringAlignment::Center);
        host.SetFocus(list.GetHandle());
        headless::PumpMessages();
    }

    void Fill(int rows, int pump_every = 0) {
        for (int i = 1; i <= rows; ++i) {
            const int row = list.InsertRow();
            list.CellText(row, 1, "[搜索结果] 第" + std::to_string(i) + "个文件.mkv");
            list.CellText(row, 2, "2026-12-08");
            list.CellText(row, 3, "12");
            list.CellText(row, 4, "1.4 GB");
            list.CellText(row, 5, "356");
            list.CellText(row, 6, "快");
            list.CellText(row, 7, "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567");
            if (pump_every > 0 && i % pump_every == 0) headless::PumpMessages();
        }
        headless::PumpMessages();
    }

    plat::POINT RowPoint(int row) const {
        const dui::RectF visible = list.VisibleRect();
        const int y = static_cast<int>(116 + visible.top) + (row - 1) * list.RowHeight() -
                      list.ScrollY() + list.RowHeight() / 2;
        return {40, y};
    }

    dui::ExReportList list;
};

// Rows appended inside one handler, then one turn of the loop.
void BM_AppendRows(benchmark::State& state) {
    Scene scene;
    const int rows = static_cast<int>(state.range(0));
    const int pump_every = static_cast<int>(state.range(1));
    int presents = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scene.list.Clear();
        headless::PumpMessages();
        const int before = headless::PushCount(scene.window);
        state.ResumeTiming();
        scene.Fill(rows, pump_every);
        state.PauseTiming();
        presents = headless::PushCount(scene.window) - before;
        state.ResumeTiming();
    }
    state.counters["presents"] = presents;
    state.counters["rows/s"] = benchmark::Counter(double(rows) * double(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendRows)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({10000, 1000})
    ->Args({100000, 1000})
    ->Unit(benchmark::kMillisecond);

// One notch down (or up at the end), delivered as input and repainted.
void BM_WheelNotch(benchmark::State& state) {
    Scene scene;
    scene.Fill(100000);
    const plat::POINT at = scene.RowPoint(2);
    int direction = -1;
    int presents_before = headless::PushCount(scene.window);
    int64_t notches = 0;
    for (auto _ : state) {
        if (scene.list.ScrollY() >= scene.list.MaxScrollY()) direction = 1;
        if (scene.list.ScrollY() <= 0) direction = -1;
        headless::Wheel(scene.window, at, direction * plat::WHEEL_DELTA);
        headless::PumpMessages();
        ++notches;
    }
    state.counters["presents/notch"] =
        double(headless::PushCount(scene.window) - presents_before) / double(notches);
}
BENCHMARK(BM_WheelNotch)->Unit(benchmark::kMicrosecond);

// Row 1 is current; a Shift-click on the last row selects them all.
void BM_ShiftRange(benchmark::State& state) {
    Scene scene;
    const int rows = static_cast<int>(state.range(0));
    scene.Fill(rows);
    for (auto _ : state) {
        state.PauseTiming();
        scene.list.ScrollY(0);
        headless::PumpMessages();
        headless::Click(scene.window, scene.RowPoint(1));
        headless::PumpMessages();
        scene.list.ScrollY(scene.list.MaxScrollY());
        headless::PumpMessages();
        const plat::POINT last = scene.RowPoint(rows);
        state.ResumeTiming();
        headless::KeyDown(plat::VK_SHIFT);
        headless::Click(scene.window, last);
        headless::KeyUp(plat::VK_SHIFT);
        headless::PumpMessages();
    }
    if (scene.list.SelectedCount() != rows) state.SkipWithError("the range was not selected");
}
BENCHMARK(BM_ShiftRange)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A click on the size header as the window handles it: the rows sorted by
// their sizes (alternately up and down) and the frame that shows them.
void BM_SortRowsBySize(benchmark::State& state) {
    Scene scene;
    constexpr int kRows = 2000;
    scene.Fill(kRows);
    const char* units[] = {"KB", "MB", "GB"};
    for (int row = 1; row <= kRows; ++row) {
        scene.list.CellText(row, 4, std::to_string((row * 7919) % 1000) + "." + std::to_string(row % 10) + " " +
                                        units[row % 3]);
    }
    headless::PumpMessages();
    bool descending = false;
    int64_t presents = 0, sorts = 0;
    for (auto _ : state) {
        const int before = headless::PushCount(scene.window);
        const std::vector<size_t> order = search::SortRowIndexes(
            static_cast<size_t>(scene.list.RowCount()),
            [&](size_t row) -> std::string_view {
                return scene.list.Rows()[row].cell_texts[3];
            },
            descending ? search::SortOrder::Descending : search::SortOrder::Ascending);
        scene.list.ReorderRows(order);
        scene.list.SortColumn(4, descending ? dui::SortIndicator::Descending : dui::SortIndicator::Ascending);
        headless::PumpMessages();
        presents += headless::PushCount(scene.window) - before;
        ++sorts;
        descending = !descending;
    }
    state.counters["presents/sort"] = double(presents) / double(std::max<int64_t>(1, sorts));
}
BENCHMARK(BM_SortRowsBySize)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
