#include "dui/controls/menu_item_control.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dui/core/font.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

// The caption starts here; the icon column lies left of it.
constexpr float kCaptionLeft = 30;
constexpr float kIconColumnWidth = 24;
constexpr float kIconMaxSide = 20;
constexpr float kArrowWidth = 12;

constexpr Argb kHoverBackground = ArgbOf(230, 48, 133, 198);
constexpr Argb kHoverText = ArgbOf(240, 255, 255, 255);
constexpr Argb kDisabledText = ArgbOf(254, 183, 196, 204);
constexpr Argb kEtchDark = ArgbOf(120, 0, 0, 0);
constexpr Argb kEtchLight = ArgbOf(230, 255, 255, 255);

}  // namespace

StringFormat MenuItemFormat() {
    StringFormat format(kFormatNoWrap);
    format.alignment = StringAlignment::Near;
    format.line_alignment = StringAlignment::Center;
    format.trimming = StringTrimming::EllipsisCharacter;
    format.hotkey_prefix = HotkeyPrefix::Show;
    return format;
}

TextStyle MenuItemTextStyle() {
    TextStyle style;
    style.format = MenuItemFormat();
    return style;
}

ExMenuItemControl::~ExMenuItemControl() { Destroy(); }

ControlHandle ExMenuItemControl::CreateMenuItem(ControlParent parent, const RectF& bounds,
                                                ExMenuItem item, int index,
                                                MenuItemListener listener) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_item = std::move(item);
    m_index = index;
    m_listener = std::move(listener);
    m_style = MenuItemTextStyle();
    m_style.effect = m_item.draw_option1;
    m_style.glow_colour = m_item.draw_option2;
    m_highlighted = false;
    m_icon.reset();
    if (!m_item.image.empty()) m_icon = LoadImageFromBytes(m_item.image, false);
    // Items never take the focus: the menu keeps its own current item.
    return Create(parent, bounds, ControlKind::MenuItem, true, false);
}

bool ExMenuItemControl::Highlighted(bool value) {
    if (value == m_highlighted) return m_highlighted;
    m_highlighted = value;
    Invalidate();
    return m_highlighted;
}

void ExMenuItemControl::Notify(MenuItemEvent event) {
    if (!m_listener) return;
    // The listener may close the menu; keep a copy for the call.
    const MenuItemListener listener = m_listener;
    listener(event, m_index);
}

intptr_t ExMenuItemControl::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_PAINT:
        case EX_MSG_REPAINTSTATE:
            Paint();
            return 0;
        case EX_MSG_ACCEPTPRESS:
            // Presses land on items without moving the focus, and never fall
            // through to the window (which would start a window drag).
            return 1;
        case EX_MSG_MOUSEENTER:
            if (m_item.kind == MenuItemKind::Submenu && m_item.Enabled()) StartTimer(kHoverDelayMs);
            Notify(MenuItemEvent::Entered);
            return 0;
        case EX_MSG_MOUSELEAVE:
            KillTimer();
            Notify(MenuItemEvent::Left);
            return 0;
        case plat::WM_TIMER:
            KillTimer();
            Notify(MenuItemEvent::HoverTimer);
            return 0;
        case EX_MSG_CLICK:
            Notify(MenuItemEvent::Clicked);
            return 0;
        case plat::WM_DESTROY:
            m_listener = nullptr;
            m_icon.reset();
            return 0;
        default:
            break;
    }
    return ExControl::OnMessage(message, wparam, lparam);
}

intptr_t ExMenuItemControl::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Right) return kNotHandled;
    Notify(MenuItemEvent::RightReleased);
    return 0;
}

void ExMenuItemControl::Paint() {
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    const float w = static_cast<float>(canvas->Width());
    const float h = static_cast<float>(canvas->Height());
    if (m_item.kind == MenuItemKind::Separator) {
        canvas->DrawLine(0, 1, w - 1, 1, kEtchDark);
        canvas->DrawLine(0, 2, w - 1, 2, kEtchLight);
        EndPaint();
        return;
    }
    const bool enabled = m_item.Enabled();
    const bool hover = enabled && m_highlighted;
    if (hover) canvas->FillRect(RectF{0, 0, w, h}, kHoverBackground);
    if (m_icon) {
        float iw = static_cast<float>(m_icon->Width());
        float ih = static_cast<float>(m_icon->Height());
        const float scale = std::min({1.0f, kIconMaxSide / std::max(iw, 1.0f),
                                      kIconMaxSide / std::max(ih, 1.0f)});
        iw *= scale;
        ih *= scale;
        const RectF icon{static_cast<float>(static_cast<int>((kIconColumnWidth - iw) / 2)),
                         static_cast<float>(static_cast<int>((h - ih) / 2)), iw, ih};
        canvas->DrawImageAlpha(*m_icon, icon, enabled ? 255 : 128);
    }
    const float reserve = m_item.kind == MenuItemKind::Submenu ? kArrowWidth : 0;
    const Argb colour = !enabled ? kDisabledText : hover ? kHoverText : m_item.text_colour;
    const RectF text_rect{kCaptionLeft, 0, std::max(0.0f, w - kCaptionLeft - reserve), h};
    m_style.colour = colour;
    DrawStyledText(*canvas, text_rect, m_item.text, m_style, *this);
    if (m_item.kind == MenuItemKind::Submenu) {
        const float cx = w - kArrowWidth / 2;
        const float cy = std::floor(h / 2);
        Path arrow;
        arrow.AddLine({cx - 2, cy - 4}, {cx + 2, cy});
        arrow.AddLine({cx + 2, cy}, {cx - 2, cy + 4});
        arrow.CloseFigure();
        canvas->FillPath(arrow, colour);
    }
    EndPaint();
}

}  // namespace dui
