// Filling a list: 2,000 rows of 7 cells appended inside one handler, with a
// cell update per cell, as a search fills its report list. Counts the pushes
// to the screen per insertion batch and the time per row. A list-like test
// control stands in for the report list: it keeps its rows and paints the
// rows that fit, one text per cell.

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/headless_scene.h"
#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/font.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

constexpr int kRows = 2000;
constexpr int kColumns = 7;
constexpr float kRowHeight = 20;
constexpr float kColumnWidth = 60;

class ListControl : public dui::ExControl {
public:
    ~ListControl() override { Destroy(); }

    intptr_t OnMessage(uint32_t message, uintptr_t, intptr_t) override {
        if (message == plat::WM_PAINT) Paint();
        return dui::kNotHandled;
    }

    void Clear() {
        m_rows.clear();
        Invalidate();
    }
    void AddRow() {
        m_rows.emplace_back();
        Invalidate();
    }
    // The setter of a cell: stores and asks for a frame.
    void CellText(size_t row, int column, std::string text) {
        m_rows[row][static_cast<size_t>(column)] = std::move(text);
        Invalidate();
    }
    size_t RowCount() const { return m_rows.size(); }

private:
    void Paint() {
        dui::ExCanvas* canvas = BeginPaint();
        if (canvas == nullptr) return;
        const dui::Font& font = dui::DefaultFont();
        const dui::StringFormat format(dui::kFormatNoWrap);
        const auto visible = static_cast<size_t>(float(canvas->Height()) / kRowHeight) + 1;
        for (size_t row = 0; row < m_rows.size() && row < visible; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                const dui::RectF cell{float(column) * kColumnWidth, float(row) * kRowHeight,
                                      kColumnWidth, kRowHeight};
                canvas->DrawText(cell, m_rows[row][static_cast<size_t>(column)], font,
                                 dui::ArgbOf(255, 0, 0, 0), format);
            }
        }
        EndPaint();
    }

    std::vector<std::array<std::string, kColumns>> m_rows;
};

struct Scene : bench_support::HeadlessHost {
    Scene() : HeadlessHost(0xFFFFFF) {
        list.Create(window, dui::RectF{10, 30, 450, 340}, dui::ControlKind::ReportList);
        Show();
    }

    ListControl list;
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

// One batch: the list is cleared and filled inside one handler; the loop
// then runs what the batch left queued.
void BM_FillListBatch(benchmark::State& state) {
    Scene& scene = TheScene();
    int64_t presents = 0;
    int64_t batches = 0;
    for (auto _ : state) {
        const int before = plat::headless::PushCount(scene.window);
        scene.list.Clear();
        for (size_t row = 0; row < kRows; ++row) {
            scene.list.AddRow();
            for (int column = 0; column < kColumns; ++column) {
                scene.list.CellText(row, column, "row " + std::to_string(row) + " cell " +
                                                     std::to_string(column));
            }
        }
        plat::headless::PumpMessages();
        presents += plat::headless::PushCount(scene.window) - before;
        ++batches;
    }
    state.counters["presents_per_batch"] =
        benchmark::Counter(double(presents) / double(std::max<int64_t>(1, batches)));
    state.counters["time_per_row"] = benchmark::Counter(
        double(state.iterations()) * kRows, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FillListBatch)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
