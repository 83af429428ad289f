// Keyboard focus, activation, the input-method context and the caret.

#include <algorithm>
#include <cstring>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

// The one input context of the program.
HIMC TheContext() { return reinterpret_cast<HIMC>(uintptr_t{1}); }

void PlaceImeAtCaret() {
    CoreState& core = Core();
    WindowRecord* owner = Resolve(core.caret_owner);
    if (!owner || !core.system) return;
    const HWND root = RootOf(core.caret_owner);
    WindowRecord* root_record = Resolve(root);
    if (!root_record) return;
    const POINT origin = ClientOriginOnScreen(*owner);
    const POINT root_origin = ClientOriginOnScreen(*root_record);
    const int x = origin.x - root_origin.x + core.caret_pos.x;
    const int y = origin.y - root_origin.y + core.caret_pos.y;
    core.system->SetImeCursorRect(root, RECT{x, y, x + std::max(core.caret_size.cx, 1),
                                             y + std::max(core.caret_size.cy, 1)});
}

void RaiseTopLevel(HWND root) {
    auto& list = Core().top_levels;
    auto it = std::find(list.begin(), list.end(), root);
    if (it == list.end()) return;
    list.erase(it);
    list.push_back(root);
}

}  // namespace

void SyncImeWithFocus() {
    CoreState& core = Core();
    if (!core.system) return;
    WindowRecord* focus = Resolve(core.focus);
    if (!focus) return;
    const HWND root = RootOf(core.focus);
    core.system->SetImeEnabled(root, focus->ime_attached);
}

void Activate(HWND root, WORD how, bool tell_system) {
    CoreState& core = Core();
    if (root && !IsWindow(root)) return;
    const HWND previous = IsWindow(core.active) ? core.active : nullptr;
    if (previous == root) return;
    core.active = root;
    if (root) RaiseTopLevel(root);
    if (previous) {
        SendMessage(previous, WM_NCACTIVATE, 0, 0);
        SendMessage(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(previous) ? 1 : 0),
                    reinterpret_cast<LPARAM>(root));
    }
    if (core.active != root) return;   // a handler activated something else
    if (root) {
        if (tell_system && core.system) core.system->Activate(root);
        SendMessage(root, WM_NCACTIVATE, 1, 0);
        SendMessage(root, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(root) ? 1 : 0),
                    reinterpret_cast<LPARAM>(previous));
    }
    // The focus never stays in a window that is no longer active.
    if (core.active == root && core.focus && !IsAncestorOrSelf(root, core.focus)) {
        SetFocus(nullptr);
    }
}

void ActivateAnotherThan(HWND leaving) {
    CoreState& core = Core();
    // Prefer the owner, then the front-most visible window.
    HWND next = nullptr;
    if (WindowRecord* record = Resolve(leaving)) {
        HWND owner = record->IsTopLevel() ? record->parent : nullptr;
        if (IsWindow(owner) && IsWindowVisible(owner) && IsWindowEnabled(owner) && !IsIconic(owner)) {
            next = owner;
        }
    }
    if (!next) {
        for (auto it = core.top_levels.rbegin(); it != core.top_levels.rend(); ++it) {
            WindowRecord* candidate = Resolve(*it);
            if (!candidate || *it == leaving || candidate->destroying) continue;
            if (!(candidate->style & WS_VISIBLE) || (candidate->style & (WS_MINIMIZE | WS_DISABLED))) {
                continue;
            }
            if (candidate->NeverActive()) continue;
            next = *it;
            break;
        }
    }
    Activate(next, WA_ACTIVE, next != nullptr);
}

void ForgetWindowFocus(HWND hwnd) {
    CoreState& core = Core();
    if (core.focus == hwnd) core.focus = nullptr;
    if (core.active == hwnd) core.active = nullptr;
}

HWND SetFocus(HWND hwnd) {
    CoreState& core = Core();
    const HWND previous = IsWindow(core.focus) ? core.focus : nullptr;
    if (hwnd) {
        WindowRecord* record = Resolve(hwnd);
        if (!record || record->destroying) return nullptr;
        if (hwnd == previous) return previous;
        const HWND root = RootOf(hwnd);
        if (core.active != root) {
            // Activating the root must not move the focus to the root first.
            core.suppress_activation_focus = true;
            Activate(root, WA_ACTIVE, true);
            core.suppress_activation_focus = false;
            if (!IsWindow(hwnd) || core.active != root) return nullptr;
        }
    }
    const HWND now = IsWindow(core.focus) ? core.focus : nullptr;
    if (now == hwnd) return previous;
    if (now) {
        SendMessage(now, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        // A WM_KILLFOCUS handler that moved the focus elsewhere wins.
        if ((IsWindow(core.focus) ? core.focus : nullptr) != now) return previous;
        if (core.system) core.system->SetImeFocus(RootOf(now), false);
    }
    core.focus = hwnd;
    if (hwnd && IsWindow(hwnd)) {
        if (core.system) {
            core.system->SetImeFocus(RootOf(hwnd), true);
            SyncImeWithFocus();
        }
        if (WindowRecord* record = Resolve(hwnd); record && record->native) record->native->Focus();
        SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(now), 0);
    }
    return previous;
}

HWND GetFocus() {
    CoreState& core = Core();
    return IsWindow(core.focus) ? core.focus : nullptr;
}

HWND GetActiveWindow() {
    CoreState& core = Core();
    return IsWindow(core.active) ? core.active : nullptr;
}

HWND SetActiveWindow(HWND hwnd) {
    const HWND previous = GetActiveWindow();
    const HWND root = RootOf(hwnd);
    if (!root) return nullptr;
    Activate(root, WA_ACTIVE, true);
    return previous;
}

BOOL SetForegroundWindow(HWND hwnd) {
    const HWND root = RootOf(hwnd);
    if (!root) return 0;
    CoreState& core = Core();
    if (core.active == root) {
        RaiseTopLevel(root);
        if (core.system) core.system->Activate(root);
        return 1;
    }
    Activate(root, WA_ACTIVE, true);
    return 1;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

bool ActivationMaySetFocus() { return !Core().suppress_activation_focus; }

HIMC ImmGetContext(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->ime_attached) return nullptr;
    return TheContext();
}

BOOL ImmReleaseContext(HWND hwnd, HIMC context) {
    return IsWindow(hwnd) && context == TheContext() ? 1 : 0;
}

HIMC ImmAssociateContext(HWND hwnd, HIMC context) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return nullptr;
    const HIMC previous = record->ime_attached ? TheContext() : nullptr;
    record->ime_attached = context == TheContext();
    if (Core().focus == hwnd) SyncImeWithFocus();
    return previous;
}

LONG ImmGetCompositionString(HIMC context, DWORD index, void* buffer, DWORD buffer_bytes) {
    if (context != TheContext()) return IMM_ERROR_GENERAL;
    const std::string& result = Core().ime_result;
    switch (index) {
    case GCS_RESULTSTR:
    case GCS_RESULTREADSTR: {
        if (!buffer || buffer_bytes == 0) return static_cast<LONG>(result.size());
        const size_t count = std::min<size_t>(result.size(), buffer_bytes);
        std::memcpy(buffer, result.data(), count);
        return static_cast<LONG>(count);
    }
    case GCS_COMPSTR:
    case GCS_COMPREADSTR:
    case GCS_CURSORPOS:
        // The composition is shown by the system's input-method window; the
        // program only ever sees results.
        return 0;
    default: return IMM_ERROR_GENERAL;
    }
}

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    CoreState& core = Core();
    if (!IsWindow(hwnd)) return 0;
    core.caret_owner = hwnd;
    core.caret_size = SIZE{std::max(width, 1), std::max(height, 1)};
    core.caret_pos = POINT{0, 0};
    PlaceImeAtCaret();
    return 1;
}

BOOL SetCaretPos(int x, int y) {
    CoreState& core = Core();
    if (!IsWindow(core.caret_owner)) return 0;
    core.caret_pos = POINT{x, y};
    PlaceImeAtCaret();
    return 1;
}

BOOL GetCaretPos(POINT* point) {
    CoreState& core = Core();
    if (!point || !IsWindow(core.caret_owner)) return 0;
    *point = core.caret_pos;
    return 1;
}

BOOL DestroyCaret() {
    CoreState& core = Core();
    if (!IsWindow(core.caret_owner)) return 0;
    core.caret_owner = nullptr;
    return 1;
}

}  // namespace plat
