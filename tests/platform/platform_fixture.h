#pragma once
// Shared fixture of the window-system tests: a fresh headless backend and a
// window class whose procedure records the messages it receives.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace platform_test {

using namespace plat;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

inline std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}

// Per-test hook run before the default handling; return true to consume.
inline std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>& Hook() {
    static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;
    return hook;
}

inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Log().push_back(Seen{hwnd, message, wparam, lparam});
    if (Hook()) {
        LRESULT result = 0;
        if (Hook()(hwnd, message, wparam, lparam, &result)) return result;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        Log().clear();
        Hook() = nullptr;
        WNDCLASSEX plain;
        plain.lpfnWndProc = RecordingProc;
        plain.lpszClassName = "Recorder";
        plain.hCursor = LoadCursor(nullptr, IDC_ARROW);
        ASSERT_NE(RegisterClassEx(&plain), 0);
        WNDCLASSEX double_clicks = plain;
        double_clicks.style = CS_DBLCLKS;
        double_clicks.lpszClassName = "RecorderDbl";
        ASSERT_NE(RegisterClassEx(&double_clicks), 0);
    }
    void TearDown() override {
        Hook() = nullptr;
        headless::Reset();
    }

    HWND MakeTopLevel(int x = 100, int y = 100, int width = 200, int height = 150,
                      const char* class_name = "Recorder", DWORD ex_style = 0) {
        return CreateWindowEx(ex_style, class_name, "top", WS_POPUP, x, y, width, height, nullptr,
                              nullptr, nullptr, nullptr);
    }
    HWND MakeChild(HWND parent, int x, int y, int width, int height, int id = 7,
                   const char* class_name = "Recorder") {
        return CreateWindowEx(0, class_name, "child", WS_CHILD | WS_VISIBLE, x, y, width, height,
                              parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr,
                              nullptr);
    }
    HWND MakeShown(int x = 100, int y = 100, int width = 200, int height = 150,
                   const char* class_name = "Recorder") {
        HWND hwnd = MakeTopLevel(x, y, width, height, class_name);
        ShowWindow(hwnd, SW_SHOW);
        headless::PumpMessages();
        Log().clear();
        return hwnd;
    }

    // Messages of one kind seen so far, in order.
    static std::vector<Seen> Messages(UINT message, HWND hwnd = nullptr) {
        std::vector<Seen> out;
        for (const Seen& seen : Log()) {
            if (seen.message == message && (!hwnd || seen.hwnd == hwnd)) out.push_back(seen);
        }
        return out;
    }
    static std::vector<UINT> Sequence(std::initializer_list<UINT> interesting) {
        std::vector<UINT> out;
        for (const Seen& seen : Log()) {
            if (std::find(interesting.begin(), interesting.end(), seen.message) != interesting.end()) {
                out.push_back(seen.message);
            }
        }
        return out;
    }
};

}  // namespace platform_test
