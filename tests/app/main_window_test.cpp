#include "app/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/client_uri.h"
#include "app/start_up.h"
#include "dui/controls/message_box.h"
#include "platform/background.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "search/engine_search.h"
#include "search/result_output.h"
#include "search/value_order.h"
#include "services/http.h"
#include "tests/app/recording_engines.h"
#include "tests/support/raw_responder.h"

namespace {

using desktop_session::RecordingEngines;

std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}
using dui::MakeArgb;

// The centre of a control, in client coordinates of its window.
plat::POINT CentreOf(const dui::ExControl& control) {
    const dui::RectF& r = control.Bounds();
    return {static_cast<int>(r.left + r.width / 2), static_cast<int>(r.top + r.height / 2)};
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Initialise(plat::Backend::Headless);
        plat::headless::SetWorkArea({0, 0, 1280, 1000});
        plat::headless::SetAutoAdvanceBudget(60'000);
        ASSERT_TRUE(app::InitialiseModules());
        app::App() = app::Application{};
        app::App().data_directory = "/nonexistent";
        app::App().sites = Sites();
        app::App().read_engines = [this] { return Engines(); };
        ASSERT_TRUE(app::OpenMainWindow());
        window = app::App().main_window;
        ui = app::App().main_ui.get();
        ASSERT_NE(ui, nullptr);
        Pump();
    }
    void TearDown() override {
        if (plat::IsWindow(window)) plat::DestroyWindow(window);
        app::App().main_ui.reset();
        app::App().main_host.reset();
        app::App().main_window = nullptr;
        plat::headless::Reset();
    }

    virtual app::SiteSettings Sites() const { return engines.Sites(); }
    virtual search::EngineCatalogue Engines() { return search::BuiltInEngines(); }
    static void Pump() { plat::headless::PumpMessages(); }
    void Click(const dui::ExControl& control) {
        plat::headless::Click(window, CentreOf(control));
        Pump();
    }
    void PressOn(const dui::ExControl& control) {
        plat::headless::MouseDown(window, CentreOf(control));
        Pump();
        plat::headless::MouseUp(window, CentreOf(control));
        Pump();
    }
    // Types a keyword into an engine's box through the keyboard.
    void TypeKeyword(int engine, const std::string& utf8) {
        Click(ui->KeywordBox(engine));
        plat::headless::CommitIme(utf8);
        Pump();
    }
    std::string LastTarget() const {
        const auto targets = engines.Targets();
        return targets.empty() ? std::string() : targets.back();
    }
    // Searches engine 2 on its tab and makes its first row current; the id
    // of that row's detail page, or empty when no row came.
    std::string SearchEngineTwoAtItsFirstRow() {
        PressOn(ui->Tab(3));
        Click(ui->SearchButton(2));
        if (ui->List(2).RowCount() < 1) return {};
        ui->List(2).CurrentRow(1);
        const std::string detail = ui->List(2).CellText(1, 4);
        return detail.substr(detail.rfind('/') + 1);
    }

    RecordingEngines engines;
    plat::HWND window = nullptr;
    app::MainWindow* ui = nullptr;
};

TEST_F(MainWindowTest, StartsOnTheWelcomePageWithPagingOff) {
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数:0,引擎:0");
    for (int engine = 1; engine <= 3; ++engine) {
        EXPECT_TRUE(ui->PreviousButton(engine).Disabled()) << engine;
        EXPECT_TRUE(ui->NextButton(engine).Disabled()) << engine;
        EXPECT_FALSE(ui->SearchButton(engine).Disabled()) << engine;
    }
    EXPECT_TRUE(ui->Tab(1).Checked());
    for (int tab = 2; tab <= 4; ++tab) EXPECT_FALSE(ui->Tab(tab).Checked()) << tab;
    EXPECT_EQ(ui->Pages().SelectPage(), 1);
    EXPECT_EQ(ui->State().CurrentEngine(), 0);
    EXPECT_EQ(ui->Tab(3).Caption(), "引擎2");
    EXPECT_EQ(ui->SearchButton(2).Caption(), "搜索");
    EXPECT_EQ(ui->PreviousButton(2).Caption(), "上一页");
    EXPECT_EQ(ui->NextButton(2).Caption(), "下一页");
}

TEST_F(MainWindowTest, ControlsSitInTheirPagesAndCreationOrder) {
    EXPECT_EQ(ui->AboutLabel().GetParent(), ui->Pages().PageHandle(1));
    for (int engine = 1; engine <= 3; ++engine) {
        const dui::ControlHandle page = ui->Pages().PageHandle(engine + 1);
        EXPECT_EQ(ui->List(engine).GetParent(), page) << engine;
        EXPECT_EQ(ui->KeywordBox(engine).GetParent(), page) << engine;
        EXPECT_EQ(ui->Page(engine).caption.GetParent(), page) << engine;
        EXPECT_EQ(ui->SearchButton(engine).GetParent(), page) << engine;
        EXPECT_EQ(ui->PreviousButton(engine).GetParent(), page) << engine;
        EXPECT_EQ(ui->NextButton(engine).GetParent(), page) << engine;
    }
    // Later top-level controls are drawn above earlier ones.
    std::vector<dui::ControlHandle> order;
    for (dui::ControlHandle at = app::App().main_host->TopLevelList().first;
         at != dui::ControlHandle::None; at = dui::ResolveControl(at)->NextSibling()) {
        order.push_back(at);
    }
    const auto index = [&order](const dui::ExControl& control) {
        return std::find(order.begin(), order.end(), control.GetHandle()) - order.begin();
    };
    const std::vector<const dui::ExControl*> expected = {
        &ui->Panel(3), &ui->Panel(1), &ui->TopPicture(), &ui->VersionLabel(), &ui->Tab(1), &ui->Tab(4),
        ui->Pages().Page(1), ui->Pages().Page(4), &ui->StatusLabel()};
    for (std::size_t i = 1; i < expected.size(); ++i) {
        EXPECT_LT(index(*expected[i - 1]), index(*expected[i])) << i;
    }
    EXPECT_EQ(index(ui->StatusLabel()), static_cast<long>(order.size()) - 1);

    const dui::RectF list = ui->List(2).Bounds();
    EXPECT_EQ(ui->Tab(4).Bounds().left, 62 + 270);
    EXPECT_EQ(ui->Panel(1).Bounds().top, 390 - 36);
    EXPECT_EQ(ui->SearchButton(1).Bounds().top, 390 - 66);
    EXPECT_EQ(ui->Pages().Page(2)->Bounds().left, -1);
    EXPECT_EQ(ui->Pages().Page(2)->Bounds().height, 248);
    EXPECT_EQ(list.width, 446);
}


TEST_F(MainWindowTest, ListsHaveTheirColumnsAndMenusTheirItems) {
    EXPECT_EQ(ui->List(1).ColumnCount(), 7);
    EXPECT_EQ(ui->List(1).ColumnTitle(7), "磁力地址");
    EXPECT_EQ(ui->List(1).ColumnWidth(7), 0);
    EXPECT_EQ(ui->List(1).ColumnWidth(1), 130);
    EXPECT_EQ(ui->List(2).ColumnTitle(3), "添加日期");
    EXPECT_EQ(ui->List(3).ColumnTitle(3), "种子数量");
    EXPECT_EQ(ui->List(3).ColumnWidth(4), 0);
    EXPECT_EQ(ui->List(2).Alpha(), 200);
    EXPECT_EQ(ui->TopPicture().Alpha(), 180);
    for (int list = 1; list <= 3; ++list) {
        ASSERT_EQ(ui->Menu(list).ItemCount(), 4);
        EXPECT_EQ(ui->Menu(list).ItemText(1), "在线播放视频[引擎1]");
        EXPECT_EQ(ui->Menu(list).ItemText(2), "在线播放视频[引擎2]");
        EXPECT_EQ(ui->Menu(list).ItemText(3), "复制下载地址");
        EXPECT_EQ(ui->Menu(list).ItemText(4), "用下载工具打开");
    }
}

TEST_F(MainWindowTest, TitleLabelIsRestyledAndTextsNameTheSite) {
    const auto* title = dynamic_cast<const dui::ExLabel*>(app::App().main_host->TitleLabel());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->TextColour(), MakeArgb(0xFFFFFF, 190));
    EXPECT_EQ(title->GlowColour(), MakeArgb(0x000000, 51));
    EXPECT_EQ(title->FontStyle(), 1);
    EXPECT_EQ(title->TextEffect(), 4);
    EXPECT_FALSE(title->AutoContrast());

    const std::string domain = app::SiteDomain(engines.Root("/site"));
    EXPECT_EQ(domain, "127.0.0.1:" + engines.Root("").substr(17));
    EXPECT_EQ(ui->VersionLabel().LabelText(), "官方网址：" + domain + std::string(44, ' ') + "版本：1.2");
    const std::string about = ui->AboutLabel().LabelText();
    EXPECT_TRUE(about.starts_with("欢迎使用，")) << about;
    EXPECT_NE(about.find("\r\n\r\n官方网址：" + domain + "\r\n\r\n软件作者：seed-searcher\r\n"),
              std::string::npos);
    EXPECT_NE(about.find("软件版本：1.2"), std::string::npos);
}

TEST_F(MainWindowTest, ColourRuleSwapsRedAndBlueAndCapsAlpha) {
    EXPECT_EQ(MakeArgb(0x0080FF, 200), 0xC8FF8000u);
    EXPECT_EQ(MakeArgb(0xFFFFFF), 0xFEFFFFFFu);
    EXPECT_EQ(MakeArgb(0x123456, 255), 0xFE563412u);
}

TEST_F(MainWindowTest, TabsSwitchOnPressAndSetTheEngine) {
    plat::headless::MouseDown(window, CentreOf(ui->Tab(3)));
    Pump();
    // Already switched, before the button is released.
    EXPECT_TRUE(ui->Tab(3).Checked());
    EXPECT_FALSE(ui->Tab(1).Checked());
    EXPECT_EQ(ui->Pages().SelectPage(), 3);
    EXPECT_EQ(ui->State().CurrentEngine(), 2);
    plat::headless::MouseUp(window, CentreOf(ui->Tab(3)));
    PressOn(ui->Tab(1));
    EXPECT_EQ(ui->Pages().SelectPage(), 1);
    EXPECT_EQ(ui->State().CurrentEngine(), 2);  // the welcome tab keeps it
    EXPECT_TRUE(ui->Tab(1).Checked());
    EXPECT_FALSE(ui->Tab(3).Checked());
}

TEST_F(MainWindowTest, SearchAndPagingRequestTheRightPagesAndToggleButtons) {
    PressOn(ui->Tab(2));
    TypeKeyword(1, U8(u8"电影"));
    EXPECT_EQ(ui->KeywordBox(1).EditText(), "电影");
    // Nothing in the catalogue is called that; the path is what counts.
    Click(ui->SearchButton(1));
    EXPECT_EQ(LastTarget(), "/e1/?s=%E7%94%B5%E5%BD%B1&p=1");
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数：1，引擎：1");
    EXPECT_EQ(ui->List(1).EmptyText(), "没有找到结果");
    EXPECT_TRUE(ui->PreviousButton(1).Disabled());
    EXPECT_FALSE(ui->NextButton(1).Disabled());

    ui->KeywordBox(1).EditText("");
    Click(ui->SearchButton(1));
    EXPECT_EQ(LastTarget(), "/e1/?s=&p=1");
    EXPECT_EQ(ui->List(1).RowCount(), app::kDemoRowsPerPage);
    EXPECT_EQ(ui->List(1).EmptyText(), "");
    const std::string first_page_name = ui->List(1).CellText(1, 1);

    Click(ui->NextButton(1));
    EXPECT_EQ(LastTarget(), "/e1/?s=&p=2");
    EXPECT_FALSE(ui->PreviousButton(1).Disabled());
    EXPECT_NE(ui->List(1).CellText(1, 1), first_page_name);
    Click(ui->PreviousButton(1));
    EXPECT_EQ(LastTarget(), "/e1/?s=&p=1");
    EXPECT_TRUE(ui->PreviousButton(1).Disabled());

    // A disabled button sends nothing.
    const std::size_t requests = engines.Count();
    Click(ui->PreviousButton(1));
    EXPECT_EQ(engines.Count(), requests);
}

TEST_F(MainWindowTest, EachEngineRequestsItsOwnAddressForm) {
    PressOn(ui->Tab(3));
    TypeKeyword(2, "ab");
    Click(ui->SearchButton(2));
    EXPECT_EQ(LastTarget(), "/e2/search/%61%62/currentPage/1");
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数:1,引擎:2");
    PressOn(ui->Tab(4));
    TypeKeyword(3, U8(u8"书"));
    Click(ui->SearchButton(3));
    EXPECT_EQ(LastTarget(), "/e3//search/%E4%B9%A6?page=1&mode=list");
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数：1");
}

TEST_F(MainWindowTest, EnterInAKeywordBoxSearchesThatEngine) {
    PressOn(ui->Tab(2));
    TypeKeyword(1, "x");
    plat::headless::PressKey(plat::VK_RETURN);
    Pump();
    EXPECT_EQ(LastTarget(), "/e1/?s=%78&p=1");
    EXPECT_EQ(ui->State().PageCounter(1), 1);
}

TEST_F(MainWindowTest, DownInAKeywordBoxOffersTheKeywordsBeginningWithItsText) {
    char directory[] = "/tmp/seed-history-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    app::KeywordHistory history(std::string(directory) + "/history");
    ui->UseHistory(&history);
    PressOn(ui->Tab(2));
    for (const char* keyword : {"ubuntu", "debian", "Ubuntu 24"}) {
        ui->KeywordBox(1).EditText(keyword);
        Click(ui->SearchButton(1));
    }
    const std::size_t requests = engines.Count();
    const auto open_menu = [] {
        const plat::HWND holder = plat::PopupInputHolder();
        return plat::GetWindowText(holder) == dui::kMenuWindowTitle ? holder : nullptr;
    };
    const auto item_point = [](int position, int separators) {
        return plat::POINT{40, 8 + 22 * (position - 1 - separators) + 3 * separators + 11};
    };
    std::vector<std::string> offered;
    const auto choose = [&](int position, int separators) {
        plat::headless::PushStep([&, position, separators] {
            offered.clear();
            for (int item = 1; item <= ui->KeywordMenu().ItemCount(); ++item) {
                offered.push_back(ui->KeywordMenu().ItemText(item));
            }
            ASSERT_NE(open_menu(), nullptr);
            plat::headless::Click(open_menu(), item_point(position, separators));
        });
        Click(ui->KeywordBox(1));
        plat::headless::PressKey(plat::VK_DOWN);
        Pump();
    };

    ui->KeywordBox(1).EditText("UB");
    choose(2, 0);
    EXPECT_EQ(offered, (std::vector<std::string>{"Ubuntu 24", "ubuntu", "", "清除搜索历史"}));
    EXPECT_EQ(ui->KeywordBox(1).EditText(), "ubuntu");
    EXPECT_EQ(engines.Count(), requests);  // choosing does not search

    ui->KeywordBox(1).EditText("");
    choose(5, 1);
    EXPECT_EQ(offered.size(), 5u);
    EXPECT_TRUE(history.Keywords().empty());
    // Nothing left to offer: no menu opens (an unexpected modal loop would
    // fail the test, as no step is queued).
    Click(ui->KeywordBox(1));
    plat::headless::PressKey(plat::VK_DOWN);
    Pump();
    std::filesystem::remove_all(directory);
}

// A tab shows the engine "tabN" names, here one defined only in a user's
// file: its caption, its columns, its rows.
class UserEngineTabTest : public MainWindowTest {
protected:
    app::SiteSettings Sites() const override {
        app::SiteSettings sites = engines.Sites();
        sites.tabs[1] = "films";
        return sites;
    }
    search::EngineCatalogue Engines() override {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("seed-tab-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "films.engine")
            << "[Engine]\nname=Films\ncaption=" << U8(u8"影片") << "\naddress=" << site.Url("/f?q={keyword}")
            << "\npattern=<b>(.*?)</b> <a href=\"(.*?)\">\ncolumns=Name;Address\nwidths=300;0\ngroups=1;2\n";
        search::EngineCatalogue catalogue =
            search::LoadEngineCatalogue({search::BuiltInEngineFolder(), folder.string()});
        std::filesystem::remove_all(folder);
        return catalogue;
    }
    testing_support::RawResponder site{testing_support::RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nContent-Length: 38\r\n\r\n<b>Film one</b> <a href=\"magnet:?x\">xx")};
};

TEST_F(UserEngineTabTest, ATabSearchesTheEngineItsSettingNames) {
    EXPECT_EQ(ui->Tab(2).Caption(), "引擎1");
    EXPECT_EQ(ui->Tab(3).Caption(), "影片");
    EXPECT_EQ(ui->Tab(4).Caption(), "引擎2");
    PressOn(ui->Tab(3));
    Click(ui->SearchButton(2));
    ASSERT_EQ(ui->List(2).RowCount(), 1);
    EXPECT_EQ(ui->List(2).ColumnCount(), 2);
    EXPECT_EQ(ui->List(2).CellText(1, 1), "Film one");
    ui->List(2).CurrentRow(1);
    ui->CopyDownloadAddress(2);
    EXPECT_EQ(plat::GetClipboardText(), "magnet:?x");
}

// Engine 1's site refuses every connection.
class DeadEngineTest : public MainWindowTest {
protected:
    app::SiteSettings Sites() const override {
        app::SiteSettings sites = engines.Sites();
        sites.engine_roots[0] =
            "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
        return sites;
    }
};

TEST_F(DeadEngineTest, AFailedSearchSaysWhyAndKeepsThePage) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    EXPECT_EQ(ui->List(1).RowCount(), 0);
    EXPECT_EQ(ui->List(1).EmptyText(),
              "搜索失败：" +
                  std::string(services::HttpFailureText(services::HttpFailure::Refused)));
    EXPECT_EQ(ui->State().PageCounter(1), 1);
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数：1，引擎：1");
}

// Engine 1's site accepts every connection and never answers.
class StalledEngineTest : public MainWindowTest {
protected:
    app::SiteSettings Sites() const override {
        app::SiteSettings sites = engines.Sites();
        sites.engine_roots[0] = stalled.Url("");
        return sites;
    }
    testing_support::RawResponder stalled{
        [](testing_support::RawResponder::Connection& connection) { connection.Pause(60'000); }};
};

TEST_F(StalledEngineTest, EscCancelsTheSearchAsAFailureWouldEndIt) {
    PressOn(ui->Tab(2));
    plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_ESCAPE); });
    Click(ui->SearchButton(1));
    EXPECT_FALSE(ui->Busy());
    EXPECT_EQ(ui->List(1).RowCount(), 0);
    EXPECT_EQ(ui->List(1).EmptyText(), "已取消");
    EXPECT_EQ(ui->State().PageCounter(1), 1);
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数：1，引擎：1");
    EXPECT_FALSE(ui->NextButton(1).Disabled());
}

TEST_F(StalledEngineTest, ClosingDuringASearchCancelsIt) {
    PressOn(ui->Tab(2));
    plat::headless::PushStep([&] { plat::PostMessage(window, plat::WM_CLOSE, 0, 0); });
    plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_RETURN); });
    Click(ui->SearchButton(1));
    ASSERT_FALSE(plat::IsWindow(window));
    // The worker gives up at once instead of waiting for the site's minute.
    for (int tries = 0; tries < 500 && plat::BackgroundJobsPending() > 0; ++tries) {
        plat::headless::PumpMessages();
        usleep(10'000);
    }
    EXPECT_EQ(plat::BackgroundJobsPending(), 0u);
}

TEST(SearchOutcomeTest, TabSaysRowsAndSecondsOrWhyItFailed) {
    EXPECT_EQ(app::OutcomeTooltip(2, {services::HttpFailure::None, 20, 405}),
              "引擎2：20 条结果，0.41 秒");
    EXPECT_EQ(app::OutcomeTooltip(3, {services::HttpFailure::TimedOut, 0, 9000}),
              "引擎3：搜索失败：连接超时");
    EXPECT_EQ(app::OutcomeBadge({services::HttpFailure::None, 20, 405}), "20");
    EXPECT_EQ(app::OutcomeBadge({services::HttpFailure::TimedOut, 0, 9000}), "!");
}

// Engine 1 never answers, engine 2 refuses, engine 3 is the demo engine.
class AllEnginesTest : public StalledEngineTest {
protected:
    app::SiteSettings Sites() const override {
        app::SiteSettings sites = StalledEngineTest::Sites();
        sites.engine_roots[1] =
            "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
        return sites;
    }
};

TEST_F(AllEnginesTest, CtrlEnterSearchesEveryEngineAtOnceAndEachTabSaysHowItWent) {
    PressOn(ui->Tab(2));
    TypeKeyword(1, "x");
    ui->KeywordBox(3).EditText("old");
    std::function<void()> once_two_ended = [&] {
        // Engine 1 still stalls; the others have ended, each on its own.
        if (ui->Searching(2) || ui->Searching(3)) {
            usleep(5'000);
            plat::headless::PushStep(once_two_ended);
            return;
        }
        EXPECT_TRUE(ui->Searching(1));
        EXPECT_EQ(ui->Pages().SelectPage(), 2);
        EXPECT_GT(ui->List(3).RowCount(), 0);
        EXPECT_TRUE(ui->Tab(4).TooltipText().starts_with(
            "引擎3：" + std::to_string(ui->List(3).RowCount()) + " 条结果，"))
            << ui->Tab(4).TooltipText();
        EXPECT_EQ(ui->Tab(3).TooltipText(), "引擎2：搜索失败：连接被拒绝");
        EXPECT_EQ(ui->Tab(2).TooltipText(), "");
        EXPECT_EQ(ui->Tab(4).Badge(), std::to_string(ui->List(3).RowCount()));
        EXPECT_EQ(ui->Tab(3).Badge(), dui::ExToggleButton::kBadgeFailure);
        EXPECT_EQ(ui->Tab(2).Badge(), "");
        // Engine 3's page takes input meanwhile.
        plat::headless::MouseDown(window, CentreOf(ui->Tab(4)));
        plat::headless::MouseUp(window, CentreOf(ui->Tab(4)));
        plat::headless::Click(window, CentreOf(ui->KeywordBox(3)));
        plat::headless::TypeText("y");
        plat::headless::PushStep([&] {
            EXPECT_EQ(ui->KeywordBox(3).EditText(), "xy");
            plat::headless::PressKey(plat::VK_ESCAPE);
        });
    };
    plat::headless::PushStep(once_two_ended);
    plat::headless::KeyDown(plat::VK_CONTROL);
    plat::headless::PressKey(plat::VK_RETURN);
    plat::headless::KeyUp(plat::VK_CONTROL);
    Pump();
    EXPECT_FALSE(ui->Busy());
    EXPECT_EQ(ui->List(1).EmptyText(), "已取消");
    EXPECT_EQ(ui->Tab(2).TooltipText(), "引擎1：已取消");
    EXPECT_EQ(ui->KeywordBox(2).EditText(), "x");
    for (int engine = 1; engine <= 3; ++engine) {
        EXPECT_EQ(ui->State().PageCounter(engine), 1) << engine;
        EXPECT_FALSE(ui->NextButton(engine).Disabled()) << engine;
    }
    // Engine 1 was on show: its new search set the status label last.
    EXPECT_EQ(ui->StatusLabel().LabelText(), "当前页数：1，引擎：1");
}

TEST_F(MainWindowTest, CopyTakesTheHiddenAddressOrEmptiesTheClipboard) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    ASSERT_GE(ui->List(1).RowCount(), 2);
    plat::SetClipboardText("old");
    ui->CopyDownloadAddress(1);
    EXPECT_EQ(plat::GetClipboardText(), "");  // no current row

    ui->List(1).CurrentRow(2);
    ui->CopyDownloadAddress(1);
    EXPECT_EQ(plat::GetClipboardText(), ui->List(1).CellText(2, 7));
    EXPECT_TRUE(plat::GetClipboardText().starts_with("magnet:?xt=urn:btih:"));
}

TEST_F(MainWindowTest, EngineTwoCopyResolvesTheDetailPageOnce) {
    const std::string id = SearchEngineTwoAtItsFirstRow();
    ASSERT_FALSE(id.empty());
    const std::size_t before = engines.Count();
    ui->CopyDetailAddress();
    EXPECT_EQ(engines.Count(), before + 1);
    EXPECT_EQ(LastTarget(), "/engine2/detail/" + id);
    EXPECT_EQ(plat::GetClipboardText(), RecordingEngines::DetailAddress(id));

    // A page whose text area never ends gives an empty address, not markup.
    engines.BreakDetailPages(true);
    ui->CopyDetailAddress();
    EXPECT_EQ(plat::GetClipboardText(), "");
}

// The text of the message box a step finds open.
std::string OpenBoxText() {
    dui::ExHostWindow* host = dui::HostFromWindow(plat::GetActiveWindow());
    if (host == nullptr) return {};
    for (dui::ControlHandle at = host->TopLevelList().first; at != dui::ControlHandle::None;) {
        dui::ExControl* control = dui::ResolveControl(at);
        if (control == nullptr) break;
        if (auto* label = dynamic_cast<dui::ExLabel*>(control); label && label != host->TitleLabel()) {
            return label->LabelText();
        }
        at = control->NextSibling();
    }
    return {};
}

TEST_F(MainWindowTest, MenuDoubleClickAndEnterEachHandOneRowToTheDesktop) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    ASSERT_GE(ui->List(1).RowCount(), 2);
    ui->List(1).CurrentRow(2);
    std::get<std::function<void()>>(ui->Menu(1).Items()[3].handler)();
    Pump();
    ASSERT_EQ(plat::headless::LaunchedUris().size(), 1u);
    EXPECT_EQ(plat::headless::LaunchedUris()[0], app::MakeClientUri(ui->List(1).CellText(2, 7)).uri);

    // Rows start 27 pixels into the list and are 22 high.
    const dui::RectF list = ui->List(1).Bounds();
    const plat::POINT first{static_cast<int>(list.left) + 40, static_cast<int>(list.top) + 27 + 11};
    plat::headless::Click(window, first);
    plat::headless::Click(window, first);
    Pump();
    ASSERT_EQ(plat::headless::LaunchedUris().size(), 2u);
    EXPECT_EQ(plat::headless::LaunchedUris()[1], app::MakeClientUri(ui->List(1).CellText(1, 7)).uri);

    plat::headless::PressKey(plat::VK_RETURN);
    Pump();
    EXPECT_EQ(plat::headless::LaunchedUris().size(), 3u);
}

TEST_F(MainWindowTest, EngineTwoHandsOverTheAddressOfTheDetailPage) {
    const std::string id = SearchEngineTwoAtItsFirstRow();
    ASSERT_FALSE(id.empty());
    ui->OpenWithDownloadClient(2);
    EXPECT_EQ(LastTarget(), "/engine2/detail/" + id);
    ASSERT_EQ(plat::headless::LaunchedUris().size(), 1u);
    EXPECT_EQ(plat::headless::LaunchedUris()[0], RecordingEngines::DetailAddress(id));
}

TEST_F(MainWindowTest, ARowThatIsNoLinkLaunchesNothingAndSaysWhy) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    ui->List(1).CurrentRow(1);
    ui->List(1).CellText(1, 7, "file:///etc/passwd");
    std::string said;
    plat::headless::PushStep([&] {
        said = OpenBoxText();
        plat::headless::PressKey(plat::VK_RETURN);
    });
    ui->OpenWithDownloadClient(1);
    EXPECT_TRUE(plat::headless::LaunchedUris().empty());
    EXPECT_EQ(said, "这一行的地址不是磁力链接或电驴链接，没有交给下载工具。");
}

TEST_F(MainWindowTest, WithoutAProgramForTheSchemeTheAddressGoesToTheClipboard) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    ui->List(1).CurrentRow(1);
    plat::headless::AnswerUriLaunches({plat::UriLaunch::NoHandler, "none"});
    std::string said;
    plat::headless::PushStep([&] {
        said = OpenBoxText();
        plat::headless::PressKey(plat::VK_RETURN);
    });
    ui->OpenWithDownloadClient(1);
    Pump();
    EXPECT_EQ(said, "没有找到打开磁力链接的程序，地址已复制到剪贴板。");
    EXPECT_EQ(plat::GetClipboardText(), ui->List(1).CellText(1, 7));
}

void PressWith(int modifier, int key) {
    plat::headless::KeyDown(modifier);
    plat::headless::PressKey(key);
    plat::headless::KeyUp(modifier);
    plat::headless::PumpMessages();
}

TEST_F(MainWindowTest, WindowKeysSwitchTabsFocusTheKeywordAndPage) {
    PressWith(plat::VK_CONTROL, 'F');
    EXPECT_EQ(ui->Pages().SelectPage(), 2);
    EXPECT_EQ(app::App().main_host->FocusedControl(), ui->KeywordBox(1).GetHandle());
    PressWith(plat::VK_CONTROL, '3');
    EXPECT_EQ(ui->Pages().SelectPage(), 4);
    PressWith(plat::VK_CONTROL, plat::VK_TAB);
    EXPECT_EQ(ui->Pages().SelectPage(), 1);
    plat::headless::KeyDown(plat::VK_CONTROL);
    PressWith(plat::VK_SHIFT, plat::VK_TAB);
    plat::headless::KeyUp(plat::VK_CONTROL);
    EXPECT_EQ(ui->Pages().SelectPage(), 4);

    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    const std::size_t requests = engines.Count();
    PressWith(plat::VK_MENU, plat::VK_LEFT);  // 上一页 is off on page 1
    EXPECT_EQ(engines.Count(), requests);
    PressWith(plat::VK_MENU, plat::VK_RIGHT);
    EXPECT_EQ(LastTarget(), "/e1/?s=&p=2");
    plat::headless::PressKey(plat::VK_F5);
    Pump();
    EXPECT_EQ(engines.Count(), requests + 2);
    EXPECT_EQ(LastTarget(), "/e1/?s=&p=2");
}

TEST_F(MainWindowTest, SavedPageEqualsTheCommandLineOutputAndAFailureKeepsTheOldFile) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    ASSERT_GT(ui->List(1).RowCount(), 0);
    char folder_template[] = "/tmp/seed-save-XXXXXX";
    ASSERT_NE(mkdtemp(folder_template), nullptr);
    const std::string path = std::string(folder_template) + "/page.tsv";
    plat::headless::AnswerSaveDialogs(path);
    PressWith(plat::VK_CONTROL, 'S');
    ASSERT_EQ(plat::headless::SaveDialogRequests().size(), 1u);
    EXPECT_EQ(plat::headless::SaveDialogRequests()[0].title, U8(u8"保存搜索结果"));

    std::string expected;
    const search::SearchEngine engine = ui->Page(1).engine;
    search::ResultWriter writer(search::OutputFormat::Tsv,
                                [&expected](std::string_view bytes) { expected.append(bytes); });
    writer.Begin(engine.number, 1, engine.columns);
    search::RunEngineSearch(engine, "", 1, [&writer](std::vector<std::string>&& cells) { writer.Row(cells); });
    writer.End();
    std::ifstream saved(path);
    const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, expected);

    // A target that cannot be replaced (here a folder, which even root
    // cannot rename a file over): the message box says why, and what was
    // there stays, with no temporary file left beside it.
    const std::string taken = std::string(folder_template) + "/taken.tsv";
    std::filesystem::create_directory(taken);
    std::ofstream(taken + "/inside") << "old";
    plat::headless::AnswerSaveDialogs(taken);
    std::string said;
    plat::headless::PushStep([&] {
        said = OpenBoxText();
        plat::headless::PressKey(plat::VK_RETURN);
    });
    PressWith(plat::VK_CONTROL, 'S');
    EXPECT_TRUE(said.starts_with("搜索结果没有保存。")) << said;
    EXPECT_TRUE(std::filesystem::exists(taken + "/inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_template),
                            std::filesystem::directory_iterator()),
              2);
    std::filesystem::remove_all(folder_template);
}

TEST_F(MainWindowTest, DuringASearchTheEnginePageIgnoresInputButTabsWork) {
    PressOn(ui->Tab(2));
    engines.Delay(300);
    bool stepped = false;
    plat::headless::PushStep([&] {
        stepped = true;
        EXPECT_TRUE(ui->Busy());
        EXPECT_EQ(plat::GetCursor(), plat::LoadCursor(nullptr, plat::IDC_WAIT));
        // A second search and typing are dropped.
        plat::headless::Click(window, CentreOf(ui->SearchButton(1)));
        plat::headless::Click(window, CentreOf(ui->KeywordBox(1)));
        plat::headless::TypeText("zz");
        // The tabs still switch.
        plat::headless::MouseDown(window, CentreOf(ui->Tab(3)));
        plat::headless::MouseUp(window, CentreOf(ui->Tab(3)));
    });
    Click(ui->SearchButton(1));
    Pump();
    EXPECT_TRUE(stepped);
    EXPECT_FALSE(ui->Busy());
    EXPECT_EQ(engines.Count(), 1u);
    EXPECT_EQ(ui->KeywordBox(1).EditText(), "");
    EXPECT_EQ(ui->Pages().SelectPage(), 3);
    EXPECT_EQ(ui->State().CurrentEngine(), 2);
    EXPECT_EQ(ui->List(1).RowCount(), app::kDemoRowsPerPage);
}

TEST_F(MainWindowTest, ClosingDuringASearchEndsTheLoopAtOnce) {
    PressOn(ui->Tab(2));
    engines.Delay(2000);
    plat::headless::PushStep([&] { plat::PostMessage(window, plat::WM_CLOSE, 0, 0); });
    plat::headless::PushStep([] { plat::headless::PressKey(plat::VK_RETURN); });
    Click(ui->SearchButton(1));
    EXPECT_FALSE(plat::IsWindow(window));
    plat::MSG message{};
    bool quit = false;
    while (plat::PeekMessage(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
        quit = quit || message.message == plat::WM_QUIT;
    }
    EXPECT_TRUE(quit);
}

}  // namespace

TEST_F(MainWindowTest, HeaderClicksSortByValueThenReverseThenRestorePageOrder) {
    PressOn(ui->Tab(2));
    Click(ui->SearchButton(1));
    dui::ExReportList& list = ui->List(1);
    ASSERT_GT(list.RowCount(), 2);
    auto names = [&list] {
        std::vector<std::string> column;
        for (int row = 1; row <= list.RowCount(); ++row) column.push_back(list.CellText(row, 1));
        return column;
    };
    const std::vector<std::string> page_order = names();
    std::vector<std::string> ascending = page_order;
    std::stable_sort(ascending.begin(), ascending.end(), [](const std::string& a, const std::string& b) {
        return search::CompareCellValues(a, b) < 0;
    });

    list.SendControlMessage(dui::EX_MSG_HEADERCLICK, 1, 0);
    EXPECT_EQ(names(), ascending);
    EXPECT_EQ(list.SortDirection(), dui::SortIndicator::Ascending);
    list.SendControlMessage(dui::EX_MSG_HEADERCLICK, 1, 0);
    EXPECT_EQ(list.SortDirection(), dui::SortIndicator::Descending);
    EXPECT_EQ(names().front(), ascending.back());
    list.SendControlMessage(dui::EX_MSG_HEADERCLICK, 1, 0);
    EXPECT_EQ(list.SortDirection(), dui::SortIndicator::None);
    EXPECT_EQ(names(), page_order);

    // While a column is sorted, the next page arrives sorted the same way.
    list.SendControlMessage(dui::EX_MSG_HEADERCLICK, 1, 0);
    Click(ui->NextButton(1));
    const std::vector<std::string> next_page = names();
    EXPECT_TRUE(std::is_sorted(next_page.begin(), next_page.end(), [](const std::string& a, const std::string& b) {
        return search::CompareCellValues(a, b) < 0;
    }));
}
