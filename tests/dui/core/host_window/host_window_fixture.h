#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/support/host_fixture.h"

// The fixture the host window's tests share: a host on the headless backend
// and the probes those tests read it with.
namespace host_window_tests {

class HostWindowTest : public testing_support::HostFixture {
protected:
    plat::MINMAXINFO MinMax() {
        plat::MINMAXINFO info{};
        plat::SendMessage(window, plat::WM_GETMINMAXINFO, 0, reinterpret_cast<plat::LPARAM>(&info));
        return info;
    }
    int Edge(int x, int y) {
        return host->ResizeBorderFilter(plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(x, y));
    }
    void DoubleClick(int x, int y) {
        plat::headless::Click(window, {x, y});
        plat::headless::Click(window, {x, y});
        Pump();
    }
};

inline int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

}  // namespace host_window_tests
