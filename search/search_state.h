#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace search {

// The status label's text before the first action.
inline constexpr const char* kInitialStatusText = "当前页数:0,引擎:0";

// What moved an engine's page counter.
enum class PageAction { NewSearch, PreviousPage, NextPage };

// The status label's text after an action on `engine` (1..3) that left its
// counter at `page` while engine page `current_engine` is selected. Each
// engine has its own form: engine 1 uses full-width punctuation, engine 2
// ASCII, engine 3 full-width and shows only the page after a new search.
std::string StatusText(int engine, PageAction action, int page, int current_engine);

// The parts of the main window the paging handlers change. Engines are 1..3.
class SearchView {
public:
    virtual ~SearchView() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetPreviousPageDisabled(int engine, bool disabled) = 0;
    virtual void SetNextPageDisabled(int engine, bool disabled) = 0;
    // Runs one search of the engine for `page` with the keyword now in its
    // box, and returns when the engine's list shows the outcome.
    virtual void RunEngineSearch(int engine, int page) = 0;
};

// The page counter of each engine and the engine page the user has selected,
// with the nine button handlers that move them. Counters wrap around at the
// ends of the 32-bit range rather than overflow.
class SearchState {
public:
    static constexpr int kEngines = 3;

    // 0 for an engine number outside 1..3, where the setter changes nothing.
    int PageCounter(int engine) const;
    int PageCounter(int engine, int page);

    // Only displayed; every button belongs to its own engine whatever page
    // is selected.
    int CurrentEngine() const { return m_current_engine; }
    int CurrentEngine(int engine);

    // True while a handler's search runs. A handler called meanwhile (the
    // window keeps dispatching messages during a search) does nothing, so
    // there is one search at a time and a counter never moves under it.
    bool Searching() const { return m_searching; }

    // The search button: page 1 of the keyword. The previous-page button is
    // disabled on page 1, the next-page button enabled.
    void NewSearch(int engine, SearchView& view);
    // Previous and next page of the engine's keyword. A failed or empty
    // search keeps the new page; the previous-page button is disabled
    // whenever the counter is at or below 1, so paging never runs on below
    // the first page.
    void PreviousPage(int engine, SearchView& view);
    void NextPage(int engine, SearchView& view);

private:
    void MovePage(int engine, int32_t delta, PageAction action, SearchView& view);

    std::array<int32_t, kEngines> m_page_counters{};
    int m_current_engine = 0;
    bool m_searching = false;
};

}  // namespace search
