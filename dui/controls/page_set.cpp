#include "dui/controls/page_set.h"

#include "dui/core/control_registry.h"
#include "dui/core/host_window.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

bool IsInside(ControlHandle handle, ControlHandle ancestor) {
    for (const ExControl* at = ResolveControl(handle); at != nullptr; at = ResolveControl(at->GetParent())) {
        if (at->GetParent() == ancestor) return true;
    }
    return false;
}

bool TakesFocus(const ExControl& control) {
    return control.Visible() && !control.Disabled() && control.Focusable() &&
           control.Kind() != ControlKind::CaptionButton;
}

// The first control under `parent`, depth first, that can take the focus
// (hidden subtrees skipped).
ControlHandle FirstTabStop(const ExControl& parent) {
    for (ControlHandle at = parent.Children().first; at != ControlHandle::None;) {
        const ExControl* child = ResolveControl(at);
        if (child == nullptr) break;
        if (child->Visible()) {
            if (TakesFocus(*child)) return at;
            if (ControlHandle inner = FirstTabStop(*child); inner != ControlHandle::None) return inner;
        }
        at = child->NextSibling();
    }
    return ControlHandle::None;
}

}  // namespace

ExPageSet::ExPageSet() : m_no_page(HandleFromParam(AllocateHandleNumber())) {}

void ExPageSet::SetPageRect(ControlParent parent, float left, float top, float width, float height) {
    m_parent = parent;
    m_rect = RectF{left, top, width, height};
}

int ExPageSet::AddPage() {
    if (m_count >= kMaxPages) return 0;
    ExLabel& page = m_pages[static_cast<size_t>(m_count)];
    if (page.CreateLabel(m_parent, m_rect.left, m_rect.top, m_rect.width, m_rect.height) == ControlHandle::None) {
        return 0;
    }
    ++m_count;
    SelectPage(m_count);
    return m_count;
}

int ExPageSet::SelectPage(int index) {
    if (!Valid(index)) return m_current;
    ExLabel& shown = m_pages[static_cast<size_t>(index - 1)];
    const ExHostWindow* host = shown.Host();
    const ControlHandle focused = host != nullptr ? host->FocusedControl() : ControlHandle::None;
    if (Valid(m_current) && IsInside(focused, PageHandle(m_current))) {
        m_last_focus[static_cast<size_t>(m_current - 1)] = focused;
    }
    for (int i = 1; i <= m_count; ++i) {
        if (i != index) m_pages[static_cast<size_t>(i - 1)].Visible(false);
    }
    shown.Visible(true);
    m_current = index;

    for (int i = 1; i <= m_count; ++i) {
        if (i != index && IsInside(focused, PageHandle(i))) {
            MoveFocusInto(index, focused);
            break;
        }
    }
    return m_current;
}

void ExPageSet::MoveFocusInto(int index, ControlHandle focused) {
    ExLabel& page = m_pages[static_cast<size_t>(index - 1)];
    ExHostWindow* host = page.Host();
    if (host == nullptr) return;
    ControlHandle target = m_last_focus[static_cast<size_t>(index - 1)];
    const ExControl* remembered = ResolveControl(target);
    if (remembered == nullptr || !TakesFocus(*remembered) || !IsInside(target, page.GetHandle())) {
        target = FirstTabStop(page);
    }
    if (target != ControlHandle::None) {
        host->SetFocus(target, false);
        return;
    }
    // Nothing on the page takes the focus: the hidden control must not keep
    // the keys.
    host->ClearFocusedControl();
    DispatchToControl(focused, EX_MSG_KILLFOCUS, 0, 0);
}

ControlHandle ExPageSet::PageHandle(int index) const {
    if (!Valid(index)) return m_no_page;
    return m_pages[static_cast<size_t>(index - 1)].GetHandle();
}

ExLabel* ExPageSet::Page(int index) { return Valid(index) ? &m_pages[static_cast<size_t>(index - 1)] : nullptr; }

void ExPageSet::SetPageTab(int index, ControlHandle tab) {
    if (index >= 1 && index <= kMaxPages) m_tabs[static_cast<size_t>(index - 1)] = tab;
}

void ExPageSet::SelectPageOfTab(ControlHandle tab) {
    if (tab == ControlHandle::None) return;
    for (int i = 1; i <= m_count; ++i) {
        if (m_tabs[static_cast<size_t>(i - 1)] == tab) {
            SelectPage(i);
            return;
        }
    }
}

}  // namespace dui
