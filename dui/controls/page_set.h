#pragma once

#include <array>

#include "dui/controls/label.h"
#include "dui/core/control.h"
#include "dui/core/geometry.h"

namespace dui {

// A set of up to kMaxPages pages, each a label used as a container, of which
// exactly one is shown. Controls go into a page with SetParent(PageHandle(n)).
// A hidden page hides its whole subtree: nothing in it is drawn, hit, reached
// by Tab or by its hotkey. When the keyboard focus sits in a page that gets
// hidden, it moves to the control last focused in the page now shown, else
// to that page's first control that takes the focus, else nowhere.
//
// Pages are numbered from 1. Operations given a number that names no page
// change nothing, and the handle of such a page is one no control has, so
// SetParent and Create refuse it instead of using the top level.
class ExPageSet {
public:
    static constexpr int kMaxPages = 20;

    ExPageSet();
    ~ExPageSet() = default;
    ExPageSet(const ExPageSet&) = delete;
    ExPageSet& operator=(const ExPageSet&) = delete;

    // Where pages created from now on go.
    void SetPageRect(ControlParent parent, float left, float top, float width, float height);
    // Creates the next page at the page rectangle and selects it. Returns its
    // number, or 0 when all pages exist or the parent is gone.
    int AddPage();
    int PageCount() const { return m_count; }

    int SelectPage() const { return m_current; }
    int SelectPage(int index);
    ControlHandle PageHandle(int index) const;
    ExLabel* Page(int index);

    // A button that selects a page (a tab); SelectPageOfTab selects the page
    // whose tab has this handle, or does nothing.
    void SetPageTab(int index, ControlHandle tab);
    void SelectPageOfTab(ControlHandle tab);

private:
    bool Valid(int index) const { return index >= 1 && index <= m_count; }
    void MoveFocusInto(int index, ControlHandle focused);

    std::array<ExLabel, kMaxPages> m_pages;
    std::array<ControlHandle, kMaxPages> m_tabs{};
    std::array<ControlHandle, kMaxPages> m_last_focus{};
    int m_count = 0;
    int m_current = 0;
    ControlParent m_parent{static_cast<plat::HWND>(nullptr)};
    RectF m_rect;
    const ControlHandle m_no_page;
};

}  // namespace dui
