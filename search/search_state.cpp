#include "search/search_state.h"

namespace search {
namespace {

bool ValidEngine(int engine) {
    return engine >= 1 && engine <= SearchState::kEngines;
}

// Clears the searching flag however the search ends.
class SearchingScope {
public:
    explicit SearchingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~SearchingScope() { m_flag = false; }
    SearchingScope(const SearchingScope&) = delete;
    SearchingScope& operator=(const SearchingScope&) = delete;

private:
    bool& m_flag;
};

}  // namespace

std::string StatusText(int engine, PageAction action, int page, int current_engine) {
    const std::string p = std::to_string(page);
    const std::string e = std::to_string(current_engine);
    switch (engine) {
        case 1:
            return "当前页数：" + p + "，引擎：" + e;
        case 2:
            return "当前页数:" + p + ",引擎:" + e;
        case 3:
            if (action == PageAction::NewSearch) return "当前页数：" + p;
            return "当前页数：" + p + "，引擎：" + e;
        default:
            return {};
    }
}

int SearchState::PageCounter(int engine) const {
    if (!ValidEngine(engine)) return 0;
    return m_page_counters[static_cast<std::size_t>(engine - 1)];
}

int SearchState::PageCounter(int engine, int page) {
    if (!ValidEngine(engine)) return 0;
    m_page_counters[static_cast<std::size_t>(engine - 1)] = page;
    return page;
}

int SearchState::CurrentEngine(int engine) {
    m_current_engine = engine;
    return m_current_engine;
}

void SearchState::NewSearch(int engine, SearchView& view) {
    if (!ValidEngine(engine) || m_searching) return;
    SearchingScope searching(m_searching);
    int32_t& counter = m_page_counters[static_cast<std::size_t>(engine - 1)];
    counter = 1;
    view.SetStatusText(StatusText(engine, PageAction::NewSearch, counter, m_current_engine));
    view.SetNextPageDisabled(engine, false);
    view.SetPreviousPageDisabled(engine, true);
    view.RunEngineSearch(engine, counter);
}

void SearchState::PreviousPage(int engine, SearchView& view) {
    MovePage(engine, -1, PageAction::PreviousPage, view);
}

void SearchState::NextPage(int engine, SearchView& view) {
    MovePage(engine, 1, PageAction::NextPage, view);
}

void SearchState::MovePage(int engine, int32_t delta, PageAction action, SearchView& view) {
    if (!ValidEngine(engine) || m_searching) return;
    SearchingScope searching(m_searching);
    int32_t& counter = m_page_counters[static_cast<std::size_t>(engine - 1)];
    // Modular arithmetic: the conversion back to int32_t wraps (C++20).
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(delta));
    view.SetStatusText(StatusText(engine, action, counter, m_current_engine));
    view.RunEngineSearch(engine, counter);
    view.SetPreviousPageDisabled(engine, counter <= 1);
}

}  // namespace search
