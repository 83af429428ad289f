#include "app/main_window.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "app/background_wait.h"
#include "app/client_uri.h"
#include "app/result_file.h"
#include "app/player_window.h"
#include "dui/controls/message_box.h"
#include "platform/background.h"
#include "platform/desktop.h"
#include "search/detail_address.h"
#include "search/engine_search.h"
#include "search/value_order.h"
#include "services/http.h"
#include "util/scoped_value.h"
#include "util/gbk_text.h"

namespace app {
namespace {

using dui::MakeArgb;

// What a search's worker hands back: the rows it extracted, or why the
// page could not be fetched.
struct FoundRows {
    services::HttpFailure failure = services::HttpFailure::None;
    std::vector<std::vector<std::string>> rows;
};

FoundRows FetchAndExtract(const search::SearchEngine& engine, const std::string& keyword,
                          int page, const services::CancelToken& cancel) {
    FoundRows found;
    search::PageResult fetched = search::FetchEnginePageResult(engine, keyword, page, cancel);
    found.failure = fetched.failure;
    if (fetched.Failed()) return found;
    search::ExtractResults(engine, std::move(fetched.text),
                           [&found](std::vector<std::string>&& cells) {
                               found.rows.push_back(std::move(cells));
                           });
    return found;
}

// Skin resources.
constexpr int kSkinButtonNormal = 5;
constexpr int kSkinButtonHover = 6;
constexpr int kSkinButtonPressed = 7;
constexpr int kSkinTopPicture = 8;

constexpr const char* kTabCaptions[kTabCount] = {"欢迎使用", "引擎1", "引擎2", "引擎3"};
constexpr const char* kMenuPlay1 = "在线播放视频[引擎1]";
constexpr const char* kMenuPlay2 = "在线播放视频[引擎2]";
constexpr const char* kMenuCopy = "复制下载地址";
constexpr const char* kMenuOpen = "用下载工具打开";
constexpr const char* kMenuClearHistory = "清除搜索历史";
// The keyword menu offers this many, each shown with at most this many
// characters so that a long keyword cannot make the menu wider than a screen.
constexpr std::size_t kHistoryMenuKeywords = 10;
constexpr std::size_t kHistoryMenuCaptionUnits = 30;

// Input that never reaches the engine pages while a search runs.
bool IsKeyboardInput(uint32_t message) {
    return (message >= plat::WM_KEYFIRST && message <= plat::WM_KEYLAST &&
            message != plat::WM_SYSKEYDOWN && message != plat::WM_SYSKEYUP &&
            message != plat::WM_SYSCHAR) ||
           message == plat::WM_IME_STARTCOMPOSITION || message == plat::WM_IME_COMPOSITION ||
           message == plat::WM_IME_ENDCOMPOSITION || message == plat::WM_IME_CHAR;
}

bool IsMouseInput(uint32_t message) {
    return message >= plat::WM_MOUSEFIRST && message <= plat::WM_MOUSELAST;
}

// A keyword as a menu caption: shortened with "…", every "&" doubled so
// that it shows as itself rather than marking a hotkey.
std::string KeywordCaption(std::string_view keyword) {
    std::string caption;
    std::size_t units = 0;
    for (std::size_t at = 0; at < keyword.size(); ++units) {
        if (units == kHistoryMenuCaptionUnits) return caption + "…";
        const std::size_t length = util::GbkCharLength(keyword, at);
        if (keyword[at] == '&') caption += '&';
        caption.append(keyword, at, length);
        at += length;
    }
    return caption;
}

}  // namespace

std::string SiteDomain(std::string_view site_address) {
    const services::ParsedUrl url = services::ParseUrl(site_address);
    if (url.host.empty()) return std::string(site_address);
    const int default_port = url.secure ? 443 : 80;
    if (url.port != default_port && url.port != 0) {
        return url.host + ":" + std::to_string(url.port);
    }
    return url.host;
}

std::string VersionLine(std::string_view domain) {
    return "官方网址：" + std::string(domain) + std::string(44, ' ') + "版本：" + kProductVersion;
}

std::string AboutText(std::string_view domain) {
    const std::string site(domain);
    return std::string("欢迎使用，本软件绿色免费，如果使用途中有什么问题欢迎到我们官方网站留言\r\n") +
           "提出，感谢你对我们的支持！\r\n\r\n" + "官方网址：" + site + "\r\n\r\n" +
           "软件作者：" + kAuthorName + "\r\n\r\n" + "软件版本：" + kProductVersion + "\r\n\r\n" +
           "腾讯微博：" + site + "/" + kAuthorName;
}

std::array<search::SearchEngine, kEngineCount> TabEngines(const search::EngineCatalogue& engines,
                                                         const SiteSettings& sites) {
    std::array<const search::SearchEngine*, kEngineCount> chosen{};
    for (std::size_t tab = 0; tab < chosen.size(); ++tab) {
        const search::SearchEngine* named = engines.Find(sites.tabs[tab]);
        if (!sites.tabs[tab].empty() && named != nullptr && named->enabled) chosen[tab] = named;
    }
    const std::vector<const search::SearchEngine*> enabled = engines.Enabled();
    auto next = enabled.begin();
    for (const search::SearchEngine*& tab : chosen) {
        while (tab == nullptr && next != enabled.end()) {
            if (std::find(chosen.begin(), chosen.end(), *next) == chosen.end()) tab = *next;
            ++next;
        }
    }
    std::array<search::SearchEngine, kEngineCount> tabs;
    for (std::size_t tab = 0; tab < chosen.size(); ++tab) {
        if (chosen[tab] == nullptr) continue;
        tabs[tab] = *chosen[tab];
        tabs[tab].site_root = EngineRoot(tabs[tab].file_name, tabs[tab].site_root, sites);
    }
    return tabs;
}

std::string OutcomeBadge(const SearchOutcome& outcome) {
    switch (outcome.failure) {
        case services::HttpFailure::None: return std::to_string(outcome.rows);
        case services::HttpFailure::Cancelled: return {};
        default: return "!";
    }
}

std::string OutcomeTooltip(int engine, const SearchOutcome& outcome) {
    const std::string name = "引擎" + std::to_string(engine) + "：";
    if (outcome.failure == services::HttpFailure::Cancelled) return name + kSearchCancelledText;
    if (outcome.failure != services::HttpFailure::None) {
        return name + kSearchFailedPrefix + std::string(services::HttpFailureText(outcome.failure));
    }
    // Seconds with two decimals, rounded: "0.41".
    const std::uint64_t hundredths = (outcome.elapsed_ms + 5) / 10;
    const std::string fraction = std::to_string(100 + hundredths % 100).substr(1);
    return name + std::to_string(outcome.rows) + " 条结果，" + std::to_string(hundredths / 100) +
           "." + fraction + " 秒";
}

MainWindow::~MainWindow() {
    CancelSearches();
}

void MainWindow::BuildMainWindow(dui::ExHostWindow& host, const SkinPackage& skin,
                                 const SiteSettings& sites, const search::EngineCatalogue& engines) {
    BuildFirstPage(host, skin, sites, engines);
    BuildEnginePages(skin);
}

void MainWindow::BuildFirstPage(dui::ExHostWindow& host, const SkinPackage& skin,
                                const SiteSettings& sites, const search::EngineCatalogue& engines) {
    m_host = &host;
    m_window = host.Window();
    const std::array<search::SearchEngine, kEngineCount> tab_engines = TabEngines(engines, sites);
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        Page(engine).engine = tab_engines[Index(engine)];
    }
    CreateFrameControls(skin, sites);
    m_about_label.SetParent(m_pages.PageHandle(1));
    RestyleTitleLabel();
    host.OnMessage([this](plat::HWND window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        return ShowExitQuestion(window, message, wparam, lparam);
    });
    BindTabs();
}

void MainWindow::BuildEnginePages(const SkinPackage& skin) {
    if (m_host == nullptr || List(1).GetHandle() != dui::ControlHandle::None) return;
    CreatePageControls(skin);
    CreateListsAndMenus();
    MoveIntoPages();
    // Paging waits for the first search of each engine.
    for (EnginePage& page : m_engine_pages) {
        page.previous_button.Disabled(true);
        page.next_button.Disabled(true);
    }
    BindPageEvents();
}

void MainWindow::CreateFrameControls(const SkinPackage& skin, const SiteSettings& sites) {
    const plat::HWND window = m_window;
    const auto w = static_cast<float>(m_host->ClientWidth());
    const auto h = static_cast<float>(m_host->ClientHeight());
    const std::string domain = SiteDomain(sites.site);

    dui::GroupBoxOptions panel3;
    panel3.glow_colour = MakeArgb(0x000000, 20);
    panel3.fill_colour = MakeArgb(0xFFFFFF, 140);
    panel3.frame_colour = MakeArgb(0x000000, 40);
    panel3.rounded = true;
    m_panel3.CreateGroupBox(window, 0, 110, w, 282, panel3);

    dui::GroupBoxOptions panel1;
    panel1.glow_colour = MakeArgb(0x000000, 90);
    panel1.fill_colour = MakeArgb(0xFFFFFF, 120);
    panel1.frame_colour = MakeArgb(0x000000, 80);
    panel1.rounded = false;
    m_panel1.CreateGroupBox(window, 0, h - 36, w, 36, panel1);

    m_top_picture.CreateFromBytes(window, 174, 12, 150, 20, skin.Resource(kSkinTopPicture));
    m_top_picture.Alpha(180);

    dui::LabelOptions version;
    version.text = VersionLine(domain);
    version.text_colour = MakeArgb(0xFFFFFF);
    version.font_style = dui::kFontBold;
    version.text_effect = dui::kTextEffectGlowFactor;
    version.glow_colour = MakeArgb(0x000000, 50);
    m_version_label.CreateLabel(window, 12, h - 30, w, 20, version);

    dui::LabelOptions about;
    about.text = AboutText(domain);
    about.word_wrap = true;
    about.font_style = dui::kFontBold;
    about.text_effect = dui::kTextEffectGlow;
    m_about_label.CreateLabel(window, 12, 154, w - 19, 240, about);

    for (int tab = 1; tab <= kTabCount; ++tab) {
        dui::ExToggleButton& button = m_tabs[Index(tab)];
        dui::TextControlOptions options;
        options.font_name = "微软雅黑";
        options.font_style = dui::kFontBold;
        options.text_effect = dui::kTextEffectGlow;
        options.corner_style = 0;  // square
        button.CreateTextControl(window, 62.0f + 90.0f * static_cast<float>(tab - 1), 38, 80, 65,
                                 {}, options);
        button.IconData(skin.Resource(tab));
        button.IconPosition(dui::kIconAboveText);
        button.Gap(4);
        const std::string& caption = tab >= 2 ? Page(tab - 1).engine.caption : std::string();
        button.Caption(caption.empty() ? kTabCaptions[tab - 1] : caption);
    }
    m_tabs[0].Checked(true);

    m_pages.SetPageRect(window, -1, 107, w, 248);
    for (int page = 1; page <= kTabCount; ++page) m_pages.AddPage();
    m_pages.SelectPage(1);

    dui::LabelOptions status;
    status.text = search::kInitialStatusText;
    status.text_colour = MakeArgb(0xFFFFFF);
    status.alignment = dui::StringAlignment::Center;
    status.text_effect = dui::kTextEffectGlow;
    status.glow_colour = MakeArgb(0x000000, 70);
    m_status_label.CreateLabel(window, 174, 13, 150, 20, status);
}

void MainWindow::CreatePageControls(const SkinPackage& skin) {
    const plat::HWND window = m_window;
    const auto w = static_cast<float>(m_host->ClientWidth());
    const auto h = static_cast<float>(m_host->ClientHeight());
    // Each kind of page control is created for all three engines before the
    // next kind, which fixes the handles and the focus order.
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        dui::ReportListOptions options;
        options.view = dui::ListView::Report;
        options.hover_text = MakeArgb(0x0080FF, 200);
        options.selected_text = MakeArgb(0x0000FF, 160);
        options.back_colour = MakeArgb(0xFF8800, 80);
        dui::ExReportList& list = List(engine);
        list.CreateReportList(window, 12, 116, 446, 202, options);
        list.Alpha(200);
    }

    for (int engine = 1; engine <= kEngineCount; ++engine) {
        dui::LabelOptions caption;
        caption.text = "搜索内容：";
        caption.text_colour = MakeArgb(0xFFFFFF);
        caption.font_style = dui::kFontBold;
        caption.text_effect = dui::kTextEffectGlow;
        caption.glow_colour = MakeArgb(0x000000, 70);
        Page(engine).caption.CreateLabel(window, 12, h - 64, w, 20, caption);
    }

    for (int engine = 1; engine <= kEngineCount; ++engine) {
        dui::EditOptions options;
        options.text_colour = MakeArgb(0xFF8800);
        options.multi_line = false;
        options.input_type = dui::EditInputType::Normal;
        dui::ExEdit& box = KeywordBox(engine);
        box.CreateEdit(window, 76, h - 66, 180, 24, options);
        box.Invalidate();
    }

    struct ButtonKind {
        dui::ExImageButton EnginePage::*button;
        const char* caption;
        float left;
    };
    constexpr ButtonKind kButtons[3] = {{&EnginePage::search_button, "搜索", 258},
                                        {&EnginePage::previous_button, "上一页", 325},
                                        {&EnginePage::next_button, "下一页", 392}};
    for (const ButtonKind& kind : kButtons) {
        for (EnginePage& page : m_engine_pages) {
            dui::ExImageButton& push = page.*kind.button;
            dui::TextControlOptions options;
            options.text_colour = MakeArgb(0xFFFFFF);
            options.text_effect = dui::kTextEffectGlow;
            options.glow_colour = MakeArgb(0x000000, 30);
            push.CreateTextControl(window, kind.left, h - 66, 65, 26, kind.caption, options);
            push.SetImages(skin.Resource(kSkinButtonNormal), skin.Resource(kSkinButtonHover),
                           skin.Resource(kSkinButtonPressed), dui::kImageStretched);
        }
    }
}

void MainWindow::CreateListsAndMenus() {
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        dui::ExReportList& list = List(engine);
        for (const search::Column& column : Page(engine).engine.columns) {
            dui::StringAlignment alignment = dui::StringAlignment::Center;
            switch (column.alignment) {
                case search::ColumnAlignment::Near: alignment = dui::StringAlignment::Near; break;
                case search::ColumnAlignment::Center: alignment = dui::StringAlignment::Center; break;
                case search::ColumnAlignment::Far: alignment = dui::StringAlignment::Far; break;
            }
            list.InsertColumn(0, column.caption, column.width, alignment);
        }
    }

    for (int list = 1; list <= kEngineCount; ++list) {
        dui::ExPopupMenu& menu = Menu(list);
        menu.AddItem(kMenuPlay1, std::function<void()>([this, list] { PlayFromList(list, 1); }));
        menu.AddItem(kMenuPlay2, std::function<void()>([this, list] { PlayFromList(list, 2); }));
        if (Page(list).engine.detail) {
            menu.AddItem(kMenuCopy, std::function<void()>([this, list] { CopyDetailAddress(list); }));
        } else {
            menu.AddItem(kMenuCopy,
                         std::function<void()>([this, list] { CopyDownloadAddress(list); }));
        }
        menu.AddItem(kMenuOpen, std::function<void()>([this, list] {
                         AfterInput([this, list] { OpenWithDownloadClient(list); });
                     }));
    }
}

void MainWindow::MoveIntoPages() {
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        const dui::ControlHandle tab_page = m_pages.PageHandle(engine + 1);
        EnginePage& page = Page(engine);
        page.list.SetParent(tab_page);
        page.caption.SetParent(tab_page);
        page.keyword_box.SetParent(tab_page);
        page.search_button.SetParent(tab_page);
        page.previous_button.SetParent(tab_page);
        page.next_button.SetParent(tab_page);
    }
}

void MainWindow::RestyleTitleLabel() {
    // Attach creates the caption's title label as a label control.
    auto* title = dynamic_cast<dui::ExLabel*>(m_host->TitleLabel());
    if (title == nullptr) return;
    title->AutoContrast(false);
    title->TextColour(MakeArgb(0xFFFFFF, 190));
    title->GlowColour(MakeArgb(0x000000, 51));
    title->FontStyle(1);
    title->TextEffect(4);
}

void MainWindow::BindTabs() {
    for (int tab = 1; tab <= kTabCount; ++tab) {
        // Tabs switch on press, not on click.
        m_tabs[Index(tab)].BindEvent(plat::WM_LBUTTONDOWN,
                                     [this, tab](const dui::ControlEvent&) { SelectTab(tab); });
    }
}

void MainWindow::BindPageEvents() {
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        EnginePage& page = Page(engine);
        page.list.OnRightClick(
            [this, engine](dui::ControlHandle, int) { Menu(engine).Popup(m_window, 0, 0); });
        // A double-click on a row opens it once the button is up again.
        page.list.BindEvent(plat::WM_LBUTTONDOWN, [this, engine](const dui::ControlEvent& event) {
            if (event.wparam != dui::DOUBLECLICK_MARKER) return;
            const dui::ExReportList& list = List(engine);
            const dui::RectF bounds = list.Bounds();
            const auto x = static_cast<float>(static_cast<int16_t>(event.lparam & 0xFFFF));
            const auto y = static_cast<float>(static_cast<int16_t>((event.lparam >> 16) & 0xFFFF));
            if (list.HitTest(x - bounds.left, y - bounds.top).found) m_open_on_release = engine;
        });
        page.list.BindEvent(plat::WM_LBUTTONUP, [this, engine](const dui::ControlEvent&) {
            if (m_open_on_release != engine) return;
            m_open_on_release = 0;
            AfterInput([this, engine] { OpenWithDownloadClient(engine); });
        });
        page.list.BindEvent(plat::WM_KEYDOWN, [this, engine](const dui::ControlEvent& event) {
            if (event.wparam == plat::VK_RETURN) {
                AfterInput([this, engine] { OpenWithDownloadClient(engine); });
            }
        });
        page.list.BindEvent(dui::EX_MSG_HEADERCLICK, [this, engine](const dui::ControlEvent& event) {
            CycleSort(engine, static_cast<int>(event.wparam));
        });
        page.search_button.BindEvent(
            dui::EX_MSG_CLICK, [this, engine](const dui::ControlEvent&) { NewSearch(engine); });
        page.previous_button.BindEvent(
            dui::EX_MSG_CLICK, [this, engine](const dui::ControlEvent&) { PreviousPage(engine); });
        page.next_button.BindEvent(
            dui::EX_MSG_CLICK, [this, engine](const dui::ControlEvent&) { NextPage(engine); });
        // Enter in a keyword box searches, as the engine's search button
        // does; Down offers the keywords searched before.
        page.keyword_box.BindEvent(
            plat::WM_KEYDOWN, [this, engine](const dui::ControlEvent& event) {
                if (event.wparam == plat::VK_RETURN) {
                    if (plat::GetKeyState(plat::VK_CONTROL) < 0) {
                        SearchAllEngines(engine);
                    } else {
                        NewSearch(engine);
                    }
                }
                if (event.wparam == plat::VK_DOWN) ShowKeywordHistory(engine);
            });
    }
}

bool MainWindow::OnShortcut(uint32_t message, int key) {
    const bool ctrl = plat::GetKeyState(plat::VK_CONTROL) < 0;
    const bool shift = plat::GetKeyState(plat::VK_SHIFT) < 0;
    const bool alt = message == plat::WM_SYSKEYDOWN;
    const int tab = m_pages.SelectPage();
    const int engine = tab >= 2 ? tab - 1 : 0;
    if (ctrl && !alt) {
        if (key == 'F' || key == 'L') {
            if (tab == 1) SelectTab(2);
            const int target = m_pages.SelectPage() - 1;
            m_host->SetFocus(KeywordBox(target).GetHandle(), true);
            KeywordBox(target).SelectAll();
            return true;
        }
        if (key >= '1' && key < '1' + kEngineCount) {
            SelectTab(key - '1' + 2);
            return true;
        }
        if (key == plat::VK_TAB) {
            SelectTab(shift ? (tab + kTabCount - 2) % kTabCount + 1 : tab % kTabCount + 1);
            return true;
        }
        if (key == 'S') {
            if (engine != 0) AfterInput([this, engine] { SaveSearchResults(engine); });
            return true;
        }
        if (key == 'C' && FocusedList() != 0) {
            const int list = FocusedList();
            if (Page(list).engine.detail) {
                AfterInput([this, list] { CopyDetailAddress(list); });
            } else {
                CopyDownloadAddress(list);
            }
            return true;
        }
        return false;
    }
    if (alt && !ctrl && engine != 0 && (key == plat::VK_LEFT || key == plat::VK_RIGHT)) {
        dui::ExImageButton& button = key == plat::VK_RIGHT ? NextButton(engine) : PreviousButton(engine);
        if (!button.Disabled()) {
            AfterInput([this, engine, next = key == plat::VK_RIGHT] {
                next ? NextPage(engine) : PreviousPage(engine);
            });
        }
        return true;
    }
    if (key == plat::VK_F5 && !ctrl && !alt) {
        if (engine != 0 && m_state.PageCounter(engine) >= 1 && !m_state.Searching()) {
            AfterInput([this, engine] {
                if (!m_busy && !m_state.Searching()) RunEngineSearch(engine, m_state.PageCounter(engine));
            });
        }
        return true;
    }
    if ((key == plat::VK_APPS && !ctrl && !alt) || (key == plat::VK_F10 && shift && !ctrl)) {
        const int list = FocusedList();
        if (list == 0) return false;
        ShowRowMenu(list);
        return true;
    }
    return false;
}

int MainWindow::FocusedList() const {
    const dui::ControlHandle focused = m_host->FocusedControl();
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        if (m_engine_pages[Index(engine)].list.GetHandle() == focused) return engine;
    }
    return 0;
}

void MainWindow::ShowRowMenu(int list) {
    const dui::ExReportList& control = List(list);
    const int row = control.CurrentRow();
    if (row <= 0) return;
    // At the row's lower left, kept inside the rows the list shows.
    const dui::RectF bounds = control.Bounds();
    const dui::RectF visible = control.VisibleRect();
    const dui::RectF rect = control.RowRect(row);
    const float bottom = std::clamp(visible.top + rect.top + rect.height, visible.top,
                                    visible.top + visible.height);
    plat::POINT at{static_cast<int>(bounds.left + visible.left) + 10,
                   static_cast<int>(bounds.top + bottom)};
    plat::ClientToScreen(m_window, &at);
    Menu(list).Popup(m_window, at.x, at.y);
}

void MainWindow::SelectTab(int tab) {
    if (tab < 1 || tab > kTabCount) return;
    for (int other = 1; other <= kTabCount; ++other) {
        m_tabs[Index(other)].Checked(other == tab);
    }
    m_pages.SelectPage(tab);
    if (tab >= 2) m_state.CurrentEngine(tab - 1);
}

void MainWindow::NewSearch(int engine) {
    if (m_history != nullptr && engine >= 1 && engine <= kEngineCount && !Searching(engine)) {
        m_history->Remember(KeywordBox(engine).EditText());
    }
    m_state.NewSearch(engine, *this);
}

void MainWindow::SearchAllEngines(int from) {
    if (from < 1 || from > kEngineCount || m_lookup) return;
    const std::string keyword = KeywordBox(from).EditText();
    if (m_history != nullptr) m_history->Remember(keyword);
    const int visible = m_pages.SelectPage() - 1;
    {
        util::ScopedValue<bool> starting(m_starting_several, true);
        // An engine still searching ignores this as its page ignores input.
        const auto start = [this, &keyword](int engine) {
            if (Searching(engine)) return;
            KeywordBox(engine).EditText(keyword);
            m_state.NewSearch(engine, *this);
        };
        for (int engine = 1; engine <= kEngineCount; ++engine) {
            if (engine != visible) start(engine);
        }
        if (visible >= 1 && visible <= kEngineCount) start(visible);
    }
    if (!m_busy && SearchesRunning()) WaitWhileBusy([this] { return !SearchesRunning(); });
}

void MainWindow::ShowKeywordHistory(int engine) {
    if (m_history == nullptr || engine < 1 || engine > kEngineCount) return;
    dui::ExEdit& box = KeywordBox(engine);
    const std::vector<std::string> keywords =
        m_history->Matching(box.EditText(), kHistoryMenuKeywords);
    if (keywords.empty()) return;

    dui::ExPopupMenu& menu = m_keyword_menu;
    menu.ClearItems();
    const dui::ControlHandle box_handle = box.GetHandle();
    for (const std::string& keyword : keywords) {
        menu.AddItem(KeywordCaption(keyword), std::function<void()>([box_handle, keyword] {
                         // The box may be gone by the time the menu returns.
                         if (auto* target = static_cast<dui::ExEdit*>(dui::ResolveControl(box_handle))) {
                             target->EditText(keyword);
                         }
                     }));
    }
    menu.AddSeparator();
    menu.AddItem(kMenuClearHistory, std::function<void()>([history = m_history] { history->Clear(); }));

    // Under the box, or ending above it where the work area ends first.
    const dui::RectF bounds = box.Bounds();
    plat::POINT below{static_cast<int>(bounds.left), static_cast<int>(bounds.top + bounds.height)};
    plat::POINT above{below.x, static_cast<int>(bounds.top)};
    plat::ClientToScreen(m_window, &below);
    plat::ClientToScreen(m_window, &above);
    plat::RECT area{};
    plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0);
    const plat::SIZE size = dui::MenuSize(menu.Items(), menu.Width());
    menu.Popup(m_window, below.x, below.y + size.cy <= area.bottom ? below.y : above.y - size.cy);
}

int MainWindow::EngineAddressColumn(int engine) {
    return static_cast<int>(Page(engine).engine.address_column) + 1;
}

void MainWindow::CopyDownloadAddress(int list) {
    if (list < 1 || list > kEngineCount) return;
    dui::ExReportList& control = List(list);
    const int row = control.CurrentRow();
    // No current row empties the clipboard on purpose.
    plat::SetClipboardText(row > 0 ? control.CellText(row, EngineAddressColumn(list)) : std::string());
}

std::optional<search::PageResult> MainWindow::LookUpDetailAddress(int engine) {
    const search::DetailRule rule = *Page(engine).engine.detail;
    dui::ExReportList& list = List(engine);
    const int row = list.CurrentRow();
    const std::string detail_url = row > 0 ? list.CellText(row, EngineAddressColumn(engine)) : std::string();
    const services::CancelToken cancel;
    m_lookup = cancel;
    auto found = std::make_shared<std::optional<search::PageResult>>();
    plat::RunInBackground(
        m_window, [detail_url, rule, cancel] { return search::ResolveDetailAddressResult(detail_url, rule, cancel); },
        [found](search::PageResult result) { *found = std::move(result); });
    const bool served = WaitWhileBusy([&found] { return found->has_value(); });
    m_lookup.reset();
    if (!served || (*found)->failure == services::HttpFailure::Cancelled) return std::nullopt;
    return std::move(**found);
}

void MainWindow::CopyDetailAddress(int engine) {
    if (m_busy || engine < 1 || engine > kEngineCount || !Page(engine).engine.detail) return;
    const std::optional<search::PageResult> found = LookUpDetailAddress(engine);
    if (!found) return;
    // A page without the address, or a failed lookup, leaves the clipboard
    // empty rather than holding page markup.
    plat::SetClipboardText(found->Failed() ? std::string() : found->text);
}

void MainWindow::OpenWithDownloadClient(int engine) {
    if (engine < 1 || engine > kEngineCount || m_busy) return;
    dui::ExReportList& list = List(engine);
    const int row = list.CurrentRow();
    if (row <= 0) return;
    if (!Page(engine).engine.detail) {
        HandToDesktop(list.CellText(row, EngineAddressColumn(engine)));
        return;
    }
    const std::optional<search::PageResult> found = LookUpDetailAddress(engine);
    if (!found) return;
    if (found->Failed()) {
        ShowProblem("没有从详情页得到下载地址：" +
                    std::string(services::HttpFailureText(found->failure)));
        return;
    }
    if (found->text.empty()) {
        ShowProblem("详情页上没有下载地址。");
        return;
    }
    HandToDesktop(found->text);
}

void MainWindow::HandToDesktop(const std::string& address) {
    const ClientUri client = MakeClientUri(address);
    if (client.Refused()) {
        ShowProblem(client.refusal);
        return;
    }
    const std::string kind(LinkKindName(client.kind));
    plat::LaunchDefaultForUri(m_window, client.uri, [this, address, kind](plat::UriLaunchResult result) {
        if (result.outcome == plat::UriLaunch::Launched) return;
        // Nothing is lost: the address can be pasted into a client by hand.
        plat::SetClipboardText(address);
        ShowProblem(result.outcome == plat::UriLaunch::NoHandler
                        ? "没有找到打开" + kind + "的程序，地址已复制到剪贴板。"
                        : "下载工具没有启动（" + result.detail + "），地址已复制到剪贴板。");
    });
}

void MainWindow::SaveSearchResults(int engine) {
    if (engine < 1 || engine > kEngineCount || m_saving) return;
    const dui::ExReportList& list = List(engine);
    if (list.RowCount() == 0) {
        ShowProblem("列表中没有搜索结果，没有保存。");
        return;
    }
    // The rows as they are now: the list may change while the dialog is open.
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<std::size_t>(list.RowCount()));
    for (int row = 1; row <= list.RowCount(); ++row) {
        std::vector<std::string>& cells = rows.emplace_back();
        for (int column = 1; column <= list.ColumnCount(); ++column) {
            cells.push_back(list.CellText(row, column));
        }
    }
    const int page = m_state.PageCounter(engine);
    m_saving = true;
    plat::ShowSaveDialog(
        m_window, "保存搜索结果", SuggestedResultFileName(KeywordBox(engine).EditText(), page),
        [this, description = Page(engine).engine, page,
         rows = std::move(rows)](std::optional<std::string> path) {
            m_saving = false;
            if (!path) return;
            const std::string failure = SaveResultFile(*path, description, page, rows);
            if (!failure.empty()) ShowProblem("搜索结果没有保存。" + failure);
        });
}

void MainWindow::ShowProblem(const std::string& text) {
    dui::MessageBoxOptions options;
    options.icon = dui::kIconWarning;
    options.centre_on_owner = true;
    dui::ShowMessageBox(m_window, text, std::move(options));
}

void MainWindow::AfterInput(std::function<void()> command) {
    const plat::HWND window = m_window;
    plat::PostToUiThread([window, command = std::move(command)] {
        if (plat::IsWindow(window)) command();
    });
}

void MainWindow::PlayFromList(int list, int player_engine) {
    dui::ExReportList& control = List(list);
    const int row = control.CurrentRow();
    std::string address = row > 0 ? control.CellText(row, EngineAddressColumn(list)) : std::string();
    std::string name = row > 0 ? control.CellText(row, 1) : std::string();
    // The player runs its own loop: start it once the menu and the click
    // that opened it have fully returned.
    plat::PostToUiThread([detail = Page(list).engine.detail, player_engine, address = std::move(address),
                          name = std::move(name)]() mutable {
        RunPlayCommand(detail, player_engine, std::move(address), std::move(name));
    });
}

intptr_t MainWindow::ShowExitQuestion(plat::HWND window, uint32_t message, uintptr_t wparam,
                                      intptr_t lparam) {
    if (message == plat::WM_SETCURSOR && m_busy && (VisiblePageBusy() || m_lookup)) {
        plat::SetCursor(plat::LoadCursor(nullptr, plat::IDC_WAIT));
        return 1;
    }
    if ((message == plat::WM_KEYDOWN || message == plat::WM_SYSKEYDOWN) &&
        OnShortcut(message, static_cast<int>(wparam))) {
        return 0;
    }
    return m_exit_question.ShowExitQuestion(window, message, wparam, lparam);
}

void MainWindow::SetStatusText(const std::string& text) {
    m_status_label.LabelText(text);
}

void MainWindow::SetPreviousPageDisabled(int engine, bool disabled) {
    if (engine >= 1 && engine <= kEngineCount) PreviousButton(engine).Disabled(disabled);
}

void MainWindow::SetNextPageDisabled(int engine, bool disabled) {
    if (engine >= 1 && engine <= kEngineCount) NextButton(engine).Disabled(disabled);
}

void MainWindow::RunEngineSearch(int engine, int page) {
    // An engine searches once at a time; a detail lookup holds them all.
    if (engine < 1 || engine > kEngineCount || Page(engine).search || m_lookup) return;
    StartEngineSearch(engine, page);
    // Inside a wait already (another engine is searching), this search
    // joins it: that wait lasts until every search has ended.
    if (m_busy || m_starting_several) return;
    WaitWhileBusy([this] { return !SearchesRunning(); });
}

void MainWindow::StartEngineSearch(int engine, int page) {
    EnginePage& engine_page = Page(engine);
    engine_page.list.Clear();
    engine_page.list.EmptyText("");
    const services::CancelToken cancel;
    engine_page.search = cancel;
    engine_page.search_started_ms = plat::GetTickCount64();
    engine_page.outcome.reset();
    ShowOutcomeOnTab(engine);
    // The pattern runs on the worker too: a page built to make it slow
    // costs that thread its time budget, never the window its painting.
    plat::RunInBackground(
        m_window,
        [description = engine_page.engine, keyword = engine_page.keyword_box.EditText(), page,
         cancel] { return FetchAndExtract(description, keyword, page, cancel); },
        [this, engine, cancel](FoundRows found) {
            ShowSearchOutcome(engine, cancel, found.failure, std::move(found.rows));
        });
}

void MainWindow::ShowSearchOutcome(int engine, const services::CancelToken& token,
                                   services::HttpFailure failure,
                                   std::vector<std::vector<std::string>> rows) {
    EnginePage& engine_page = Page(engine);
    engine_page.search.reset();
    dui::ExReportList& list = engine_page.list;
    // A cancel that came after the fetch still keeps the page's rows out.
    if (token.Cancelled()) failure = services::HttpFailure::Cancelled;
    SearchOutcome& outcome = engine_page.outcome.emplace();
    outcome.failure = failure;
    outcome.rows = failure == services::HttpFailure::None ? static_cast<int>(rows.size()) : 0;
    outcome.elapsed_ms = plat::GetTickCount64() - engine_page.search_started_ms;
    ShowOutcomeOnTab(engine);
    if (failure == services::HttpFailure::Cancelled) {
        list.EmptyText(kSearchCancelledText);
        return;
    }
    if (failure != services::HttpFailure::None) {
        list.EmptyText(kSearchFailedPrefix + std::string(services::HttpFailureText(failure)));
        return;
    }
    // One insertion and its cell updates per match; the list paints once
    // per frame however many rows arrive.
    for (std::vector<std::string>& cells : rows) {
        const int row = list.InsertRow();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            list.CellText(row, static_cast<int>(c) + 1, std::move(cells[c]));
        }
    }
    // A page that arrives while a column is sorted is shown sorted the same way.
    ApplySort(engine);
    if (rows.empty()) list.EmptyText(kNoResultsText);
}

void MainWindow::ShowOutcomeOnTab(int engine) {
    const std::optional<SearchOutcome>& outcome = Page(engine).outcome;
    Tab(engine + 1).TooltipText(outcome ? OutcomeTooltip(engine, *outcome) : std::string());
    Tab(engine + 1).Badge(outcome ? OutcomeBadge(*outcome) : std::string());
}

void MainWindow::CycleSort(int engine, int column) {
    dui::ExReportList& list = List(engine);
    if (column < 1 || column > list.ColumnCount()) return;
    // Each click on the same header steps ascending, descending, page order.
    dui::SortIndicator direction = dui::SortIndicator::Ascending;
    if (list.SortColumn() == column) {
        switch (list.SortDirection()) {
            case dui::SortIndicator::None: direction = dui::SortIndicator::Ascending; break;
            case dui::SortIndicator::Ascending: direction = dui::SortIndicator::Descending; break;
            case dui::SortIndicator::Descending: direction = dui::SortIndicator::None; break;
        }
    }
    list.SortColumn(direction == dui::SortIndicator::None ? 0 : column, direction);
    if (direction == dui::SortIndicator::None) {
        list.RestoreRowOrder();
    } else {
        ApplySort(engine);
    }
}

void MainWindow::ApplySort(int engine) {
    dui::ExReportList& list = List(engine);
    const int column = list.SortColumn();
    if (column < 1 || list.SortDirection() == dui::SortIndicator::None) return;
    const search::SortOrder order = list.SortDirection() == dui::SortIndicator::Descending
                                        ? search::SortOrder::Descending
                                        : search::SortOrder::Ascending;
    const std::vector<dui::ExListRow>& rows = list.Rows();
    const auto cell = static_cast<std::size_t>(column - 1);
    list.ReorderRows(search::SortRowIndexes(
        rows.size(),
        [&rows, cell](std::size_t row) -> std::string_view {
            const std::vector<std::string>& texts = rows[row].cell_texts;
            return cell < texts.size() ? std::string_view(texts[cell]) : std::string_view();
        },
        order));
}

bool MainWindow::VisiblePageBusy() const {
    const int visible = m_pages.SelectPage() - 1;
    return visible >= 1 && visible <= kEngineCount && Searching(visible);
}

int MainWindow::EngineOfControl(dui::ControlHandle control) const {
    const dui::ExControl* at = dui::ResolveControl(control);
    if (at == nullptr) return 0;
    for (int engine = 1; engine <= kEngineCount; ++engine) {
        if (at->GetParent() == m_pages.PageHandle(engine + 1)) return engine;
    }
    return 0;
}

bool MainWindow::SearchesRunning() const {
    for (const EnginePage& page : m_engine_pages) {
        if (page.search) return true;
    }
    return false;
}

void MainWindow::CancelSearches() {
    for (const EnginePage& page : m_engine_pages) {
        if (page.search) page.search->Cancel();
    }
    if (m_lookup) m_lookup->Cancel();
}

bool MainWindow::WaitWhileBusy(const std::function<bool()>& finished) {
    bool served = false;
    {
        util::ScopedValue<bool> busy(m_busy, true);
        plat::SetCursor(plat::LoadCursor(nullptr, plat::IDC_WAIT));
        served = ServeMessagesUntil(
            m_window, finished, [this](const plat::MSG& message) { return DropsDuringSearch(message); });
    }
    if (!served) {
        // The window is gone or the program ends: nobody waits for the
        // outcome, and a stalled site must not keep a worker busy.
        CancelSearches();
        return false;
    }
    // The host puts back the cursor of whatever is under the pointer.
    plat::SendMessage(m_window, plat::WM_SETCURSOR, reinterpret_cast<plat::WPARAM>(m_window),
                      plat::HTCLIENT | (plat::WM_MOUSEMOVE << 16));
    return true;
}

bool MainWindow::DropsDuringSearch(const plat::MSG& message) {
    if (message.hwnd != m_window) return false;
    if (message.message == plat::WM_KEYDOWN && message.wParam == plat::VK_ESCAPE) {
        CancelSearches();
        return true;
    }
    // Only the pages of engines still searching ignore input: the visible
    // one, and the one whose control has the focus.
    const bool visible_busy = VisiblePageBusy();
    if (IsKeyboardInput(message.message)) {
        const int focused = EngineOfControl(m_host->FocusedControl());
        return visible_busy || (focused != 0 && Searching(focused)) || m_lookup.has_value();
    }
    if (!IsMouseInput(message.message)) return false;
    if (!visible_busy && !m_lookup) return false;
    // The wheel carries screen coordinates; it only ever scrolls a list.
    if (message.message == plat::WM_MOUSEWHEEL) return true;
    const auto x = static_cast<float>(static_cast<int16_t>(message.lParam & 0xFFFF));
    const auto y = static_cast<float>(static_cast<int16_t>((message.lParam >> 16) & 0xFFFF));
    // Every engine page's controls lie inside the pages' rectangle.
    const dui::ExControl* page = dui::ResolveControl(m_pages.PageHandle(1));
    if (page == nullptr) return false;
    const dui::RectF pages = page->Bounds();
    return x >= pages.left && x < pages.left + pages.width && y >= pages.top &&
           y < pages.top + pages.height;
}

}  // namespace app
