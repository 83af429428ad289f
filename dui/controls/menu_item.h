#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "dui/core/canvas.h"

namespace dui {

enum class MenuItemKind : int { Command = 0, Separator = 1, Submenu = 2 };

// An item's state: kMenuItemDisabled greys it out and makes it inert; any
// other value is enabled.
inline constexpr int kMenuItemEnabled = 0;
inline constexpr int kMenuItemDisabled = -1;

// A command number sent to the menu's owner window as WM_COMMAND.
struct MenuCommand {
    int id = 0;
};

// What choosing an item does: call a subroutine (after the menu is gone), or
// send a command to the owner window. Empty: nothing.
using MenuHandler = std::variant<std::monostate, std::function<void()>, MenuCommand>;

// One entry of a popup menu. Items are values: a menu copies them into each
// popup it opens, so changing the menu never affects an open popup.
struct ExMenuItem {
    std::string text;   // "&x" underlines x and makes it the item's key
    std::string image;  // picture bytes for the icon column; empty = none
    int state = kMenuItemEnabled;
    MenuItemKind kind = MenuItemKind::Command;
    MenuHandler handler;
    Argb text_colour = ArgbOf(210, 0, 0, 0);
    int draw_option1 = 0;    // the caption's text effect (TextEffect)
    Argb draw_option2 = 0;   // its glow colour; 0 = chosen from the text colour
    std::vector<ExMenuItem> submenu;  // the child items of a submenu item

    bool Enabled() const { return state != kMenuItemDisabled; }
    bool SendAsCommand() const { return std::holds_alternative<MenuCommand>(handler); }
};

}  // namespace dui
