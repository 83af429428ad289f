// The report list on the headless backend, driven by a sequence of
// operations decoded from the input: rows and columns inserted, deleted and
// edited, selection, current row, scrolling, and mouse input at arbitrary
// points, with frames painted in between. After every step the counts match
// what was done, and the current, hover and selected rows and both scroll
// positions lie within their ranges.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "dui/controls/report_list.h"
#include "dui/core/host_window.h"
#include "dui/core/module.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// The list's own readings of the input: row and column numbers with a few
// invalid ones, and short texts.
class Input : public fuzz::Input {
public:
    using fuzz::Input::Input;
    int Small() { return static_cast<int>(Byte() % 16) - 2; }  // -2..13: invalid numbers included
    std::string Text() { return std::string(Bytes(Byte() % 24)); }
};

// The line of the broken invariant goes to stderr before the abort.
void Check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "invariant of line %d broken\n", line);
    std::abort();
}

// One host window for the whole run: creating the window system per input
// would dominate the time.
struct Host {
    Host() {
        plat::Initialise(plat::Backend::Headless);
        plat::headless::Reset();
        Check(dui::ModuleStartup());
        dui::HostWindowOptions window_options;
        window_options.title = "fuzz";
        window_options.width = 400;
        window_options.height = 300;
        window = dui::CreateHostWindow(window_options);
        Check(window != nullptr);
        dui::AttachOptions options;
        options.flags = 0;
        options.background_colour = 0xFFFFFF;
        options.resizable = false;
        host = std::make_unique<dui::ExHostWindow>();
        Check(host->Attach(window, std::move(options)));
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        plat::headless::PumpMessages();
    }
    plat::HWND window = nullptr;
    std::unique_ptr<dui::ExHostWindow> host;
};

void CheckList(const dui::ExReportList& list, int rows, int columns) {
    Check(list.RowCount() == rows && list.ColumnCount() == columns);
    Check(list.CurrentRow() >= 0 && list.CurrentRow() <= rows);
    Check(list.HoverRow() >= 0 && list.HoverRow() <= rows);
    const std::vector<int> selection = list.Selection();
    if (list.SingleSelect()) Check(selection.size() <= 1);
    for (std::size_t i = 0; i < selection.size(); ++i) {
        // Not IsSelected: RowState may set any row's state directly.
        Check(selection[i] >= 1 && selection[i] <= rows);
        Check(std::count(selection.begin(), selection.end(), selection[i]) == 1);
    }
    Check(list.MaxScrollX() >= 0 && list.MaxScrollY() >= 0);
    Check(list.ScrollX() >= 0 && list.ScrollX() <= list.MaxScrollX());
    Check(list.ScrollY() >= 0 && list.ScrollY() <= list.MaxScrollY());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Host host;
    Input input(data, size);
    dui::ReportListOptions options;
    const std::uint8_t shape = input.Byte();
    options.view = static_cast<dui::ListView>(shape % 3);
    options.single_select = shape & 4;
    options.no_header = shape & 8;
    dui::ExReportList list;
    list.CreateReportList(host.window, 10, 10, 40 + input.Byte(), 30 + input.Byte(), options);
    int rows = 0;
    int columns = 0;
    for (int step = 0; step < 200 && !input.Done(); ++step) {
        switch (input.Byte() % 16) {
            case 0:
                if (list.InsertColumn(input.Small(), input.Text(), input.Byte()) > 0) ++columns;
                break;
            case 1:
                if (list.DeleteColumn(input.Small())) --columns;
                break;
            case 2:
            case 3: {
                const int count = 1 + input.Byte() % 8;
                for (int i = 0; i < count; ++i)
                    if (list.InsertRow(input.Small(), input.Text()) > 0) ++rows;
                break;
            }
            case 4:
                if (list.DeleteRow(input.Small())) --rows;
                break;
            case 5:
                if (input.Byte() % 8 == 0) {
                    list.Clear();
                    rows = 0;
                }
                break;
            case 6: {
                const int row = input.Small();
                const int column = input.Small();
                list.CellText(row, column, input.Text());
                break;
            }
            case 7:
                list.CurrentRow(input.Small());
                break;
            case 8: {
                const int row = input.Small();
                if (input.Byte() & 1) list.SelectRow(row); else list.DeselectRow(row);
                break;
            }
            case 9:
                list.SingleSelect(input.Byte() & 1);
                break;
            case 10:
                list.ScrollX(static_cast<int>(input.Byte()) * 8 - 256);
                list.ScrollY(static_cast<int>(input.Byte()) * 8 - 256);
                break;
            case 11:
                list.EnsureVisible(input.Small());
                break;
            case 12: {
                const plat::POINT at{input.Byte() % 400 - 20, input.Byte() % 300 - 20};
                plat::headless::MouseMove(host.window, at);
                break;
            }
            case 13: {
                const plat::POINT at{input.Byte() % 400, input.Byte() % 300};
                plat::headless::Click(host.window, at,
                                      input.Byte() & 1 ? plat::MouseButton::Right : plat::MouseButton::Left);
                break;
            }
            case 14: {
                const plat::POINT at{input.Byte() % 400, input.Byte() % 300};
                plat::headless::Wheel(host.window, at, (static_cast<int>(input.Byte()) - 128) * 4);
                break;
            }
            case 15:
                list.RowState(input.Small(), input.Byte() % 4);
                break;
        }
        if (input.Byte() & 1) plat::headless::PumpMessages();
        CheckList(list, rows, columns);
    }
    plat::headless::PumpMessages();
    CheckList(list, rows, columns);
    return 0;
}
