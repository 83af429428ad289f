#pragma once

#include <gtest/gtest.h>

#include "dui/core/host_window.h"
#include "platform/platform.h"

namespace testing_support {

// A host window of the controls module on a real X server, for tests of
// controls there (input from tests/support/x_input.h).
//
//   class MyGtkTest : public testing_support::GtkHostTest {
//       void SetUp() override {
//           GtkHostTest::SetUp();
//           if (IsSkipped() || HasFatalFailure()) return;
//           ASSERT_TRUE(OpenHost(options, attach));
//           ...
//       }
//   };
class GtkHostTest : public ::testing::Test {
protected:
    // Starts the GTK backend and the controls module; skips the test when
    // there is no X display.
    void SetUp() override;
    // Destroys the window if it is still there and shuts the backend down.
    void TearDown() override;

    // Creates `window` as `options` ask and attaches `host` to it; neither
    // shown nor focused yet. False, with the reason reported, on failure.
    bool OpenHost(const dui::HostWindowOptions& options, const dui::AttachOptions& attach);
    // OpenHost for a plain window at a fixed place: no caption, a white
    // background, square corners.
    bool OpenPlainHost(const char* title, int left, int top, int width, int height);
    // Shows the window and waits until the server shows it at its place.
    bool ShowInPlace();

    plat::HWND window = nullptr;
    dui::ExHostWindow host;
};

}  // namespace testing_support
