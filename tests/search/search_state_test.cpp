#include "search/search_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using search::PageAction;
using search::SearchState;
using search::StatusText;

// Records what the handlers do to the window, in order, as one line each.
class FakeView : public search::SearchView {
public:
    void SetStatusText(const std::string& text) override {
        status = text;
        log.push_back("status " + text);
    }
    void SetPreviousPageDisabled(int engine, bool disabled) override {
        previous_disabled[engine] = disabled;
        log.push_back("previous " + std::to_string(engine) + (disabled ? " off" : " on"));
    }
    void SetNextPageDisabled(int engine, bool disabled) override {
        next_disabled[engine] = disabled;
        log.push_back("next " + std::to_string(engine) + (disabled ? " off" : " on"));
    }
    void RunEngineSearch(int engine, int page) override {
        requested.push_back(page);
        log.push_back("search " + std::to_string(engine) + " page " + std::to_string(page));
        if (during_search) during_search();
    }

    std::string status = search::kInitialStatusText;
    bool previous_disabled[4] = {true, true, true, true};
    bool next_disabled[4] = {true, true, true, true};
    std::vector<int> requested;
    std::vector<std::string> log;
    std::function<void()> during_search;
};

TEST(StatusTextTest, EachEngineKeepsItsOwnPunctuation) {
    EXPECT_EQ(std::string(search::kInitialStatusText), "当前页数:0,引擎:0");
    EXPECT_EQ(StatusText(1, PageAction::NewSearch, 1, 1), "当前页数：1，引擎：1");
    EXPECT_EQ(StatusText(1, PageAction::NextPage, 2, 0), "当前页数：2，引擎：0");
    EXPECT_EQ(StatusText(2, PageAction::NextPage, 2, 2), "当前页数:2,引擎:2");
    EXPECT_EQ(StatusText(2, PageAction::NewSearch, 1, 2), "当前页数:1,引擎:2");
    EXPECT_EQ(StatusText(3, PageAction::NewSearch, 1, 3), "当前页数：1");
    EXPECT_EQ(StatusText(3, PageAction::PreviousPage, 4, 3), "当前页数：4，引擎：3");
    EXPECT_EQ(StatusText(3, PageAction::NextPage, -2147483647 - 1, 3),
              "当前页数：-2147483648，引擎：3");
    EXPECT_EQ(StatusText(4, PageAction::NextPage, 1, 1), "");
}

TEST(SearchStateTest, NewSearchSetsStatusThenButtonsThenSearchesPageOne) {
    SearchState state;
    FakeView view;
    state.CurrentEngine(1);
    state.NewSearch(1, view);
    EXPECT_EQ(view.log, (std::vector<std::string>{"status 当前页数：1，引擎：1", "next 1 on",
                                                  "previous 1 off", "search 1 page 1"}));
    EXPECT_EQ(state.PageCounter(1), 1);
    EXPECT_EQ(state.PageCounter(2), 0);
}

TEST(SearchStateTest, NextThenPreviousTogglesThePreviousButtonAfterTheSearch) {
    SearchState state;
    FakeView view;
    state.NewSearch(1, view);
    view.log.clear();
    state.NextPage(1, view);
    EXPECT_EQ(view.log, (std::vector<std::string>{"status 当前页数：2，引擎：0", "search 1 page 2",
                                                  "previous 1 on"}));
    view.log.clear();
    state.PreviousPage(1, view);
    EXPECT_EQ(view.log, (std::vector<std::string>{"status 当前页数：1，引擎：0", "search 1 page 1",
                                                  "previous 1 off"}));
    EXPECT_FALSE(view.next_disabled[1]);  // never disabled again
}

TEST(SearchStateTest, NewSearchFromALaterPageDisablesPrevious) {
    // Left enabled, "上一页" would request page 0 next.
    SearchState state;
    FakeView view;
    state.NewSearch(2, view);
    for (int i = 0; i < 4; ++i) state.NextPage(2, view);
    ASSERT_EQ(state.PageCounter(2), 5);
    ASSERT_FALSE(view.previous_disabled[2]);
    state.NewSearch(2, view);
    EXPECT_EQ(state.PageCounter(2), 1);
    EXPECT_TRUE(view.previous_disabled[2]);
    EXPECT_EQ(view.requested, (std::vector<int>{1, 2, 3, 4, 5, 1}));
}

TEST(SearchStateTest, ThePreviousButtonStaysOffAtOrBelowPageOne) {
    // A counter below 1 can only come from a previous-page click the window
    // should not have let through; it still ends with the button off.
    SearchState state;
    FakeView view;
    state.PreviousPage(3, view);
    EXPECT_EQ(view.requested, (std::vector<int>{-1}));
    EXPECT_TRUE(view.previous_disabled[3]);
    state.PageCounter(3, 3);
    state.PreviousPage(3, view);
    EXPECT_FALSE(view.previous_disabled[3]);
    state.PreviousPage(3, view);
    EXPECT_TRUE(view.previous_disabled[3]);
}

TEST(SearchStateTest, EnginesPageIndependentlyAndOnlyTheirOwnButtonsChange) {
    SearchState state;
    FakeView view;
    state.CurrentEngine(2);
    state.NewSearch(2, view);
    state.NextPage(2, view);
    EXPECT_EQ(view.status, "当前页数:2,引擎:2");
    state.NewSearch(3, view);
    EXPECT_EQ(view.status, "当前页数：1");
    view.log.clear();
    state.NextPage(3, view);
    EXPECT_EQ(view.log.back(), "previous 3 on");
    EXPECT_EQ(state.PageCounter(1), 0);
    EXPECT_EQ(state.PageCounter(2), 2);
    EXPECT_EQ(state.PageCounter(3), 2);
    EXPECT_TRUE(view.previous_disabled[1]);
    EXPECT_TRUE(view.next_disabled[1]);
}

TEST(SearchStateTest, CountersWrapAtTheEndsOfTheRange) {
    SearchState state;
    FakeView view;
    state.PageCounter(1, INT32_MAX);
    state.NextPage(1, view);
    EXPECT_EQ(state.PageCounter(1), INT32_MIN);
    EXPECT_TRUE(view.previous_disabled[1]);
    state.PreviousPage(1, view);
    EXPECT_EQ(state.PageCounter(1), INT32_MAX);
    EXPECT_FALSE(view.previous_disabled[1]);
    EXPECT_EQ(view.requested, (std::vector<int>{INT32_MIN, INT32_MAX}));
}

TEST(SearchStateTest, AHandlerCalledDuringASearchDoesNothing) {
    SearchState state;
    FakeView view;
    int nested_calls = 0;
    view.during_search = [&] {
        if (nested_calls++ > 0) return;
        EXPECT_TRUE(state.Searching());
        state.NextPage(1, view);
        state.PreviousPage(2, view);
        state.NewSearch(3, view);
    };
    state.NewSearch(1, view);
    EXPECT_EQ(nested_calls, 1);
    EXPECT_EQ(view.requested, (std::vector<int>{1}));
    EXPECT_EQ(state.PageCounter(1), 1);
    EXPECT_EQ(state.PageCounter(3), 0);
    EXPECT_FALSE(state.Searching());
    state.NextPage(1, view);
    EXPECT_EQ(state.PageCounter(1), 2);
}

TEST(SearchStateTest, UnknownEnginesAreIgnored) {
    SearchState state;
    FakeView view;
    state.NewSearch(0, view);
    state.NextPage(4, view);
    state.PreviousPage(-1, view);
    EXPECT_TRUE(view.log.empty());
    EXPECT_EQ(state.PageCounter(4, 9), 0);
    EXPECT_EQ(state.PageCounter(4), 0);
}

}  // namespace
