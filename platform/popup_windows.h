#pragma once
// Window roles and the popup input grab: what a context menu needs from the
// window system beyond the Windows calls. Everything here runs on the UI
// thread.

#include "platform/win_types.h"

namespace plat {

// Sets the role of a top-level window (see WindowRole). Call it before the
// window is first shown; later calls still change how the core treats the
// window, but the native window may keep its old kind. Child windows and
// invalid handles are ignored. Every window starts as WindowRole::Normal;
// nothing is derived from styles.
void SetWindowRole(HWND top_level, WindowRole role);
WindowRole GetWindowRole(HWND top_level);

// The popup input grab. GrabPopupInput takes the pointer and the keyboard of
// the seat for a shown PopupMenu window and returns false when it cannot (the
// caller must then not open: a menu without the grab could never close on an
// outside click). While a popup holds the grab:
//  - keyboard messages go to the popup (to its focused child when the focus
//    is inside it), whichever window has the system's focus;
//  - mouse input over the program's own windows reaches them as usual, so a
//    menu's loop sees a press on its owner window;
//  - a press outside all of the program's windows reaches no window; instead
//    every grabbing popup is posted WM_ACTIVATE (WA_INACTIVE, lParam 0),
//    innermost first, and the grab ends;
//  - when anything else ends the grab (the system breaks it, the popup is
//    hidden or destroyed, a nested grab cannot be handed back) the popup is
//    sent WM_CAPTURECHANGED (lParam 0) and loses the grab.
// Grabs nest: grabbing for a second popup (a submenu) while one holds the
// grab moves it there silently, and releasing the inner one hands it back.
// ReleasePopupInput ends a popup's grab without a message; destroying the
// popup ends it too.
bool GrabPopupInput(HWND popup);
void ReleasePopupInput(HWND popup);
// The popup holding the grab now (the innermost), or nullptr.
HWND PopupInputHolder();

// Why the last GrabPopupInput returned false.
enum class GrabFailure {
    None,
    NotAWindow,   // no live window, or a child window
    NotAPopup,    // its role is not WindowRole::PopupMenu
    NotShown,     // it is not visible
    Refused,      // the window system refused (another program holds a grab)
};
GrabFailure LastGrabFailure();

}  // namespace plat
