// Attaching a host to a native window, its window procedure and resizing.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include <string>

#include "dui/core/picture.h"
#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using dui::RectF;
using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

TEST_F(HostWindowTest, AttachRefusesMissingWindowSameWindowAndWindowWithAHost) {
    AttachHost();
    EXPECT_FALSE(host->Attach(window));
    dui::ExHostWindow other;
    EXPECT_FALSE(other.Attach(window));
    EXPECT_FALSE(other.Attach(nullptr));
    EXPECT_EQ(dui::HostFromWindow(window), host.get());
}

TEST_F(HostWindowTest, StandardCaptionFollowsWindowStyle) {
    dui::AttachOptions options;
    options.background_colour = 0xFFFFFF;
    AttachHost(options);
    const int expected = dui::kFlagIcon | dui::kFlagTitle | dui::kFlagClose | dui::kFlagMaximise |
                         dui::kFlagMinimise | dui::kFlagShadow;
    EXPECT_EQ(host->Flags(), expected);
    ASSERT_EQ(host->CaptionButtons().size(), 3u);
    ASSERT_NE(host->IconControl(), nullptr);
    EXPECT_FALSE(host->IconControl()->Focusable());

    // Buttons from the right: close, maximise, minimise.
    const float w = 470;
    EXPECT_EQ(host->CaptionButtons()[0]->Bounds(), (RectF{w - 45, 7, 39, 19}));
    EXPECT_EQ(host->CaptionButtons()[1]->Bounds(), (RectF{w - 73, 7, 28, 19}));
    EXPECT_EQ(host->CaptionButtons()[2]->Bounds(), (RectF{w - 101, 7, 28, 19}));
    EXPECT_EQ(host->CaptionButtons()[0]->Kind(), dui::ControlKind::CaptionButton);

    // The title label carries its own handle plus 2 as its tag.
    const dui::ExControl* title = host->TitleLabel();
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Tag(), std::to_string(dui::Raw(title->GetHandle()) + 2));
    EXPECT_EQ(title->Bounds(), (RectF{29, 11, w - 101 - 29, 20}));

    // Minimum tracking width: buttons x 28, + 11 for close, + 35, + 1.
    EXPECT_EQ(MinMax().ptMinTrackSize.x, 3 * 28 + 11 + 35 + 1);
    EXPECT_EQ(MinMax().ptMinTrackSize.y, 40);
}

TEST_F(HostWindowTest, LayeredWindowWithoutCaptionTracksDownTo21By20) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    EXPECT_TRUE(host->Layered());
    EXPECT_EQ(MinMax().ptMinTrackSize.x, 21);
    EXPECT_EQ(MinMax().ptMinTrackSize.y, 20);
    headless::SetWorkArea({0, 0, 1000, 700});
    EXPECT_EQ(MinMax().ptMaxSize.x, 1014);
    EXPECT_EQ(MinMax().ptMaxPosition.y, -7);
}

TEST_F(HostWindowTest, ResizingRebuildsBuffersAndLaysOutTheCaptionAgain) {
    auto options = PlainOptions();
    options.flags = dui::kFlagClose;
    AttachHost(options);
    int reported_width = 0;
    host->OnSize([&](plat::HWND, int width, int) { reported_width = width; });
    plat::RECT rect{};
    plat::GetWindowRect(window, &rect);
    plat::MoveWindow(window, rect.left, rect.top, 600, 400, 1);
    Pump();
    EXPECT_EQ(reported_width, 600);
    ASSERT_NE(host->BackBuffer(), nullptr);
    EXPECT_EQ(host->BackBuffer()->Width(), 600);
    EXPECT_EQ(host->BackBuffer()->Height(), 400);
    EXPECT_EQ(host->CaptionButtons()[0]->Bounds().left, 600 - 45);
}

}  // namespace
