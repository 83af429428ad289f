#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dui/controls/menu_item.h"
#include "platform/platform.h"

namespace dui {

// The title of every popup menu window.
inline constexpr const char* kMenuWindowTitle = "Ex_DirectUI_Menu";

// Optional parts of an item, in the order AddItem documents them.
struct MenuItemOptions {
    std::string image;  // picture bytes for the icon column
    int state = kMenuItemEnabled;
    MenuItemKind kind = MenuItemKind::Command;
    std::optional<Argb> text_colour;  // black at 210
    int draw_option1 = 0;             // text effect of the caption
    Argb draw_option2 = 0;            // glow colour; 0 = automatic
};

// A context menu: a list of items that becomes a popup window when popped
// up. The popup runs its own message loop and returns once its window is
// gone; only then does the chosen item act: its subroutine is called, or its
// command is sent to the owner window as WM_COMMAND (wparam = command,
// lparam = the control that was under the pointer when the menu opened,
// which the owner's host routes it to; the command is dropped when that
// control no longer exists).
//
// While a menu is open, keys go to it (Up, Down, Home, End, Enter, Space,
// Left, Right, Esc, and an item's underlined letter) and a press anywhere
// outside its windows closes it without reaching what was pressed. So does
// the owner losing the pointer grab or the activation to another program.
//
// Positions are 1-based; operations on a position outside 1..count change
// nothing and return 0, false or an empty text.
class ExPopupMenu {
public:
    ExPopupMenu() = default;
    // Copies are deep: items (and submenu items) are values.
    ExPopupMenu(const ExPopupMenu&) = default;
    ExPopupMenu& operator=(const ExPopupMenu&) = default;
    ExPopupMenu(ExPopupMenu&&) noexcept = default;
    ExPopupMenu& operator=(ExPopupMenu&&) noexcept = default;
    ~ExPopupMenu() = default;

    // Pops up as a context menu at (x, y) on the screen, or at the pointer
    // when both are 0, opening left of and above the point where it would
    // not fit the work area.
    void Popup(plat::HWND owner, int x = 0, int y = 0);
    // Pops up below the owner window's bottom-left corner (above it when
    // there is no room), fading in.
    void PopupAnchored(plat::HWND owner);

    // Appends an item; returns the new item count.
    int AddItem(std::string text, MenuHandler handler = {}, MenuItemOptions options = {});
    int AddSeparator();
    // Appends a submenu item opening a copy of `submenu`'s items.
    int AddSubmenu(std::string text, const ExPopupMenu& submenu, MenuItemOptions options = {});
    bool RemoveItem(int position);
    void ClearItems();

    int ItemState(int position) const;
    int ItemState(int position, int state);
    std::string ItemText(int position) const;
    std::string ItemText(int position, std::string text);
    std::string ItemImage(int position) const;
    std::string ItemImage(int position, std::string bytes);
    // Whether 1 <= position <= count.
    bool CheckItem(int position) const;

    // The popup's width; 0 measures the captions. Other values below 50
    // become 50.
    int Width() const { return m_width; }
    int Width(int width);

    int ItemCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<ExMenuItem>& Items() const { return m_items; }

private:
    ExMenuItem* At(int position);
    const ExMenuItem* At(int position) const;

    std::vector<ExMenuItem> m_items;
    int m_width = 0;
};

// Sizing and placement, exposed for the tests.
// The popup size of a list of items: height 16 + 22 per command or submenu
// item + 3 per separator; the width as given (at least 50), or when 0 the
// widest caption + 50 (+ 15 with a submenu item).
plat::SIZE MenuSize(const std::vector<ExMenuItem>& items, int width);
// Top-left of a context menu of `size` opened at `point`: left of the point
// when x + width - 5 would pass the work area's right edge, above it when
// y + height would pass the bottom; then kept inside the work area.
plat::POINT PlaceContextMenu(plat::POINT point, plat::SIZE size, const plat::RECT& work_area);
// Top-left of a submenu beside its item (screen rectangles): right of the
// parent menu, or left of it where there is no room; kept inside the work
// area.
plat::POINT PlaceSubmenu(const plat::RECT& parent_window, const plat::RECT& item,
                         plat::SIZE size, const plat::RECT& work_area);

// Whether a popup menu is open (its loop is running).
bool PopupMenuOpen();

}  // namespace dui
