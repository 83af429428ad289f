// Attaching a host to a native window, subclassing its procedure and
// dispatching what arrives there; detaching on destruction.

#include "dui/core/host_window.h"

#include <algorithm>
#include <string>

#include "dui/core/caption_button.h"
#include "dui/core/host_window/host_window_internal.h"
#include "dui/core/module.h"
#include "dui/core/picture.h"

namespace dui {

using host_window_internal::kCaptionButtonHeight;
using host_window_internal::kCaptionStep;
using host_window_internal::kCaptionTop;
using host_window_internal::kIconBounds;
using host_window_internal::kTitleHeight;
using host_window_internal::kTitleTop;
using host_window_internal::ToRect;
using host_window_internal::ViewOf;

namespace {

plat::LRESULT HostWindowProc(plat::HWND hwnd, plat::UINT message, plat::WPARAM wparam,
                             plat::LPARAM lparam) {
    if (ExHostWindow* host = HostFromWindow(hwnd)) return host->WindowProc(message, wparam, lparam);
    return plat::DefWindowProc(hwnd, message, wparam, lparam);
}

}  // namespace

ExHostWindow* HostFromWindow(plat::HWND window) {
    if (window == nullptr) return nullptr;
    return static_cast<ExHostWindow*>(plat::GetProp(window, kHostProperty));
}

ExHostWindow::ExHostWindow() = default;

ExHostWindow::~ExHostWindow() {
    if (m_window != nullptr) OnDestroy();
}

bool ExHostWindow::Attach(plat::HWND window, AttachOptions options) {
    if (window == nullptr || !plat::IsWindow(window) || window == m_window) return false;
    // A window carries one host; subclassing it twice would loop.
    if (HostFromWindow(window) != nullptr) return false;
    if (m_window != nullptr) OnDestroy();
    ModuleStartup();
    m_caption_buttons.clear();
    m_icon.reset();
    m_title_label.reset();

    m_window = window;
    m_own_handle = AllocateHandleNumber();
    m_layered_alpha = options.layered_alpha ? std::clamp(*options.layered_alpha, 0, 255) : -1;
    m_image_mode = options.image_mode;
    m_image_frame = options.image_frame;
    m_frame_style = options.frame_style;
    m_draggable = options.draggable;
    m_animations_enabled = options.animations;
    m_nine_grid = options.nine_grid;
    m_shared_background = options.shared_background;
    // No compositor here blurs behind windows; the wish is kept as given.
    m_blur = options.blur.value_or(false);

    auto style = static_cast<plat::DWORD>(plat::GetWindowLongPtr(window, plat::GWL_STYLE));
    m_resizable = options.resizable.value_or((style & plat::WS_THICKFRAME) != 0);

    int flags = options.flags.value_or(0);
    if (!options.flags || flags != 0) style |= plat::WS_SYSMENU;
    if (!options.flags || (flags & kFlagStandardCaption) != 0) {
        flags |= kFlagIcon | kFlagTitle | kFlagClose;
        if (style & plat::WS_MAXIMIZEBOX) flags |= kFlagMaximise;
        if (style & plat::WS_MINIMIZEBOX) flags |= kFlagMinimise;
    }
    flags |= kFlagShadow;
    m_flags = flags;
    style |= plat::WS_POPUP;

    plat::SetProp(window, kHostProperty, this);
    m_default_cursor = Module().default_cursor;
    style &= ~(plat::WS_THICKFRAME | plat::WS_DLGFRAME | plat::WS_BORDER);
    if (!(flags & kFlagMinimise)) style &= ~plat::WS_MINIMIZEBOX;
    if (!(flags & kFlagMaximise)) style &= ~plat::WS_MAXIMIZEBOX;
    plat::SetWindowLongPtr(window, plat::GWL_STYLE, static_cast<plat::LONG_PTR>(style));

    plat::RECT rect{};
    plat::GetWindowRect(window, &rect);
    m_width = std::max(0, rect.right - rect.left);
    m_height = std::max(0, rect.bottom - rect.top);
    BuildBuffers();

    if (Layered()) {
        const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE,
                               ex_style | static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED));
    }

    m_redraw_queue.Clear();
    m_redraw_queue.Busy(false);
    m_dirty_controls.clear();
    m_frame_requested = false;
    m_previous_proc = reinterpret_cast<plat::WNDPROC>(plat::SetWindowLongPtr(
        window, plat::GWLP_WNDPROC, reinterpret_cast<plat::LONG_PTR>(&HostWindowProc)));

    const bool animations = m_animations_enabled;
    m_animations_enabled = false;
    m_animating = true;
    CreateCaption();
    m_animating = false;
    if (m_window != window) return false;  // destroyed by a control's creation

    std::optional<int32_t> colour;
    if (options.background_colour) colour = *options.background_colour;
    SetBackground(std::move(options.background_image), colour, false);

    if (Layered() && !(m_flags != 0 && animations)) ComposeRect(RectF{0, 0, float(m_width), float(m_height)}, true);
    m_animations_enabled = animations;
    CreateTooltipWindow();
    if (m_resizable) {
        const auto current = plat::GetWindowLongPtr(window, plat::GWL_STYLE);
        plat::SetWindowLongPtr(window, plat::GWL_STYLE,
                               current | static_cast<plat::LONG_PTR>(plat::WS_THICKFRAME));
    }
    return true;
}

void ExHostWindow::BuildBuffers() {
    m_back_buffer = CreateCanvas(m_width, m_height);
    m_background_cache = CreateCanvas(m_width, m_height);
}

void ExHostWindow::CreateCaption() {
    const plat::HWND window = m_window;
    if (m_flags & kFlagIcon) {
        auto icon_handle = reinterpret_cast<plat::HICON>(
            plat::SendMessage(window, plat::WM_GETICON, plat::ICON_SMALL, 0));
        if (icon_handle == nullptr) {
            icon_handle = reinterpret_cast<plat::HICON>(plat::GetClassLongPtr(window, plat::GCLP_HICONSM));
        }
        m_icon = std::make_unique<ExPicture>();
        m_icon->CreateFromIcon(window, kIconBounds.left, kIconBounds.top, kIconBounds.width,
                               kIconBounds.height, icon_handle);
        m_icon->Focusable(false);
    }
    if (m_flags & kFlagTitle) {
        const auto& factory = Module().title_label_factory;
        if (factory.create) {
            const float left = (m_flags & kFlagIcon) ? 29.0f : 11.0f;
            const RectF bounds{left, kTitleTop, std::max(0.0f, float(m_width) - left),
                               kTitleHeight};
            m_title_label = factory.create(window, bounds, plat::GetWindowText(window));
            if (m_title_label != nullptr && m_title_label->GetHandle() != ControlHandle::None) {
                m_title_label->Tag(std::to_string(Raw(m_title_label->GetHandle()) + 2));
            }
        }
    }
    struct ButtonFlag {
        int flag;
        CaptionRole role;
    };
    constexpr ButtonFlag kButtons[] = {
        {kFlagClose, CaptionRole::Close},         {kFlagMaximise, CaptionRole::Maximise},
        {kFlagMinimise, CaptionRole::Minimise},   {kFlagExtraButton1, CaptionRole::Extra1},
        {kFlagExtraButton2, CaptionRole::Extra2}, {kFlagExtraButton3, CaptionRole::Extra3},
        {kFlagExtraButton4, CaptionRole::Extra4},
    };
    float x = float(m_width) - 12;
    for (const ButtonFlag& entry : kButtons) {
        if (!(m_flags & entry.flag)) continue;
        const auto width = float(ExCaptionButton::WidthFor(entry.role));
        x -= width;
        auto button = std::make_unique<ExCaptionButton>();
        button->CreateCaptionButton(window, RectF{x, kCaptionTop, width, kCaptionButtonHeight},
                                    entry.role);
        m_caption_buttons.push_back(std::move(button));
    }
}

void ExHostWindow::CreateTooltipWindow() {
    // The platform keeps one tool per owner window, created with the first
    // tool shown; start with none.
    plat::RemoveTool(m_window);
}

intptr_t ExHostWindow::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const plat::HWND window = m_window;
    const plat::WNDPROC previous = m_previous_proc;
    auto pass_on = [&]() -> intptr_t {
        if (m_window == window && m_redraw_queue.Busy()) return 0;
        if (previous == nullptr) return plat::DefWindowProc(window, message, wparam, lparam);
        return plat::CallWindowProc(previous, window, message, wparam, lparam);
    };

    if (m_on_message) {
        const MessageHook hook = m_on_message;
        const intptr_t answer = hook(window, message, wparam, lparam);
        if (answer != kNotHandled) return answer;
        if (!Alive(window)) return pass_on();
    }

    switch (message) {
        case plat::WM_DESTROY:
            OnDestroy();
            return pass_on();
        case plat::WM_SIZE:
            if (wparam != plat::SIZE_MINIMIZED) OnSizeChanged();
            break;
        case plat::WM_ACTIVATE:
            if (plat::LOWORD(wparam) == plat::WA_INACTIVE && m_press_active) {
                EndPressWithoutClick();
                if (!Alive(window)) return 0;
            }
            break;
        case plat::WM_CAPTURECHANGED:
            if (m_press_active && reinterpret_cast<plat::HWND>(lparam) != window) {
                EndPressWithoutClick();
                if (!Alive(window)) return 0;
            }
            break;
        case plat::WM_KILLFOCUS:
            if (m_press_active) {
                EndPressWithoutClick();
                if (!Alive(window)) return 0;
            }
            if (m_focused != ControlHandle::None) {
                DispatchToControl(m_focused, plat::WM_KILLFOCUS, wparam, 0);
                if (!Alive(window)) return 0;
            }
            break;
        case plat::WM_SETFOCUS:
            if (m_focused != ControlHandle::None) {
                DispatchToControl(m_focused, plat::WM_SETFOCUS, wparam, 0);
                if (!Alive(window)) return 0;
            }
            break;
        case plat::WM_SETTEXT:
            if ((m_flags & kFlagTitle) && m_title_label != nullptr && lparam != 0 &&
                m_title_label->GetHandle() != ControlHandle::None) {
                const auto& factory = Module().title_label_factory;
                if (factory.set_text) {
                    factory.set_text(*m_title_label, reinterpret_cast<const char*>(lparam));
                }
            }
            break;
        case plat::WM_PAINT: {
            plat::PAINTSTRUCT paint{};
            plat::BeginPaint(window, &paint);
            // A pending frame is composed first, so the screen never shows
            // a back buffer older than the controls; its rectangles go out
            // with the painted one in a single present.
            std::optional<RectF> frame;
            if (m_frame_requested) frame = ComposeQueued();
            if (!Alive(window)) return 0;
            // A layered window shows only what was pushed to it; while an
            // animation made this one layered, its frames are on screen.
            const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
            const bool layered_now = (ex_style & static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED)) != 0;
            if (m_back_buffer != nullptr && !m_animating) {
                if (layered_now) {
                    if (frame) PushLayered();
                } else {
                    plat::RECT area = paint.rcPaint;
                    if (frame) {
                        const plat::RECT composed = ToRect(*frame);
                        plat::UnionRect(&area, &area, &composed);
                    }
                    plat::Present(window, ViewOf(*m_back_buffer), area);
                }
            }
            plat::EndPaint(window, &paint);
            return 0;
        }
        case plat::WM_CLOSE:
            RunCloseAnimation();
            if (!Alive(window)) return 0;
            plat::ShowWindow(window, plat::SW_HIDE);
            break;
        case plat::WM_SETCURSOR:
            if (reinterpret_cast<plat::HWND>(wparam) == window) {
                const ExControl* hover = ResolveControl(m_hover);
                plat::SetCursor(hover != nullptr && hover->Cursor() != nullptr ? hover->Cursor()
                                                                               : m_default_cursor);
                return 1;
            }
            break;
        case plat::WM_NCACTIVATE:
            return 1;
        case plat::WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<plat::MINMAXINFO*>(lparam);
            if (info == nullptr) return 0;
            plat::RECT area{};
            plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0);
            info->ptMaxSize = {area.right - area.left + 14, area.bottom - area.top + 14};
            info->ptMaxPosition = {area.left - 7, area.top - 7};
            // The shadow bit is always set; a window with no caption parts
            // counts as having no flags.
            if ((m_flags & ~kFlagShadow) == 0) {
                info->ptMinTrackSize = {21, 20};
            } else {
                const int buttons = static_cast<int>(m_caption_buttons.size());
                const int width =
                    buttons * kCaptionStep + ((m_flags & kFlagClose) ? 11 : 0) + 35 + 1;
                info->ptMinTrackSize = {width, 40};
            }
            return 0;
        }
        case plat::WM_STYLECHANGED: {
            const auto style = static_cast<plat::DWORD>(plat::GetWindowLongPtr(window, plat::GWL_STYLE));
            if (style & (plat::WS_DLGFRAME | plat::WS_BORDER)) {
                plat::SetWindowLongPtr(window, plat::GWL_STYLE,
                                       style & ~(plat::WS_DLGFRAME | plat::WS_BORDER));
            }
            break;
        }
        case plat::WM_NCCALCSIZE:
            if (wparam == 1) return 1;
            break;
        case plat::WM_KEYDOWN:
            if (OnKeyDown(wparam, lparam) != kNotHandled) return 0;
            break;
        case plat::WM_SYSKEYDOWN:
            if (OnSysKeyDown(wparam, lparam) != kNotHandled) return 0;
            break;
        case plat::WM_KEYUP:
        case plat::WM_CHAR:
        case plat::WM_IME_COMPOSITION:
            if (m_focused != ControlHandle::None) DispatchToControl(m_focused, message, wparam, lparam);
            break;
        case plat::WM_MOUSEWHEEL:
            OnWheel(wparam, lparam);
            break;
        case plat::WM_COMMAND: {
            // A popup menu's command names the control it was opened over
            // in lparam; other commands go to the focused control.
            const ControlHandle named = HandleFromParam(static_cast<uintptr_t>(lparam));
            const ExControl* control = ResolveControl(named);
            const ControlHandle target = control != nullptr && control->Host() == this ? named : m_focused;
            if (target != ControlHandle::None) DispatchToControl(target, message, wparam, lparam);
            break;
        }
        case plat::WM_MOUSEMOVE:
            if (!m_tracking_leave) {
                plat::TRACKMOUSEEVENT track;
                track.dwFlags = plat::TME_LEAVE;
                track.hwndTrack = window;
                m_tracking_leave = plat::TrackMouseEvent(&track) != 0;
            }
            if (ResizeBorderFilter(message, wparam, lparam) == 0) OnMouse(message, wparam, lparam);
            break;
        case plat::WM_LBUTTONDOWN:
            if (ResizeBorderFilter(message, wparam, lparam) != 0) return 0;
            if (OnMouse(message, wparam, lparam) != kNotHandled) return 0;
            break;
        case plat::WM_LBUTTONUP:
        case plat::WM_RBUTTONDOWN:
        case plat::WM_RBUTTONUP:
            OnMouse(message, wparam, lparam);
            break;
        case plat::WM_LBUTTONDBLCLK:
            plat::SendMessage(window, plat::WM_LBUTTONDOWN, DOUBLECLICK_MARKER, lparam);
            return 0;
        case plat::WM_MOUSELEAVE:
            MouseLeaveWindow();
            break;
        case plat::WM_TIMER:
            OnTimer(wparam, lparam);
            return 0;

        case EX_MSG_SETFOCUS:
            SetFocus(HandleFromParam(static_cast<uintptr_t>(lparam)), false);
            return 0;
        case EX_MSG_HOTKEY:
            RegisterHotkey(HandleFromParam(wparam), static_cast<uint32_t>(lparam));
            return 1;
        case EX_MSG_UPDATELAYERED:
            PushLayered();
            return 0;
        case EX_MSG_REDRAWRECT: {
            const RedrawMode mode = wparam == 1   ? RedrawMode::Now
                                    : wparam == 2 ? RedrawMode::Front
                                                  : RedrawMode::Append;
            RedrawRect(UnpackRect(lparam), mode);
            return 0;
        }
        case EX_MSG_MOVED: {
            const ControlHandle moved = HandleFromParam(wparam);
            DispatchToControl(moved, EX_MSG_MOVED, 0, 0);
            const ExControl* control = ResolveControl(moved);
            if (lparam == 1 && control != nullptr && Alive(window) && !m_animating) {
                const RectF previous_bounds = control->PreviousBounds();
                const RectF bounds = control->Bounds();
                RedrawRect(previous_bounds);
                RedrawRect(bounds);
            }
            return 0;
        }
        case EX_MSG_FRAME:
            if (m_frame_requested) ComposeFrame();
            return 0;
        case EX_MSG_CONTROLMSG: {
            auto found = m_marshalled.find(lparam);
            if (found == m_marshalled.end()) return 0;
            const auto [control_message, control_wparam, control_lparam] = found->second;
            m_marshalled.erase(found);
            return DispatchToControl(HandleFromParam(wparam), control_message, control_wparam,
                                     control_lparam);
        }
        default:
            break;
    }
    return pass_on();
}

intptr_t ExHostWindow::DeliverControlMessage(ControlHandle control, uint32_t message,
                                             uintptr_t wparam, intptr_t lparam, bool post) {
    if (m_window == nullptr) return 0;
    const intptr_t ticket = m_next_ticket++;
    m_marshalled.emplace(ticket, std::make_tuple(message, wparam, lparam));
    if (post) {
        if (!plat::PostMessage(m_window, EX_MSG_CONTROLMSG, Raw(control), ticket)) {
            m_marshalled.erase(ticket);
        }
        return 0;
    }
    const intptr_t result = plat::SendMessage(m_window, EX_MSG_CONTROLMSG, Raw(control), ticket);
    m_marshalled.erase(ticket);  // still there when a hook swallowed the message
    return result;
}

void ExHostWindow::OnTimer(uintptr_t id, intptr_t lparam) {
    if (id != m_own_handle) {
        DispatchToControl(HandleFromParam(id), plat::WM_TIMER, id, lparam);
        return;
    }
    FadeInTick();
}

void ExHostWindow::OnSizeChanged() {
    if (m_window == nullptr || plat::IsIconic(m_window)) return;
    plat::RECT rect{};
    plat::GetWindowRect(m_window, &rect);
    const int width = std::max(0, rect.right - rect.left);
    const int height = std::max(0, rect.bottom - rect.top);
    if (width == m_width && height == m_height) return;
    const plat::HWND window = m_window;
    m_width = width;
    m_height = height;
    if (m_on_size) {
        const SizeCallback callback = m_on_size;
        callback(window, width, height);
        if (!Alive(window)) return;
    }
    BuildBuffers();
    SetBackground(std::nullopt, std::nullopt, false);
}

void ExHostWindow::OnDestroy() {
    if (m_window == nullptr) return;
    const plat::HWND window = m_window;
    m_animating = true;
    if (HostFromWindow(window) == this) {
        plat::SetWindowLongPtr(window, plat::GWLP_WNDPROC,
                               reinterpret_cast<plat::LONG_PTR>(m_previous_proc));
    }
    plat::KillTimer(window, m_own_handle);
    m_redraw_queue.Clear();
    m_dirty_controls.clear();
    m_frame_requested = false;

    while (m_controls.first != ControlHandle::None) {
        ExControl* control = ResolveControl(m_controls.first);
        if (control == nullptr) break;
        control->Destroy();
    }
    m_controls = {};
    m_clip_region.reset();
    m_background_image.reset();
    m_background_bytes.clear();
    plat::RemoveTool(window);
    m_tooltip_control = ControlHandle::None;
    m_tooltip_text.clear();
    if ((m_press_active || m_tracking_leave) && plat::GetCapture() == window) plat::ReleaseCapture();
    m_focused = m_hover = m_pressed = m_keyboard_marker = ControlHandle::None;
    m_press_active = false;
    m_tracking_leave = false;
    m_flags = 0;
    m_back_buffer.reset();
    m_background_cache.reset();
    m_transition.reset();
    m_hotkeys.clear();
    m_marshalled.clear();
    // The caption objects stay allocated (destroyed, not freed) until the
    // next Attach or the host's end: one of them may be the control whose
    // dispatch led here.
    if (HostFromWindow(window) == this) plat::RemoveProp(window, kHostProperty);
    m_previous_proc = nullptr;
    m_window = nullptr;
    m_animating = false;
}

}  // namespace dui
