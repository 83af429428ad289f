// Window roles and the popup input grab.
//
// The grab is a stack: the outermost menu first, an open submenu above it.
// The system holds one grab, for the innermost popup. State changes come
// first and messages last, so a handler that reacts to WM_CAPTURECHANGED or
// WM_ACTIVATE by grabbing, releasing or destroying finds the stack settled.

#include <algorithm>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool Holds(HWND hwnd) {
    const auto& grabs = Core().popup_grabs;
    return std::find(grabs.begin(), grabs.end(), hwnd) != grabs.end();
}

bool Fail(GrabFailure reason) {
    Core().last_grab_failure = reason;
    return false;
}

// Gives the system's grab to the innermost popup left, dropping every popup
// that can no longer take it; returns the popups that lost the grab.
std::vector<HWND> HandBack() {
    CoreState& core = Core();
    std::vector<HWND> lost;
    while (!core.popup_grabs.empty()) {
        const HWND next = core.popup_grabs.back();
        WindowRecord* record = Resolve(next);
        if (record && !record->destroying && (record->style & WS_VISIBLE) &&
            System().GrabPopup(next)) {
            return lost;
        }
        core.popup_grabs.pop_back();
        lost.push_back(next);
    }
    System().ReleasePopupGrab();
    return lost;
}

void SendCaptureChanged(const std::vector<HWND>& windows) {
    for (HWND hwnd : windows) {
        if (IsWindow(hwnd)) SendMessage(hwnd, WM_CAPTURECHANGED, 0, 0);
    }
}

// Removes `hwnd` from the stack; returns the others that lost the grab with it.
std::vector<HWND> Remove(HWND hwnd) {
    CoreState& core = Core();
    auto& grabs = core.popup_grabs;
    auto it = std::find(grabs.begin(), grabs.end(), hwnd);
    if (it == grabs.end()) return {};
    const bool innermost = it + 1 == grabs.end();
    grabs.erase(it);
    if (!innermost) return {};
    return HandBack();
}

}  // namespace

void SetWindowRole(HWND top_level, WindowRole role) {
    WindowRecord* record = Resolve(top_level);
    if (!record || !record->IsTopLevel() || record->destroying || record->role == role) return;
    record->role = role;
    if (role != WindowRole::PopupMenu && Holds(top_level)) PopupGrabLost(top_level);
    if (WindowRecord* again = Resolve(top_level); again && again->role == role && Core().system) {
        Core().system->SetRole(top_level, role);
    }
}

WindowRole GetWindowRole(HWND top_level) {
    WindowRecord* record = Resolve(top_level);
    return record && record->IsTopLevel() ? record->role : WindowRole::Normal;
}

WindowRole RoleOf(HWND hwnd) { return GetWindowRole(hwnd); }

bool GrabPopupInput(HWND popup) {
    CoreState& core = Core();
    WindowRecord* record = Resolve(popup);
    if (!record || !record->IsTopLevel() || record->destroying) return Fail(GrabFailure::NotAWindow);
    if (record->role != WindowRole::PopupMenu) return Fail(GrabFailure::NotAPopup);
    if (!(record->style & WS_VISIBLE)) return Fail(GrabFailure::NotShown);
    auto& grabs = core.popup_grabs;
    if (!grabs.empty() && grabs.back() == popup) {
        core.last_grab_failure = GrabFailure::None;
        return true;
    }
    if (!System().GrabPopup(popup)) return Fail(GrabFailure::Refused);
    // A popup already further down the stack moves to its top.
    grabs.erase(std::remove(grabs.begin(), grabs.end(), popup), grabs.end());
    grabs.push_back(popup);
    core.last_grab_failure = GrabFailure::None;
    return true;
}

void ReleasePopupInput(HWND popup) {
    if (!Holds(popup)) return;
    SendCaptureChanged(Remove(popup));
}

HWND PopupInputHolder() { return PopupGrabHolder(); }

GrabFailure LastGrabFailure() { return Core().last_grab_failure; }

bool PopupGrabActive() { return !Core().popup_grabs.empty(); }

HWND PopupGrabHolder() {
    const auto& grabs = Core().popup_grabs;
    return grabs.empty() ? nullptr : grabs.back();
}

void PopupGrabOutsidePress() {
    CoreState& core = Core();
    std::vector<HWND> holders = std::move(core.popup_grabs);
    core.popup_grabs.clear();
    if (holders.empty()) return;
    System().ReleasePopupGrab();
    // Innermost first: a submenu closes before the menu it belongs to.
    for (auto it = holders.rbegin(); it != holders.rend(); ++it) {
        if (IsWindow(*it)) PostInternal(*it, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    }
}

void PopupGrabBrokenBySystem(HWND hwnd) {
    CoreState& core = Core();
    // A late report about a grab the program has since moved or ended.
    if (core.popup_grabs.empty() || core.popup_grabs.back() != hwnd) return;
    std::vector<HWND> holders = std::move(core.popup_grabs);
    core.popup_grabs.clear();
    System().ReleasePopupGrab();
    std::reverse(holders.begin(), holders.end());
    SendCaptureChanged(holders);
}

void PopupGrabLost(HWND hwnd) {
    if (!Holds(hwnd)) return;
    std::vector<HWND> lost = Remove(hwnd);
    lost.insert(lost.begin(), hwnd);
    SendCaptureChanged(lost);
}

}  // namespace plat
