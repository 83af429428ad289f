#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "dui/controls/menu_item.h"
#include "dui/core/control.h"
#include "dui/core/image.h"
#include "dui/core/string_format.h"
#include "dui/core/text_style.h"

namespace dui {

// What an item control tells the menu that owns it.
enum class MenuItemEvent {
    Entered,      // the pointer entered the item
    Left,         // the pointer left it
    HoverTimer,   // the pointer rested on it for the hover delay
    Clicked,      // pressed and released on it with the left button
    RightReleased,  // the right button was released over it
};
using MenuItemListener = std::function<void(MenuItemEvent, int index)>;

// How captions are laid out and measured: one line in the default font,
// vertically centred, cut with an ellipsis, the hotkey letter underlined.
StringFormat MenuItemFormat();
TextStyle MenuItemTextStyle();

// One row of an open popup menu (kind 20): a caption with its hotkey letter
// underlined, an optional icon, an arrow for a submenu item, or an etched
// line for a separator. The item does not act by itself: it reports pointer
// events to its menu, which decides what is highlighted and chosen.
class ExMenuItemControl : public ExControl {
public:
    // How long the pointer rests on an item before its submenu opens.
    static constexpr unsigned kHoverDelayMs = 500;

    ExMenuItemControl() = default;
    ~ExMenuItemControl() override;

    ControlHandle CreateMenuItem(ControlParent parent, const RectF& bounds, ExMenuItem item,
                                 int index, MenuItemListener listener);

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    const ExMenuItem& Item() const { return m_item; }
    // Highlighted items paint the hover look (the menu's current item, or a
    // submenu item whose submenu is open).
    bool Highlighted() const { return m_highlighted; }
    bool Highlighted(bool value);

protected:
    intptr_t OnPointerUp(const PointerEvent& event) override;

private:
    void Notify(MenuItemEvent event);
    void Paint();

    ExMenuItem m_item;
    int m_index = 0;
    MenuItemListener m_listener;
    bool m_highlighted = false;
    std::optional<ExImage> m_icon;
    TextStyle m_style;
};

}  // namespace dui
