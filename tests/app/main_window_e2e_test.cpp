#include <gtest/gtest.h>

#include "tests/app/desktop_session.h"

namespace {

using namespace desktop_session;

class MainWindowE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ArmWatchdog(120);
        ASSERT_TRUE(x.Ready()) << "Xvfb did not start";
    }
    void TearDown() override { alarm(0); }
    XServer x;
    RecordingEngines engines;
};

TEST_F(MainWindowE2eTest, WindowOpensCentredWithItsTitle) {
    DesktopProgram program(x, engines.SiteOptions());
    ASSERT_TRUE(program.WaitForMainWindow()) << program.Output();
    EXPECT_EQ(program.Box().width, 470);
    EXPECT_EQ(program.Box().height, 390);
}

TEST_F(MainWindowE2eTest, ExitQuestionKeepsRunningOnNoAndExitsWithZeroOnYes) {
    DesktopProgram program(x, engines.SiteOptions());
    ASSERT_TRUE(program.WaitForMainWindow()) << program.Output();

    x.RequestClose(program.MainWindow());
    ASSERT_TRUE(x.AnswerMessageBox(1)) << "no exit question";  // "手贱了"
    ASSERT_TRUE(x.NoWindowTitled(U8(u8"提示：")));
    EXPECT_FALSE(program.Proc().WaitForExit(500).has_value());
    EXPECT_FALSE(x.WindowsTitled(U8(u8"澜橙种子搜索器")).empty());

    x.RequestClose(program.MainWindow());
    ASSERT_TRUE(x.AnswerMessageBox(2)) << "no exit question";  // "是的"
    EXPECT_EQ(program.Proc().WaitForExit(10000), std::optional<int>(0)) << program.Output();
}

}  // namespace
