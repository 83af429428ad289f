#pragma once

#include "dui/controls/popup_menu.h"

namespace dui {

// Start-up of the controls library. The application calls it after
// ModuleStartup() and before the first host window is attached: it installs
// the factory through which every host creates its caption title label (an
// ExLabel) and builds the edit box's shared context menu. Starts the core
// first when that has not happened yet; false when the core could not start.
bool ControlsStartup();

// State of the controls library, created by ControlsStartup.
struct ControlsState {
    // Cut, copy, paste, a separator and select all, each sent as the command
    // of its letter (88, 67, 86, 65) so that a choice takes the same path as
    // Ctrl plus that letter.
    ExPopupMenu edit_menu;
    // A popup menu's loop is running; a second one is refused meanwhile.
    bool menu_open = false;
};

ControlsState& ControlsModule();

// The edit box's shared context menu.
inline ExPopupMenu& EditContextMenu() { return ControlsModule().edit_menu; }

}  // namespace dui
