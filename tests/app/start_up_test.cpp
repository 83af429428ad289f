#include "app/start_up.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/support/paths.h"

namespace {

// What the first scripted step saw of the running main window.
struct Observed {
    plat::HWND window = nullptr;
    plat::RECT rect{};
    bool visible = false;
    uint32_t centre_pixel = 0;
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Headless);
        plat::headless::SetWorkArea({0, 0, 1280, 1000});
        // The show and close animations wait on timers; let them run.
        plat::headless::SetAutoAdvanceBudget(60'000);
        ASSERT_TRUE(app::InitialiseModules());
        app::App() = app::Application{};
        // An installation on this machine must not change what the tests see.
        app::App().data_directory = "/nonexistent";
    }
    void TearDown() override {
        if (!m_directory.empty()) {
            ASSERT_EQ(chdir(m_directory.c_str()), 0);
        }
        plat::headless::Reset();
    }

    // Runs the program's start-up; the first time the loop waits for input
    // the window is looked at and then closed.
    int RunAndClose(Observed& seen) {
        plat::headless::PushStep([&seen] {
            seen.window = app::App().main_window;
            plat::GetWindowRect(seen.window, &seen.rect);
            seen.visible = plat::IsWindowVisible(seen.window);
            // Left of the tabs: neither a control nor a panel covers it.
            seen.centre_pixel = plat::headless::Pixel(seen.window, 30, 80);
            plat::headless::RequestClose(seen.window);
        });
        // The exit question is open: its default answer is "是的".
        plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_RETURN); });
        return app::StartApplication();
    }

    void ChangeDirectory(const std::string& path) {
        char current[4096];
        ASSERT_NE(getcwd(current, sizeof current), nullptr);
        m_directory = current;
        ASSERT_EQ(chdir(path.c_str()), 0);
    }

private:
    std::string m_directory;
};

// The white background colour is painted at alpha 254, so it reads back
// premultiplied as 0xFEFEFEFE; the sky of the background image is far bluer.
bool IsWhite(uint32_t argb) {
    return ((argb >> 16) & 0xFF) >= 0xF0 && ((argb >> 8) & 0xFF) >= 0xF0 && (argb & 0xFF) >= 0xF0;
}

TEST_F(StartUpTest, MainWindowOpensCentredAndClosingItEndsTheLoop) {
    ChangeDirectory(testing_support::SourcePath(""));  // holds res/0.jpg
    Observed seen;
    EXPECT_EQ(RunAndClose(seen), 0);

    ASSERT_NE(seen.window, nullptr);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.rect.right - seen.rect.left, app::kMainWindowWidth);
    EXPECT_EQ(seen.rect.bottom - seen.rect.top, app::kMainWindowHeight);
    EXPECT_EQ(seen.rect.left, (1280 - app::kMainWindowWidth) / 2);
    EXPECT_EQ(seen.rect.top, (1000 - app::kMainWindowHeight) / 2);
    // The background image shows, not the white background colour.
    EXPECT_FALSE(IsWhite(seen.centre_pixel)) << std::hex << seen.centre_pixel;
    EXPECT_FALSE(plat::IsWindow(seen.window));
}

TEST_F(StartUpTest, MissingSkinAndBackgroundStillOpenTheWindow) {
    // The test program's directory has no res/skin.dll, and the background
    // is looked up relative to the current directory only.
    ChangeDirectory("/");
    Observed seen;
    EXPECT_EQ(RunAndClose(seen), 0);

    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(app::App().skin.resources.size(),
              static_cast<std::size_t>(app::kInitialSkinEntries));
    EXPECT_EQ(app::App().skin_message, "格式不规范");
    EXPECT_TRUE(IsWhite(seen.centre_pixel)) << std::hex << seen.centre_pixel;
}

// A directory of its own with the given files below it, removed afterwards.
class ScratchDirectory {
public:
    ScratchDirectory() {
        char name[] = "/tmp/seed-start-up-XXXXXX";
        const char* made = mkdtemp(name);
        if (made != nullptr) path = made;
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path); }
    void Add(const std::string& relative) {
        std::filesystem::create_directories(std::filesystem::path(path + "/" + relative).parent_path());
        std::ofstream(path + "/" + relative) << "x";
    }
    std::string path;
};

TEST_F(StartUpTest, BackgroundIsFoundInTheCurrentDirectoryFirstThenTheDataFolder) {
    ScratchDirectory current;
    ScratchDirectory data;
    ASSERT_FALSE(current.path.empty());
    ASSERT_FALSE(data.path.empty());
    app::App().data_directory = data.path;
    ChangeDirectory(current.path);
    // The test program's own directory holds no res/ folder.
    EXPECT_EQ(app::BackgroundImagePath(), "");
    data.Add("res/0.jpg");
    EXPECT_EQ(app::BackgroundImagePath(), data.path + "/res/0.jpg");
    current.Add("res/0.jpg");
    EXPECT_EQ(app::BackgroundImagePath(), "res/0.jpg");
}

TEST_F(StartUpTest, SkinPackageFallsBackToTheDataFolderOnlyWhenMissingBesideTheProgram) {
    ScratchDirectory data;
    app::App().data_directory = data.path;
    const std::string beside = app::ExecutableDirectory() + "/res/skin.dll";
    EXPECT_EQ(app::SkinPackagePath(), beside);  // reported where it was expected
    data.Add("res/skin.dll");
    EXPECT_EQ(app::SkinPackagePath(), data.path + "/res/skin.dll");
}

TEST_F(StartUpTest, ABackgroundDirectoryInsteadOfAFileIsIgnored) {
    ScratchDirectory current;
    std::filesystem::create_directories(current.path + "/res/0.jpg");
    ChangeDirectory(current.path);
    EXPECT_EQ(app::BackgroundImagePath(), "");
}

TEST(MessageLoopTest, ReturnsTheQuitCodeAfterEarlierMessages) {
    plat::Initialise(plat::Backend::Headless);
    plat::PostQuitMessage(7);
    EXPECT_EQ(app::RunMessageLoop(), 7);
    plat::headless::Reset();
}

}  // namespace
