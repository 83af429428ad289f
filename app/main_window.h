#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/exit_question.h"
#include "app/keyword_history.h"
#include "app/settings.h"
#include "app/skin_package.h"
#include "dui/controls/edit.h"
#include "dui/controls/group_box.h"
#include "dui/controls/image_button.h"
#include "dui/controls/label.h"
#include "dui/controls/page_set.h"
#include "dui/controls/popup_menu.h"
#include "dui/controls/report_list.h"
#include "dui/controls/toggle_button.h"
#include "dui/core/host_window.h"
#include "dui/core/picture.h"
#include "platform/platform.h"
#include "search/engine_catalogue.h"
#include "search/engine_search.h"
#include "search/search_engine.h"
#include "search/search_state.h"
#include "services/http.h"

namespace app {

inline constexpr int kTabCount = 4;
inline constexpr int kEngineCount = search::kEngineCount;

// The texts of the main window that are not a control's caption.
inline constexpr const char* kProductVersion = "1.2";
inline constexpr const char* kAuthorName = "seed-searcher";
inline constexpr const char* kNoResultsText = "没有找到结果";
inline constexpr const char* kSearchFailedPrefix = "搜索失败：";
inline constexpr const char* kSearchCancelledText = "已取消";

// The host (with port, when one is given) of a site address: the domain
// the version line and the about text name.
std::string SiteDomain(std::string_view site_address);
// Label 1: "官方网址：" domain, 44 spaces, "版本：1.2".
std::string VersionLine(std::string_view domain);
// Label 2: the welcome text, the site, the author, the version and the
// microblog address, lines separated by CR LF.
std::string AboutText(std::string_view domain);

// The engines the three engine tabs show: the engine each "tabN" setting
// names when it is loaded and enabled, the first enabled engines not
// shown yet for the others, each with its site root. A tab left without an
// engine gets one that never produces a row.
std::array<search::SearchEngine, kEngineCount> TabEngines(const search::EngineCatalogue& engines,
                                                         const SiteSettings& sites);

// How an engine's last search went, as its tab tells it.
struct SearchOutcome {
    services::HttpFailure failure = services::HttpFailure::None;
    int rows = 0;
    std::uint64_t elapsed_ms = 0;  // from the start of the search to its rows in the list
};
// The tab's badge: the row count, "!" for a failure, nothing for a cancel.
std::string OutcomeBadge(const SearchOutcome& outcome);
// The tab's tooltip: "引擎2：20 条结果，0.41 秒", "引擎3：搜索失败：连接超时" or
// "引擎1：已取消".
std::string OutcomeTooltip(int engine, const SearchOutcome& outcome);

// One engine's page: the controls it shows, the popup menu of its list, the
// engine's site description and its search in flight. The controls are
// moved into the engine's tab page once created.
struct EnginePage {
    search::SearchEngine engine;
    // Set from the start of a search on the engine's worker until its
    // outcome is shown; cancelling it ends the fetch.
    std::optional<services::CancelToken> search;
    std::uint64_t search_started_ms = 0;
    // How the last search that ended went; nullopt before the first one
    // and while one runs.
    std::optional<SearchOutcome> outcome;
    dui::ExReportList list;
    dui::ExLabel caption;  // "搜索内容："
    dui::ExEdit keyword_box;
    dui::ExImageButton search_button;
    dui::ExImageButton previous_button;
    dui::ExImageButton next_button;
    dui::ExPopupMenu menu;
};

// The main window's controls, popup menus and search state, and the commands
// its controls are wired to. Built once on the attached main host; lives
// until the program ends.
class MainWindow : public search::SearchView {
public:
    MainWindow() = default;
    // Searches still running are cancelled: their workers end promptly.
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates every control in its order with its settings, moves the page
    // controls into their pages, disables the paging buttons, restyles the
    // title label, installs the exit question and binds the events:
    // BuildFirstPage, then BuildEnginePages.
    void BuildMainWindow(dui::ExHostWindow& host, const SkinPackage& skin,
                         const SiteSettings& sites, const search::EngineCatalogue& engines);
    // What the first frame shows: the panels, the labels, the tabs, the
    // welcome page and the status line, with the title label restyled, the
    // exit question installed and the tabs bound.
    void BuildFirstPage(dui::ExHostWindow& host, const SkinPackage& skin,
                        const SiteSettings& sites, const search::EngineCatalogue& engines);
    // The three engines' pages, hidden until their tab is chosen: lists,
    // keyword boxes, buttons and menus, bound. Once, after BuildFirstPage.
    void BuildEnginePages(const SkinPackage& skin);

    // Tab n (1..4): checks it alone, shows its page and, for an engine tab,
    // makes that engine the current one.
    void SelectTab(int tab);
    // Puts the address of the list's current row on the clipboard (lists
    // whose engine has no detail pages); no current row empties the
    // clipboard.
    void CopyDownloadAddress(int list);
    // The copy of an engine with detail pages (engine 2's tab by default):
    // looks the current row's detail page up and puts the address it holds
    // (or an empty text) on the clipboard.
    void CopyDetailAddress(int engine = 2);
    // Hands the current row's address to the download client the desktop
    // names for its scheme; an engine with detail pages looks the address
    // up on the row's detail page first. An address that is no magnet or ED2K link, or a
    // failed lookup, is refused with a message box; no program for the
    // scheme, or one that fails to start, is reported the same way and the
    // address goes to the clipboard.
    void OpenWithDownloadClient(int engine);
    // Ctrl+S: asks the desktop's save dialog where the engine's rows go and
    // writes them, every column, as the command line prints them. An empty
    // list saves nothing; a failure says why and keeps an earlier file.
    void SaveSearchResults(int engine);
    // The keywords the keyword boxes offer and remember; null (the default)
    // remembers nothing. Must outlive the window.
    void UseHistory(KeywordHistory* history) { m_history = history; }
    // Down in a keyword box: a menu under the box with the remembered
    // keywords that begin with its text; choosing one puts it into the box.
    // The last item forgets them all. Nothing opens when none matches.
    void ShowKeywordHistory(int engine);
    // Cancels every search and detail lookup in flight (Esc while busy): each
    // list says so and keeps no row of its page.
    void CancelSearches();
    // The main window's message hook: the busy cursor during a search, the
    // exit question, the end of the program when the window is destroyed.
    intptr_t ShowExitQuestion(plat::HWND window, uint32_t message, uintptr_t wparam,
                              intptr_t lparam);

    // The nine button handlers. A new search remembers its keyword.
    void NewSearch(int engine);
    // Ctrl+Enter in engine `from`'s keyword box: its keyword goes into every
    // box and a new search starts on every engine at once, each list filling
    // as its page arrives. The visible tab stays, and so does the status
    // label's form: the visible engine's new search is made last.
    void SearchAllEngines(int from);
    void PreviousPage(int engine) { m_state.PreviousPage(engine, *this); }
    void NextPage(int engine) { m_state.NextPage(engine, *this); }

    // search::SearchView
    void SetStatusText(const std::string& text) override;
    void SetPreviousPageDisabled(int engine, bool disabled) override;
    void SetNextPageDisabled(int engine, bool disabled) override;
    void RunEngineSearch(int engine, int page) override;

    // State and controls, for the start-up and for tests.
    search::SearchState& State() { return m_state; }
    bool Busy() const { return m_busy; }
    // Whether the engine's search is running.
    bool Searching(int engine) const { return m_engine_pages[Index(engine)].search.has_value(); }
    plat::HWND Window() const { return m_window; }
    dui::ExToggleButton& Tab(int tab) { return m_tabs[Index(tab)]; }
    dui::ExPageSet& Pages() { return m_pages; }
    dui::ExGroupBox& Panel(int panel) { return panel == 1 ? m_panel1 : m_panel3; }
    dui::ExLabel& VersionLabel() { return m_version_label; }
    dui::ExLabel& AboutLabel() { return m_about_label; }
    dui::ExLabel& StatusLabel() { return m_status_label; }
    dui::ExPicture& TopPicture() { return m_top_picture; }
    EnginePage& Page(int engine) { return m_engine_pages[Index(engine)]; }
    dui::ExReportList& List(int engine) { return Page(engine).list; }
    dui::ExEdit& KeywordBox(int engine) { return Page(engine).keyword_box; }
    dui::ExImageButton& SearchButton(int engine) { return Page(engine).search_button; }
    dui::ExImageButton& PreviousButton(int engine) { return Page(engine).previous_button; }
    dui::ExImageButton& NextButton(int engine) { return Page(engine).next_button; }
    dui::ExPopupMenu& Menu(int engine) { return Page(engine).menu; }
    dui::ExPopupMenu& KeywordMenu() { return m_keyword_menu; }

private:
    // The 1-based column of the engine tab's list that holds a row's address.
    int EngineAddressColumn(int engine);
    static std::size_t Index(int one_based) { return static_cast<std::size_t>(one_based - 1); }

    void CreateFrameControls(const SkinPackage& skin, const SiteSettings& sites);
    void CreatePageControls(const SkinPackage& skin);
    void CreateListsAndMenus();
    void MoveIntoPages();
    void RestyleTitleLabel();
    void BindTabs();
    void BindPageEvents();
    // Starts the engine's search on a worker of its own; the outcome is
    // shown when it comes back, while the window serves its messages.
    void StartEngineSearch(int engine, int page);
    void ShowSearchOutcome(int engine, const services::CancelToken& token,
                           services::HttpFailure failure,
                           std::vector<std::vector<std::string>> rows);
    // Serves messages, with the busy cursor and the engine pages ignoring
    // input, until `finished` says so; false when the program is ending,
    // after cancelling what still runs.
    bool WaitWhileBusy(const std::function<bool()>& finished);
    // The engine's tab tells how its last search went (nothing while one runs).
    void ShowOutcomeOnTab(int engine);
    // A click on a list's column header: sorted by that column's values,
    // then reversed, then back in page order.
    void CycleSort(int engine, int column);
    // Orders the engine's rows by the list's sort column and direction.
    void ApplySort(int engine);
    bool SearchesRunning() const;
    // Whether the page on show is an engine's whose search runs.
    bool VisiblePageBusy() const;
    // The engine (1..3) whose page holds the control, 0 for none.
    int EngineOfControl(dui::ControlHandle control) const;
    // Input during a wait: Esc cancels, the engine pages' input is dropped.
    bool DropsDuringSearch(const plat::MSG& message);
    void PlayFromList(int list, int player_engine);
    // The window's keys, offered before the focused control sees them; true
    // when `key` was one of them.
    bool OnShortcut(uint32_t message, int key);
    // The engine whose result list holds the focus, or 0.
    int FocusedList() const;
    // The list's row menu at its current row (Shift+F10, the Menu key).
    void ShowRowMenu(int list);
    // Runs `command` once the input that asked for it has fully returned,
    // so that a wait inside it never swallows that input's release.
    void AfterInput(std::function<void()> command);
    // The lookup of the current row's detail page of an engine that has
    // them, while the window waits busy; nullopt when it was cancelled or the program is ending.
    std::optional<search::PageResult> LookUpDetailAddress(int engine);
    void HandToDesktop(const std::string& address);
    void ShowProblem(const std::string& text);

    dui::ExHostWindow* m_host = nullptr;
    plat::HWND m_window = nullptr;
    search::SearchState m_state;
    bool m_busy = false;
    // While SearchAllEngines starts the searches, none of them waits.
    bool m_starting_several = false;
    int m_open_on_release = 0;  // the list whose double-click opens on release
    bool m_saving = false;      // a save dialog is open
    std::optional<services::CancelToken> m_lookup;  // engine 2's detail lookup in flight
    ExitQuestion m_exit_question;
    KeywordHistory* m_history = nullptr;

    // The top level is drawn in creation order: the panels, the top picture,
    // the version label, the tabs, the pages, then the status label. The
    // controls of the welcome and engine pages are created in between and
    // moved into their pages.
    dui::ExGroupBox m_panel3;
    dui::ExGroupBox m_panel1;
    dui::ExPicture m_top_picture;
    dui::ExLabel m_version_label;
    dui::ExLabel m_about_label;
    std::array<dui::ExToggleButton, kTabCount> m_tabs;
    dui::ExPageSet m_pages;
    dui::ExLabel m_status_label;
    std::array<EnginePage, kEngineCount> m_engine_pages;
    dui::ExPopupMenu m_keyword_menu;  // filled each time Down opens it
};

}  // namespace app
