#include <gtest/gtest.h>

#include "tests/app/desktop_session.h"

namespace {

using namespace desktop_session;

class MainWindowE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.Ready()) << "Xvfb did not start";
    }
    XServer x;
    RecordingEngines engines;
};

TEST_F(MainWindowE2eTest, WindowOpensCentredWithItsTitle) {
    DesktopProgram program(x, engines.SiteOptions());
    ASSERT_TRUE(program.WaitForMainWindow()) << program.Output();
    EXPECT_EQ(program.Box().width, 470);
    EXPECT_EQ(program.Box().height, 390);
}

}  // namespace
