// Input routing: mouse presses, capture and hover, the resize borders, the
// keyboard focus chain, hotkeys and tooltips.

#include "dui/core/host_window.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "dui/core/host_window/host_window_internal.h"

namespace dui {

using host_window_internal::kCaptionBandHeight;
using host_window_internal::ToRect;

namespace {

// Resize border bands.
constexpr int kBorderNear = 7;
constexpr int kBorderFar = 10;
constexpr int kCornerNear = 9;

// A control inside a hidden container (a page that is not shown) is as
// absent for the keyboard as it is for the mouse.
bool ShownWithAncestors(const ExControl& control) {
    for (const ExControl* at = &control; at != nullptr; at = ResolveControl(at->GetParent())) {
        if (!at->Visible()) return false;
    }
    return true;
}

// Width at which a tooltip's text wraps.
constexpr int kTooltipWidth = 1024;

uint32_t UpperAscii(uint32_t character) {
    return character < 128 ? static_cast<uint32_t>(std::toupper(static_cast<int>(character)))
                           : character;
}

// Non-client mouse messages carry screen coordinates.
plat::LPARAM ScreenLparam(plat::HWND window, plat::LPARAM client) {
    plat::POINT point{plat::GET_X_LPARAM(client), plat::GET_Y_LPARAM(client)};
    plat::ClientToScreen(window, &point);
    return plat::MAKELPARAM(point.x, point.y);
}

}  // namespace

void ExHostWindow::SetFocus(ControlHandle handle, bool keyboard) {
    const ExControl* control = ResolveControl(handle);
    if (control == nullptr || control->Host() != this || control->Disabled() ||
        !control->Visible() || !control->Focusable() ||
        control->Kind() == ControlKind::CaptionButton || m_focused == handle) {
        return;
    }
    MoveFocus(handle, keyboard, 0, 0);
}

void ExHostWindow::MoveFocus(ControlHandle handle, bool keyboard, uintptr_t wparam,
                             intptr_t lparam) {
    const plat::HWND window = m_window;
    const ControlHandle old = m_focused;
    m_focused = handle;
    m_keyboard_marker = keyboard ? handle : ControlHandle::None;
    if (old != ControlHandle::None) {
        DispatchToControl(old, EX_MSG_KILLFOCUS, wparam, static_cast<intptr_t>(Raw(handle)));
        if (!Alive(window)) return;
        RunControlCallback(m_on_focus_lost, old, wparam, lparam);
        if (!Alive(window)) return;
    }
    DispatchToControl(handle, EX_MSG_SETFOCUS, wparam, static_cast<intptr_t>(Raw(old)));
    if (!Alive(window)) return;
    RunControlCallback(m_on_focus_got, handle, wparam, lparam);
}

std::vector<ControlHandle> ExHostWindow::FocusChain() const {
    std::vector<ControlHandle> chain;
    // Depth first in tree order; a hidden or disabled control takes its
    // whole subtree out, as it does for the mouse.
    auto walk = [&](auto& self, ControlHandle first) -> void {
        for (ControlHandle at = first; at != ControlHandle::None;) {
            const ExControl* control = ResolveControl(at);
            if (control == nullptr) return;
            if (control->Visible() && !control->Disabled()) {
                if (control->Focusable() && control->Kind() != ControlKind::CaptionButton) {
                    chain.push_back(at);
                }
                self(self, control->Children().first);
            }
            at = control->NextSibling();
        }
    };
    walk(walk, m_controls.first);
    return chain;
}

ControlHandle ExHostWindow::NextInFocusChain(bool backwards) const {
    const std::vector<ControlHandle> chain = FocusChain();
    if (chain.empty()) return ControlHandle::None;
    const auto found = std::find(chain.begin(), chain.end(), m_focused);
    if (found == chain.end()) return backwards ? chain.back() : chain.front();
    const auto index = static_cast<size_t>(found - chain.begin());
    const size_t size = chain.size();
    return chain[backwards ? (index + size - 1) % size : (index + 1) % size];
}

void ExHostWindow::ShowTooltip(ControlHandle handle, std::optional<std::string> text) {
    if (m_window == nullptr) return;
    plat::RemoveTool(m_window);
    const ExControl* control = ResolveControl(handle);
    std::string shown;
    if (text) {
        shown = std::move(*text);
    } else if (control != nullptr) {
        shown = control->TooltipText();
    }
    m_tooltip_control = handle;
    m_tooltip_text = shown;
    if (shown.empty() || control == nullptr) return;
    const plat::RECT rect = ToRect(control->Bounds());
    plat::AddTool(m_window, rect, shown, kTooltipWidth);
}

void ExHostWindow::RegisterHotkey(ControlHandle control, uint32_t character) {
    auto found = std::find_if(m_hotkeys.begin(), m_hotkeys.end(),
                              [&](const auto& entry) { return entry.first == control; });
    if (character == 0) {
        if (found != m_hotkeys.end()) m_hotkeys.erase(found);
        return;
    }
    if (found != m_hotkeys.end()) {
        found->second = character;
    } else if (ResolveControl(control) != nullptr) {
        m_hotkeys.emplace_back(control, character);
    }
}

void ExHostWindow::ForgetControl(ControlHandle control) {
    if (m_focused == control) m_focused = ControlHandle::None;
    if (m_hover == control) m_hover = ControlHandle::None;
    if (m_pressed == control) {
        m_pressed = ControlHandle::None;
        if (m_press_active) {
            m_press_active = false;
            if (plat::GetCapture() == m_window) plat::ReleaseCapture();
        }
    }
    if (m_keyboard_marker == control) m_keyboard_marker = ControlHandle::None;
    std::erase_if(m_hotkeys, [&](const auto& entry) { return entry.first == control; });
    if (m_tooltip_control == control) {
        m_tooltip_control = ControlHandle::None;
        if (m_window != nullptr && !m_tooltip_text.empty()) plat::RemoveTool(m_window);
        m_tooltip_text.clear();
    }
}
intptr_t ExHostWindow::OnKeyDown(uintptr_t wparam, intptr_t lparam) {
    const plat::HWND window = m_window;
    if (m_focused != ControlHandle::None && ResolveControl(m_focused) != nullptr) {
        const intptr_t answer = DispatchToControl(m_focused, plat::WM_KEYDOWN, wparam, lparam);
        if (answer != kNotHandled) return answer;
        if (!Alive(window)) return 0;
    }
    const int key = static_cast<int>(wparam);
    if (key == plat::VK_TAB) {
        const bool backwards = plat::GetKeyState(plat::VK_SHIFT) < 0;
        const ControlHandle next = NextInFocusChain(backwards);
        if (next != ControlHandle::None && next != m_focused) SetFocus(next, true);
        return 0;
    }
    if (key == plat::VK_RETURN || key == plat::VK_SPACE) {
        const ExControl* focused = ResolveControl(m_focused);
        if (focused != nullptr && ShownWithAncestors(*focused) && !focused->Disabled()) {
            ClickControl(m_focused, 0, 0, 0, 0);
            return 0;
        }
    }
    return kNotHandled;
}

void ExHostWindow::OnWheel(uintptr_t wparam, intptr_t lparam) {
    const plat::HWND window = m_window;
    if (window == nullptr || m_animating) return;
    // A press holds the pointer: its control takes the wheel as well.
    ControlHandle at = m_press_active ? m_pressed : ControlHandle::None;
    if (at == ControlHandle::None) {
        plat::POINT point{plat::GET_X_LPARAM(lparam), plat::GET_Y_LPARAM(lparam)};  // on the screen
        plat::ScreenToClient(window, &point);
        at = HitTest(m_controls.last, static_cast<float>(point.x), static_cast<float>(point.y));
    }
    bool focused_tried = false;
    for (ControlHandle handle = at; ResolveControl(handle) != nullptr;) {
        focused_tried = focused_tried || handle == m_focused;
        if (DispatchToControl(handle, plat::WM_MOUSEWHEEL, wparam, lparam) != kNotHandled) return;
        if (!Alive(window)) return;
        const ExControl* control = ResolveControl(handle);
        if (control == nullptr) return;  // its handler destroyed it
        handle = control->GetParent();
    }
    if (!focused_tried && ResolveControl(m_focused) != nullptr) {
        DispatchToControl(m_focused, plat::WM_MOUSEWHEEL, wparam, lparam);
    }
}

intptr_t ExHostWindow::OnSysKeyDown(uintptr_t wparam, intptr_t lparam) {
    const uint32_t key = UpperAscii(static_cast<uint32_t>(wparam));
    for (const auto& [handle, character] : m_hotkeys) {
        if (UpperAscii(character) != key) continue;
        const ExControl* control = ResolveControl(handle);
        if (control == nullptr || !ShownWithAncestors(*control) || control->Disabled()) continue;
        ClickControl(handle, 0, 0, wparam, lparam);
        return 0;
    }
    return kNotHandled;
}

void ExHostWindow::ClickControl(ControlHandle control, uintptr_t wparam, intptr_t lparam,
                                uintptr_t callback_wparam, intptr_t callback_lparam) {
    const plat::HWND window = m_window;
    DispatchToControl(control, EX_MSG_CLICK, wparam, lparam);
    if (!Alive(window)) return;
    RunControlCallback(m_on_click, control, callback_wparam, callback_lparam);
}

void ExHostWindow::RunControlCallback(const ControlCallback& callback, ControlHandle control,
                                      uintptr_t wparam, intptr_t lparam) {
    if (!callback) return;
    const ControlCallback copy = callback;  // the callback may replace itself
    const ExControl* resolved = ResolveControl(control);
    const ControlKind kind = resolved != nullptr ? resolved->Kind() : ControlKind::None;
    copy(m_window, resolved != nullptr ? control : ControlHandle::None, wparam, lparam, kind);
}
int ExHostWindow::ResizeBorderFilter(uint32_t message, uintptr_t, intptr_t lparam) {
    if (!m_resizable || m_press_active || m_window == nullptr || plat::IsZoomed(m_window)) return 0;
    if (message != plat::WM_MOUSEMOVE && message != plat::WM_LBUTTONDOWN) return 0;
    const int x = plat::GET_X_LPARAM(lparam);
    const int y = plat::GET_Y_LPARAM(lparam);
    const int w = m_width;
    const int h = m_height;
    int edge = 0;
    plat::CursorId cursor = plat::IDC_ARROW;
    if (y > kBorderNear && y <= h - kBorderFar) {
        if (x <= kBorderNear) {
            edge = plat::WMSZ_LEFT;
        } else if (x > w - kBorderFar) {
            edge = plat::WMSZ_RIGHT;
        }
        cursor = plat::IDC_SIZEWE;
    } else if (y > h - kBorderFar) {
        if (x <= kCornerNear) {
            edge = plat::WMSZ_BOTTOMLEFT;
            cursor = plat::IDC_SIZENESW;
        } else if (x <= w - kBorderFar) {
            edge = plat::WMSZ_BOTTOM;
            cursor = plat::IDC_SIZENS;
        } else {
            edge = plat::WMSZ_BOTTOMRIGHT;
            cursor = plat::IDC_SIZENWSE;
        }
    } else {
        if (x <= kCornerNear) {
            edge = plat::WMSZ_TOPLEFT;
            cursor = plat::IDC_SIZENWSE;
        } else if (x <= w - kBorderFar) {
            edge = plat::WMSZ_TOP;
            cursor = plat::IDC_SIZENS;
        } else {
            edge = plat::WMSZ_TOPRIGHT;
            cursor = plat::IDC_SIZENESW;
        }
    }
    if (edge == 0) return 0;

    const plat::HWND window = m_window;
    plat::SetCursor(plat::LoadCursor(nullptr, cursor));
    if (m_hover != ControlHandle::None) {
        const ControlHandle hover = m_hover;
        m_hover = ControlHandle::None;
        DispatchToControl(hover, EX_MSG_MOUSELEAVE, 0, 0);
        if (!Alive(window)) return edge;
        RunControlCallback(m_on_mouse_leave, hover, 0, 0);
        if (!Alive(window)) return edge;
    }
    if (message == plat::WM_LBUTTONDOWN) {
        plat::SendMessage(window, plat::WM_SYSCOMMAND, plat::SC_SIZE + static_cast<unsigned>(edge),
                          lparam);
    }
    return edge;
}

void ExHostWindow::SendHover(ControlHandle previous, ControlHandle now, uintptr_t wparam,
                             intptr_t, bool enter) {
    const plat::HWND window = m_window;
    if (enter) {
        DispatchToControl(now, EX_MSG_MOUSEENTER, wparam, static_cast<intptr_t>(Raw(previous)));
        if (!Alive(window)) return;
        RunControlCallback(m_on_mouse_enter, now, wparam, 0);
        if (!Alive(window)) return;
        ShowTooltip(now);
    } else {
        DispatchToControl(previous, EX_MSG_MOUSELEAVE, wparam, static_cast<intptr_t>(Raw(now)));
        if (!Alive(window)) return;
        RunControlCallback(m_on_mouse_leave, previous, wparam, 0);
    }
}

void ExHostWindow::CancelPress() {
    // Cleared before the capture goes: releasing it sends WM_CAPTURECHANGED.
    m_press_active = false;
    m_pressed = ControlHandle::None;
    if (plat::GetCapture() == m_window) plat::ReleaseCapture();
}

void ExHostWindow::EndPressWithoutClick() {
    const plat::HWND window = m_window;
    const ControlHandle pressed = m_pressed;
    CancelPress();
    if (!Alive(window)) return;
    // The pressed control hears that its press is over (a scroll bar ends
    // a drag on it), and shows its pressed look until it hears the mouse is
    // gone, also when the pointer had already left it.
    if (ResolveControl(pressed) != nullptr) {
        DispatchToControl(pressed, plat::WM_CAPTURECHANGED, 0, 0);
        if (!Alive(window)) return;
    }
    if (pressed != m_hover) {
        const ExControl* control = ResolveControl(pressed);
        if (control != nullptr && control->Visible()) {
            DispatchToControl(pressed, EX_MSG_MOUSELEAVE, 0, 0);
            if (!Alive(window)) return;
        }
    }
    MouseLeaveWindow();
}

intptr_t ExHostWindow::OnMouse(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (m_animating || m_window == nullptr) return kNotHandled;
    const plat::HWND window = m_window;
    const auto x = float(plat::GET_X_LPARAM(lparam));
    const auto y = float(plat::GET_Y_LPARAM(lparam));
    // A double click's wparam is the marker: its keys come from the key state.
    m_mouse_modifiers = wparam == DOUBLECLICK_MARKER ? ModifiersFromKeyState()
                                                     : ModifiersFromMouseFlags(wparam);

    if (m_press_active) {
        const ControlHandle pressed = m_pressed;
        DispatchToControl(pressed, message, Raw(pressed), lparam);
        if (!Alive(window)) return 0;
        if (message == plat::WM_LBUTTONUP) {
            RunControlCallback(m_on_button_up, pressed, wparam, lparam);
            if (!Alive(window)) return 0;
            // The press ends before the click is delivered: a click handler
            // may run a modal loop, whose input must not go to this control.
            m_press_active = false;
            m_pressed = ControlHandle::None;
            if (plat::GetCapture() == window) plat::ReleaseCapture();
            const ControlHandle under = HitTest(m_controls.last, x, y);
            if (under == pressed && under != ControlHandle::None) {
                ClickControl(pressed, Raw(pressed), lparam, wparam, lparam);
            } else {
                const ExControl* pressed_control = ResolveControl(pressed);
                if (pressed_control != nullptr && pressed_control->Visible()) {
                    SendHover(pressed, under, wparam, lparam, false);
                    if (!Alive(window)) return 0;
                }
                if (under != ControlHandle::None) {
                    SendHover(pressed, under, wparam, lparam, true);
                    if (!Alive(window)) return 0;
                }
                m_hover = under;
            }
        }
        return 0;
    }

    const ControlHandle under = HitTest(m_controls.last, x, y);
    const ControlHandle previous = m_hover;
    if (under != previous) {
        const ExControl* previous_control = ResolveControl(previous);
        if (previous_control != nullptr && previous_control->Visible()) {
            SendHover(previous, under, wparam, lparam, false);
            if (!Alive(window)) return 0;
        }
    }

    intptr_t result = kNotHandled;
    switch (message) {
        case plat::WM_LBUTTONDOWN: {
            plat::SetFocus(window);
            if (!Alive(window)) return 0;
            bool accepted = false;
            if (const ExControl* control = ResolveControl(under)) {
                const bool focusable = control->Focusable();
                accepted = DispatchToControl(under, EX_MSG_ACCEPTPRESS, wparam, lparam) != kNotHandled ||
                           focusable;
                if (!Alive(window)) return 0;
                control = ResolveControl(under);
                if (accepted && control != nullptr) {
                    RunControlCallback(m_on_button_down, under, wparam, lparam);
                    if (!Alive(window)) return 0;
                    m_pressed = under;
                    m_press_active = true;
                    control = ResolveControl(under);
                    if (control != nullptr && control->Focusable() && m_focused != under &&
                        control->Kind() != ControlKind::CaptionButton) {
                        MoveFocus(under, false, wparam, lparam);
                        if (!Alive(window)) return 0;
                    }
                    if (wparam == DOUBLECLICK_MARKER) {
                        RunControlCallback(m_on_double_click, under, wparam, lparam);
                        if (!Alive(window)) return 0;
                    }
                    if (m_press_active) plat::SetCapture(window);
                    result = 0;
                }
            }
            if (!accepted) {
                const bool on_title = m_title_label != nullptr && under != ControlHandle::None &&
                                      m_title_label->GetHandle() == under;
                const bool empty_caption = under == ControlHandle::None && y < kCaptionBandHeight;
                if (wparam == DOUBLECLICK_MARKER && (empty_caption || on_title) &&
                    (m_flags & kFlagMaximise)) {
                    DoubleClickMaximise();
                    if (!Alive(window)) return 0;
                } else if (m_draggable) {
                    plat::SendMessage(window, plat::WM_NCLBUTTONDOWN, plat::HTCAPTION,
                                      ScreenLparam(window, lparam));
                    if (!Alive(window)) return 0;
                }
            }
            break;
        }
        case plat::WM_RBUTTONDOWN:
            RunControlCallback(m_on_right_button_down, under, wparam, lparam);
            break;
        case plat::WM_RBUTTONUP:
            RunControlCallback(m_on_right_button_up, under, wparam, lparam);
            break;
        case plat::WM_MOUSEMOVE:
            if (under != previous && under != ControlHandle::None) {
                SendHover(previous, under, wparam, lparam, true);
            } else if (under != previous) {
                ShowTooltip(ControlHandle::None);
            }
            break;
        default:
            break;
    }
    if (!Alive(window)) return 0;
    if (under != ControlHandle::None) {
        DispatchToControl(under, message, wparam, lparam);
        if (!Alive(window)) return 0;
    }
    m_hover = ResolveControl(under) != nullptr ? under : ControlHandle::None;
    return result;
}

void ExHostWindow::MouseLeaveWindow() {
    const plat::HWND window = m_window;
    m_tracking_leave = false;
    // A held press keeps the capture and the pressed control keeps the
    // pointer: its moves and its release reach it wherever the pointer is,
    // and the release tells it where the pointer went.
    if (m_press_active) return;
    if (plat::GetCapture() == window) plat::ReleaseCapture();
    const ControlHandle hover = m_hover;
    m_hover = ControlHandle::None;
    if (hover == ControlHandle::None) return;
    DispatchToControl(hover, EX_MSG_MOUSELEAVE, 0, 0);
    if (!Alive(window)) return;
    RunControlCallback(m_on_mouse_leave, hover, 0, 0);
}

plat::HCURSOR ExHostWindow::DefaultCursor(plat::HCURSOR cursor) {
    m_default_cursor = cursor;
    return m_default_cursor;
}

plat::HCURSOR ExHostWindow::DefaultCursor(plat::CursorId system_cursor) {
    return DefaultCursor(plat::LoadCursor(nullptr, system_cursor));
}

}  // namespace dui
