// Window geometry and show state: rectangles, moving and sizing, showing and
// hiding, maximising and minimising, the work area and system metrics.

#include <algorithm>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

void PlaceSubtree(HWND hwnd, POINT root_origin, bool ancestors_visible) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    const bool visible = ancestors_visible && (record->style & WS_VISIBLE);
    if (record->native) {
        const RECT screen = ScreenRectOf(*record);
        record->native->Place(RECT{screen.left - root_origin.x, screen.top - root_origin.y,
                                   screen.right - root_origin.x, screen.bottom - root_origin.y});
        record->native->SetVisible(visible);
    }
    const std::vector<HWND> children = record->children;
    for (HWND child : children) PlaceSubtree(child, root_origin, visible);
}

int ClampDimension(int value) { return std::clamp(value, 0, kMaxWindowDimension); }

}  // namespace

void PlaceNativeChildren(HWND root) {
    WindowRecord* record = Resolve(root);
    if (!record) return;
    const POINT origin{record->rect.left, record->rect.top};
    const bool visible = (record->style & WS_VISIBLE) != 0;
    const std::vector<HWND> children = record->children;
    for (HWND child : children) PlaceSubtree(child, origin, visible);
}

// Moves/sizes a window: stores the rectangle, tells the system (for
// top-level windows, unless the system reported it), resizes the retained
// surface, and sends WM_MOVE then WM_SIZE as DefWindowProc's handling of
// WM_WINDOWPOSCHANGED does.
void ApplyWindowRect(HWND hwnd, const RECT& requested, WPARAM size_type, bool tell_system,
                     bool redraw) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    RECT rect = requested;
    rect.right = rect.left + ClampDimension(rect.right - rect.left);
    rect.bottom = rect.top + ClampDimension(rect.bottom - rect.top);
    const RECT old = record->rect;
    const bool moved = rect.left != old.left || rect.top != old.top;
    const bool sized = (rect.right - rect.left) != (old.right - old.left) ||
                       (rect.bottom - rect.top) != (old.bottom - old.top);
    if (!moved && !sized) return;
    if (record->IsChild() && (record->style & WS_VISIBLE)) InvalidateInParent(hwnd);
    record->rect = rect;
    if (sized) record->surface.Resize(rect.right - rect.left, rect.bottom - rect.top);
    if (WindowRecord* root = Resolve(RootOf(hwnd))) root->composed_dirty = true;
    if (record->IsTopLevel() && tell_system && Core().system) {
        Core().system->MoveTopLevel(hwnd, rect);
    }
    if (record->IsChild() && (record->style & WS_VISIBLE)) InvalidateInParent(hwnd);
    PlaceNativeChildren(RootOf(hwnd));
    if (sized && redraw) InvalidateWhole(hwnd);
    if (moved) SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if (sized && IsWindow(hwnd)) {
        SendMessage(hwnd, WM_SIZE, size_type,
                    MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
    }
}

MINMAXINFO QueryMinMaxInfo(HWND hwnd) {
    CoreState& core = Core();
    const RECT work = System().WorkArea();
    const SIZE screen = System().ScreenSize();
    MINMAXINFO info{};
    info.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
    info.ptMaxPosition = POINT{work.left, work.top};
    info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = POINT{screen.cx + 12, screen.cy + 12};
    SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    (void)core;
    return info;
}

void Maximise(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->IsTopLevel()) return;
    if (!(record->style & (WS_MAXIMIZE | WS_MINIMIZE))) record->restore_rect = record->rect;
    const MINMAXINFO info = QueryMinMaxInfo(hwnd);
    record = Resolve(hwnd);
    if (!record) return;
    const int width = std::clamp(info.ptMaxSize.x, info.ptMinTrackSize.x,
                                 std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    const int height = std::clamp(info.ptMaxSize.y, info.ptMinTrackSize.y,
                                  std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
    record->style = (record->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
    record->maximised_before_minimise = false;
    if (Core().system) Core().system->SetShowState(hwnd, ShowState::Maximised);
    const RECT rect{info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxPosition.x + width,
                    info.ptMaxPosition.y + height};
    if (rect == record->rect) {
        SendMessage(hwnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(width, height));
    } else {
        ApplyWindowRect(hwnd, rect, SIZE_MAXIMIZED, true, true);
    }
}

void Minimise(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->IsTopLevel() || (record->style & WS_MINIMIZE)) return;
    record->maximised_before_minimise = (record->style & WS_MAXIMIZE) != 0;
    record->style = (record->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
    if (Core().system) Core().system->SetShowState(hwnd, ShowState::Minimised);
    SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    if (Core().active == hwnd) ActivateAnotherThan(hwnd);
}

void Restore(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->IsTopLevel()) return;
    if (record->style & WS_MINIMIZE) {
        record->style &= ~WS_MINIMIZE;
        if (record->maximised_before_minimise) {
            record->style |= WS_MAXIMIZE;
            record->maximised_before_minimise = false;
            if (Core().system) Core().system->SetShowState(hwnd, ShowState::Maximised);
            const RECT rect = record->rect;
            SendMessage(hwnd, WM_SIZE, SIZE_MAXIMIZED,
                        MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
        } else {
            if (Core().system) Core().system->SetShowState(hwnd, ShowState::Normal);
            const RECT rect = record->rect;
            SendMessage(hwnd, WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
        }
        InvalidateWhole(hwnd);
        return;
    }
    if (record->style & WS_MAXIMIZE) {
        record->style &= ~WS_MAXIMIZE;
        if (Core().system) Core().system->SetShowState(hwnd, ShowState::Normal);
        const RECT rect = record->restore_rect;
        if (RectEmpty(rect) || rect == record->rect) {
            const RECT current = record->rect;
            SendMessage(hwnd, WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(current.right - current.left, current.bottom - current.top));
        } else {
            ApplyWindowRect(hwnd, rect, SIZE_RESTORED, true, true);
        }
    }
}

// Changes visibility without WM_SHOWWINDOW (SetWindowLongPtr, SetWindowPos).
void SetVisibleFlag(HWND hwnd, bool visible, bool activate) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    CoreState& core = Core();
    const bool was_visible = (record->style & WS_VISIBLE) != 0;
    if (was_visible == visible) return;
    if (visible) {
        record->style |= WS_VISIBLE;
        if (record->IsTopLevel() && core.system) core.system->ShowTopLevel(hwnd, true, activate);
        InvalidateWhole(hwnd);
        if (record->IsChild()) InvalidateInParent(hwnd);
    } else {
        if (record->IsChild()) InvalidateInParent(hwnd);
        record->style &= ~WS_VISIBLE;
        if (record->IsTopLevel() && core.system) core.system->ShowTopLevel(hwnd, false, false);
        PopupGrabLost(hwnd);
        if (!IsWindow(hwnd)) return;
    }
    if (WindowRecord* root = Resolve(RootOf(hwnd))) root->composed_dirty = true;
    PlaceNativeChildren(RootOf(hwnd));
    if (!visible) {
        if (IsAncestorOrSelf(hwnd, core.focus) && core.active != hwnd) SetFocus(nullptr);
        if (core.active == hwnd) ActivateAnotherThan(hwnd);
        if (IsAncestorOrSelf(hwnd, core.focus)) SetFocus(nullptr);
    } else if (activate && record->IsTopLevel()) {
        Activate(hwnd, WA_ACTIVE, true);
    }
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !rect) return 0;
    *rect = ScreenRectOf(*record);
    return 1;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !rect) return 0;
    *rect = RECT{0, 0, record->rect.right - record->rect.left, record->rect.bottom - record->rect.top};
    return 1;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    CoreState& core = Core();
    RECT rect = record->rect;
    if (!(flags & SWP_NOMOVE)) {
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        rect = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + ClampDimension(cx);
        rect.bottom = rect.top + ClampDimension(cy);
    }
    if (!(flags & SWP_NOZORDER) && record->IsTopLevel()) {
        if (insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST) {
            const bool top_most = insert_after == HWND_TOPMOST;
            const bool was = (record->ex_style & WS_EX_TOPMOST) != 0;
            if (top_most) record->ex_style |= WS_EX_TOPMOST;
            else record->ex_style &= ~WS_EX_TOPMOST;
            if (was != top_most && core.system) core.system->SetTopMost(hwnd, top_most);
        }
        if (insert_after != HWND_BOTTOM) {
            auto& list = core.top_levels;
            list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
            list.push_back(hwnd);
        }
    }
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
        const WPARAM size_type = (record->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        ApplyWindowRect(hwnd, rect, size_type, true, !(flags & SWP_NOREDRAW));
    }
    if (!IsWindow(hwnd)) return 1;
    const bool activate = !(flags & SWP_NOACTIVATE) && !(record->ex_style & WS_EX_NOACTIVATE);
    if (flags & SWP_SHOWWINDOW) SetVisibleFlag(hwnd, true, activate);
    if (flags & SWP_HIDEWINDOW) SetVisibleFlag(hwnd, false, false);
    if (activate && !(flags & SWP_SHOWWINDOW) && IsWindow(hwnd)) {
        WindowRecord* again = Resolve(hwnd);
        if (again && again->IsTopLevel() && (again->style & WS_VISIBLE)) Activate(hwnd, WA_ACTIVE, true);
    }
    return 1;
}

BOOL ShowWindow(HWND hwnd, int command) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    const BOOL was_visible = (record->style & WS_VISIBLE) ? 1 : 0;
    const bool top_level = record->IsTopLevel();
    const bool may_activate = !record->NeverActive();
    auto show = [&](bool wanted) {
        const bool activate = wanted && may_activate;
        WindowRecord* current = Resolve(hwnd);
        if (!current) return;
        if (!(current->style & WS_VISIBLE)) {
            SendMessage(hwnd, WM_SHOWWINDOW, 1, 0);
            SetVisibleFlag(hwnd, true, activate && top_level);
        } else if (activate && top_level) {
            Activate(hwnd, WA_ACTIVE, true);
        }
    };
    switch (command) {
    case SW_HIDE:
        if (was_visible) {
            SendMessage(hwnd, WM_SHOWWINDOW, 0, 0);
            SetVisibleFlag(hwnd, false, false);
        }
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        show(false);
        if (IsWindow(hwnd) && top_level) Restore(hwnd);
        show(true);
        break;
    case SW_SHOWNOACTIVATE:
        show(false);
        if (IsWindow(hwnd) && top_level) Restore(hwnd);
        break;
    case SW_SHOW: show(true); break;
    case SW_SHOWNA: show(false); break;
    case SW_SHOWMAXIMIZED:
        show(false);
        if (IsWindow(hwnd) && top_level) Maximise(hwnd);
        show(true);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        show(false);
        if (IsWindow(hwnd) && top_level) Minimise(hwnd);
        break;
    default: return was_visible;
    }
    return was_visible;
}

BOOL IsWindowVisible(HWND hwnd) { return IsShownOnScreen(hwnd) ? 1 : 0; }

BOOL IsZoomed(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record && (record->style & WS_MAXIMIZE) ? 1 : 0;
}

BOOL IsIconic(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record && (record->style & WS_MINIMIZE) ? 1 : 0;
}

BOOL SystemParametersInfo(UINT action, UINT, void* pvparam, UINT) {
    if (action != SPI_GETWORKAREA || !pvparam) return 0;
    *static_cast<RECT*>(pvparam) = System().WorkArea();
    return 1;
}

int GetSystemMetrics(int index) {
    CoreState& core = Core();
    const SIZE screen = core.system ? core.system->ScreenSize() : SIZE{0, 0};
    const RECT work = core.system ? core.system->WorkArea() : RECT{0, 0, 0, 0};
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN: return screen.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return screen.cy;
    case SM_CXFULLSCREEN: return work.right - work.left;
    case SM_CYFULLSCREEN: return work.bottom - work.top;
    case SM_CXMAXIMIZED: return work.right - work.left;
    case SM_CYMAXIMIZED: return work.bottom - work.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXMIN: return 136;
    case SM_CYMIN: return 39;
    case SM_CXMINTRACK: return 136;
    case SM_CYMINTRACK: return 39;
    case SM_CXMAXTRACK: return screen.cx + 12;
    case SM_CYMAXTRACK: return screen.cy + 12;
    case SM_CXDOUBLECLK: return kDoubleClickWidth;
    case SM_CYDOUBLECLK: return kDoubleClickHeight;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_MOUSEWHEELPRESENT: return 1;
    case SM_SWAPBUTTON: return 0;
    case SM_CMONITORS: return 1;
    default: return 0;
    }
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (!rect) return 0;
    *rect = RECT{left, top, right, bottom};
    return 1;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || RectEmpty(*rect) ? 1 : 0; }

BOOL PtInRect(const RECT* rect, POINT point) { return rect && Contains(*rect, point) ? 1 : 0; }

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return 0;
    *out = Intersect(*a, *b);
    return RectEmpty(*out) ? 0 : 1;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return 0;
    *out = Union(*a, *b);
    if (RectEmpty(*out)) {
        *out = RECT{0, 0, 0, 0};
        return 0;
    }
    return 1;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) return 0;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return 1;
}

}  // namespace plat
