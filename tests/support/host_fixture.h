#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dui/core/control.h"
#include "dui/core/host_window.h"
#include "platform/platform.h"

// A host window on the headless backend, for tests of controls and windows.
//
//   class MyTest : public testing_support::HostFixture {};
//   TEST_F(MyTest, ...) {
//       AttachHost();                         // 470 x 390, plain white
//       auto& c = AddControl({10, 10, 50, 20});
//       plat::headless::Click(window, {20, 15});
//       Pump();
//       EXPECT_TRUE(c.Received(dui::EX_MSG_CLICK));
//   }
namespace testing_support {

// One message as a RecordingControl received it.
struct ReceivedMessage {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

// A control that records every message, answers the ones it was told to,
// paints itself in one solid colour and, like the text controls, raises its
// fade alpha by 51 on each timer tick.
class RecordingControl : public dui::ExControl {
public:
    explicit RecordingControl(dui::Argb colour = 0xFF808080) : m_colour(colour) {}
    ~RecordingControl() override { Destroy(); }

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    void Answer(uint32_t message, intptr_t result) { m_answers[message] = result; }
    void Colour(dui::Argb colour) { m_colour = colour; }
    void ClearLog() { log.clear(); }
    bool Received(uint32_t message) const;
    int Count(uint32_t message) const;
    // Messages of the given numbers, in the order they arrived.
    std::vector<ReceivedMessage> Only(std::vector<uint32_t> messages) const;

    // Starts a cross-fade from `start_alpha` as a class changing its look
    // would: set the fade alpha, paint with a fade, end paint.
    void ChangeLook(dui::Argb colour, int start_alpha);

    std::vector<ReceivedMessage> log;

private:
    void Paint();
    dui::Argb m_colour;
    std::map<uint32_t, intptr_t> m_answers;
};

// A plain title label for hosts in tests of the core (the real label lives
// in the controls library).
class TestTitleLabel : public dui::ExControl {
public:
    ~TestTitleLabel() override { Destroy(); }
    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    std::string text;
};

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the native window (470 x 390 unless given) and attaches the
    // host with the given options (default: no caption parts, white).
    void AttachHost(dui::AttachOptions options = PlainOptions(), int width = 470,
                    int height = 390);
    static dui::AttachOptions PlainOptions();

    RecordingControl& AddControl(const dui::RectF& bounds, dui::ControlParent parent = nullptr,
                                 dui::Argb colour = 0xFF808080, int fade_interval = 0);

    // Runs every ready message.
    int Pump();
    // Moves the virtual clock forward and runs what became due.
    void Advance(uint64_t milliseconds);
    // Screen pixel of the window (0xAARRGGBB premultiplied).
    uint32_t ScreenPixel(int x, int y) const;

    plat::HWND window = nullptr;
    std::unique_ptr<dui::ExHostWindow> host;
    std::vector<std::unique_ptr<RecordingControl>> controls;
};

}  // namespace testing_support
