#include "dui/core/host_window.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "dui/core/caption_button.h"
#include "dui/core/module.h"
#include "dui/core/picture.h"

namespace dui {
namespace {

// Caption geometry.
constexpr float kCaptionTop = 7;
constexpr float kCaptionButtonHeight = 19;
constexpr int kCaptionStep = 28;
constexpr RectF kIconBounds{11, 11, 16, 16};
constexpr float kTitleTop = 11;
constexpr float kTitleHeight = 20;
constexpr Argb kTitleColour = ArgbOf(250, 255, 255, 255);

// A double click on an empty spot above this line toggles maximise.
constexpr int kCaptionBandHeight = 30;

// Resize border bands.
constexpr int kBorderNear = 7;
constexpr int kBorderFar = 10;
constexpr int kCornerNear = 9;

constexpr unsigned kFadeInInterval = 50;
constexpr int kAlphaStep = 51;

// Upper bound on the rectangles composed in one pass of the redraw queue; a
// control that asks for a redraw whenever it is drawn would otherwise keep
// the pass running forever. What is left is redrawn from the message loop.
constexpr int kMaxComposePerPass = 1024;
// Upper bound on the messages run by one pump between animation frames.
constexpr int kMaxPumpedMessages = 256;

// A control inside a hidden container (a page that is not shown) is as
// absent for the keyboard as it is for the mouse.
bool ShownWithAncestors(const ExControl& control) {
    for (const ExControl* at = &control; at != nullptr; at = ResolveControl(at->GetParent())) {
        if (!at->Visible()) return false;
    }
    return true;
}

constexpr int kTooltipWidth = 1024;

plat::LRESULT HostWindowProc(plat::HWND hwnd, plat::UINT message, plat::WPARAM wparam,
                             plat::LPARAM lparam) {
    if (ExHostWindow* host = HostFromWindow(hwnd)) return host->WindowProc(message, wparam, lparam);
    return plat::DefWindowProc(hwnd, message, wparam, lparam);
}

plat::RECT ToRect(const RectF& rect) {
    return plat::RECT{static_cast<int32_t>(std::floor(rect.left)),
                      static_cast<int32_t>(std::floor(rect.top)),
                      static_cast<int32_t>(std::ceil(rect.Right())),
                      static_cast<int32_t>(std::ceil(rect.Bottom()))};
}

plat::SurfaceView ViewOf(const ExCanvas& canvas) {
    const PixelView pixels = canvas.Pixels();
    return plat::SurfaceView{pixels.data, pixels.width, pixels.height, pixels.stride};
}

RectF WholeOf(const ExCanvas& canvas) {
    return RectF{0, 0, static_cast<float>(canvas.Width()), static_cast<float>(canvas.Height())};
}

// Copies a rectangle of one canvas into another, replacing what was there.
void CopyRect(ExCanvas& target, const ExCanvas& source, const RectF& rect) {
    cairo_t* cr = target.Context();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source.Surface(), 0, 0);
    cairo_rectangle(cr, rect.left, rect.top, rect.width, rect.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

Argb ColourArgb(int32_t rgb, int alpha) {
    return MakeArgb(static_cast<uint32_t>(rgb) & 0xFFFFFF, alpha);
}

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

template <class Visit>
void ForEachControl(ControlHandle first, const Visit& visit) {
    for (ControlHandle at = first; at != ControlHandle::None;) {
        ExControl* control = ResolveControl(at);
        if (control == nullptr) return;
        const ControlHandle next = control->NextSibling();
        const ControlHandle children = control->Children().first;
        visit(at);
        ForEachControl(children, visit);
        at = next;
    }
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

const ExImage* ExHostWindow::BackgroundImage() const {
    return m_background_image ? &*m_background_image : nullptr;
}

// ---------------------------------------------------------------------------
// Attaching

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

// ---------------------------------------------------------------------------
// The window procedure

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
        case plat::WM_MOUSEWHEEL:
            if (m_focused != ControlHandle::None) DispatchToControl(m_focused, message, wparam, lparam);
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

// ---------------------------------------------------------------------------
// Composition

void ExHostWindow::RedrawRect(const RectF& rect, RedrawMode mode) {
    if (m_window == nullptr) return;
    if (mode == RedrawMode::Now) {
        ComposeRect(rect, true);
        return;
    }
    if (rect.IsEmpty()) return;
    m_redraw_queue.Add(rect, mode);
    RequestFrame();
}

void ExHostWindow::MarkDirty(ControlHandle control) {
    if (m_window == nullptr || control == ControlHandle::None) return;
    m_dirty_controls.push_back(control);
    RequestFrame();
}

void ExHostWindow::RequestFrame() {
    // While a frame runs, what its painting queues is composed by it; what
    // is left at its end asks for the next one.
    if (m_window == nullptr || m_frame_requested || m_redraw_queue.Busy()) return;
    m_frame_requested = true;
    if (!plat::PostMessage(m_window, EX_MSG_FRAME, 0, 0)) m_frame_requested = false;
}

void ExHostWindow::ComposeFrame() {
    const plat::HWND window = m_window;
    const std::optional<RectF> composed = ComposeQueued();
    if (!Alive(window) || !composed || m_animating) return;
    Present(*composed);
}

std::optional<RectF> ExHostWindow::ComposeQueued() {
    const plat::HWND window = m_window;
    if (window == nullptr) return std::nullopt;
    m_frame_requested = false;
    // What was asked for during an animation waits for its end, which
    // redraws the whole window or asks for a frame.
    if (m_animating) return std::nullopt;
    m_redraw_queue.Busy(true);
    // Painting may dirty controls again (a control that invalidates itself
    // while painting); those wait for the next frame.
    std::vector<ControlHandle> dirty;
    dirty.swap(m_dirty_controls);
    for (ControlHandle handle : dirty) {
        ExControl* control = ResolveControl(handle);
        if (control == nullptr || control->Host() != this || !control->Dirty()) continue;
        if (!control->Visible()) {
            // Painted when it is shown: Visible(true) invalidates it.
            control->m_dirty = false;
            continue;
        }
        control->PaintNow();
        if (!Alive(window)) return std::nullopt;
    }
    std::optional<RectF> area;
    int composed = 0;
    while (auto rect = m_redraw_queue.TakeFront()) {
        // Rectangles queued by the compositions themselves (a custom-drawn
        // control asking for more) wait for the next frame.
        if (++composed > kMaxComposePerPass) break;
        ComposeRect(*rect, false);
        if (!Alive(window)) return std::nullopt;
        area = area ? UnionOf(*area, *rect) : *rect;
    }
    m_redraw_queue.Busy(false);
    if (!m_redraw_queue.Empty() || !m_dirty_controls.empty()) RequestFrame();
    if (!Alive(window)) return std::nullopt;
    if (area) {
        area = IntersectOf(*area, RectF{0, 0, float(m_width), float(m_height)});
        if (area->IsEmpty()) area.reset();
    }
    return area;
}

void ExHostWindow::RedrawWholeNow() {
    m_redraw_queue.Clear();
    m_redraw_queue.Add(RectF{0, 0, float(m_width), float(m_height)}, RedrawMode::Append);
    ComposeFrame();
}

void ExHostWindow::ComposeRect(const RectF& rect, bool push) {
    if (m_animating || m_back_buffer == nullptr || m_background_cache == nullptr) return;
    const plat::HWND window = m_window;
    ExCanvas& back = *m_back_buffer;
    back.SaveClip();
    back.SetClipRect(rect, CombineMode::Intersect);
    if (m_clip_region) back.SetClipRegion(*m_clip_region, CombineMode::Intersect);
    CopyRect(back, *m_background_cache, rect);
    DrawSiblingList(m_controls.first, rect);
    if (!Alive(window) || m_back_buffer.get() != &back) return;
    back.RestoreClip();
    if (push) Present(rect);
}

void ExHostWindow::DrawSiblingList(ControlHandle first, const RectF& rect) {
    ExCanvas& back = *m_back_buffer;
    for (ControlHandle at = first; at != ControlHandle::None;) {
        ExControl* control = ResolveControl(at);
        if (control == nullptr) return;
        if (control->Visible() && RectsOverlap(control->Bounds(), rect)) {
            const RectF bounds = control->Bounds();
            if (control->Disabled()) {
                if (const ExCanvas* canvas = control->Canvas()) {
                    back.DrawImageAlpha(*canvas, bounds, std::clamp(control->Alpha(), 0, 255));
                }
            } else {
                CompositionRecord record;
                record.target = &back;
                record.canvas = control->Canvas();
                record.fade_snapshot = control->FadeSnapshot();
                record.rect = bounds;
                const intptr_t drawn = DispatchToControl(at, EX_MSG_CUSTOMDRAW, 0,
                                                         reinterpret_cast<intptr_t>(&record));
                control = ResolveControl(at);
                if (control == nullptr || m_back_buffer.get() != &back) return;
                if (drawn <= 0) {
                    const int alpha = std::clamp(control->Alpha(), 0, 255);
                    const int fade = std::clamp(control->FadeAlpha(), 0, 255);
                    if (const ExCanvas* snapshot = control->FadeSnapshot(); snapshot && alpha > fade) {
                        back.DrawImageAlpha(*snapshot, bounds, alpha - fade);
                    }
                    if (const ExCanvas* canvas = control->Canvas(); canvas && fade > 0) {
                        back.DrawImageAlpha(*canvas, bounds, fade);
                    }
                }
            }
            if (control->Children().first != ControlHandle::None) {
                back.SaveClip();
                back.SetClipRect(bounds, CombineMode::Intersect);
                DrawSiblingList(control->Children().first, rect);
                if (m_back_buffer.get() != &back) return;
                back.RestoreClip();
                control = ResolveControl(at);
                if (control == nullptr) return;
            }
        }
        at = control->NextSibling();
    }
}

void ExHostWindow::Present(std::optional<RectF> rect) {
    if (m_window == nullptr || m_back_buffer == nullptr) return;
    if (Layered()) {
        PushLayered();
        return;
    }
    const RectF area = rect.value_or(WholeOf(*m_back_buffer));
    plat::Present(m_window, ViewOf(*m_back_buffer), ToRect(area));
}

void ExHostWindow::PushLayered() {
    if (m_window == nullptr || m_back_buffer == nullptr || !Layered()) return;
    plat::UpdateLayeredWindow(m_window, ViewOf(*m_back_buffer), 255);
}

// ---------------------------------------------------------------------------
// Background

void ExHostWindow::SetBackground(std::optional<std::string> image_bytes,
                                 std::optional<int32_t> colour, bool prepare_fade_in) {
    if (m_window == nullptr) return;
    const plat::HWND window = m_window;
    m_animating = true;
    ExHostWindow* shared = HostFromWindow(m_shared_background);
    if (shared != nullptr && shared != this && plat::IsWindow(m_shared_background)) {
        m_background_image.reset();
        if (const ExImage* image = shared->BackgroundImage()) m_background_image = image->Clone();
        m_background_colour = shared->BackgroundColour();
    } else {
        if (image_bytes) {
            m_background_bytes = std::move(*image_bytes);
            m_background_image.reset();
            if (!m_background_bytes.empty()) {
                m_background_image = LoadImageFromBytes(m_background_bytes, false);
            }
        }
        if (colour && *colour != -1) m_background_colour = *colour;
    }
    m_transition.reset();
    if (prepare_fade_in && Layered() && m_back_buffer != nullptr) m_transition = m_back_buffer->Clone();

    PaintBackground();
    if (!Alive(window)) return;

    const RectF outline{7, 7, float(m_width) - 14, float(m_height) - 14};
    m_clip_region.reset();
    if (!outline.IsEmpty()) m_clip_region = Region::FromPath(RoundRectPath(outline, 3));
    m_redraw_queue.Clear();
    LayoutCaption();
    ForEachControl(m_controls.first,
                   [](ControlHandle control) { DispatchToControl(control, EX_MSG_REPAINTSTATE, 0, 0); });
    if (!Alive(window)) return;
    m_animating = false;

    if (m_transition != nullptr) {
        m_animating = true;
        m_fade_in_alpha = 0;
        plat::SetTimer(window, m_own_handle, kFadeInInterval, nullptr);
    } else {
        RedrawWholeNow();
    }
}

void ExHostWindow::PaintBackground() {
    if (m_back_buffer == nullptr || m_background_cache == nullptr) return;
    ExCanvas& back = *m_back_buffer;
    const RectF whole = WholeOf(back);
    back.ResetClip();
    back.Clear(0);
    PaintFrameAndImage(back);
    back.ResetClip();
    if (m_on_paint_background) {
        const PaintBackgroundCallback callback = m_on_paint_background;
        callback(m_window, back, m_width, m_height);
        if (m_back_buffer.get() != &back) return;
        back.ResetClip();
    }
    if (m_frame_style != 1) {
        const bool rounded = m_frame_style != 0;
        const RectF outer = OffsetRect(whole, 6, 6, -12, -12);
        const RectF inner = OffsetRect(whole, 7, 7, -14, -14);
        const Argb dark = ArgbOf(204, 0x60, 0x60, 0x60);
        const Argb light = ArgbOf(102, 255, 255, 255);
        if (rounded) {
            back.DrawRoundRect(outer, 7, dark);
            back.DrawRoundRect(inner, 6, light);
        } else {
            back.DrawBorder(outer, kBorderSolid, dark);
            back.DrawBorder(inner, kBorderSolid, light);
        }
        if (Layered()) {
            DrawShadow(back);
        } else {
            ApplyWindowRegion();
        }
    }
    CopyRect(*m_background_cache, back, whole);
}

void ExHostWindow::PaintFrameAndImage(ExCanvas& canvas) {
    const RectF whole = WholeOf(canvas);
    const ExImage* image = BackgroundImage();
    if (m_frame_style == 1) {
        if (image != nullptr) {
            if (m_nine_grid.IsEmpty()) {
                canvas.DrawImage(*image, whole);
            } else {
                canvas.DrawImageNineGrid(*image, whole, m_nine_grid);
            }
        }
        return;
    }
    const RectF shape = OffsetRect(whole, 6, 6, -12, -12);
    canvas.SetClipPath(RoundRectPath(shape, m_frame_style == 0 ? 0 : 4));
    // Without a colour the frame is white, as an absent colour always was.
    const int32_t colour = m_background_colour == -1 ? 0xFFFFFF : m_background_colour;
    const int alpha = (Layered() && image == nullptr) ? m_layered_alpha : 255;
    canvas.FillRect(whole, ColourArgb(colour, alpha));
    if (image != nullptr) {
        switch (m_image_mode) {
            case 1:
                canvas.DrawImage(*image, whole);
                break;
            case 2: {
                canvas.DrawImageNatural(*image, whole, true);
                if (m_image_frame) {
                    const float left = std::floor((whole.width - float(image->Width())) / 2);
                    const float top = std::floor((whole.height - float(image->Height())) / 2);
                    canvas.DrawBorder(RectF{left - 1, top - 1, float(image->Width()) + 2,
                                            float(image->Height()) + 2},
                                      kBorderSolid, ArgbOf(102, 0, 0, 0));
                }
                break;
            }
            default:
                canvas.DrawImageNatural(*image, whole, false);
                break;
        }
    }
    if (Layered() && m_layered_alpha < 255) {
        std::unique_ptr<ExCanvas> copy = canvas.Clone();
        canvas.ResetClip();
        canvas.Clear(0);
        if (copy != nullptr) canvas.DrawImageAlpha(*copy, whole, m_layered_alpha);
    }
}

void ExHostWindow::DrawShadow(ExCanvas& canvas) {
    constexpr int kAlphas[] = {45, 25, 10, 5};
    constexpr float kRounded[] = {10, 12, 15, 18};
    constexpr float kSquare[] = {1, 4, 7, 11};
    const bool rounded = m_frame_style != 0;
    for (int ring = 0; ring < 4; ++ring) {
        const auto out = float(ring);
        const RectF rect{5 - out, 5 - out, float(m_width) - 10 + 2 * out,
                         float(m_height) - 10 + 2 * out};
        canvas.DrawRoundRect(rect, rounded ? kRounded[ring] : kSquare[ring],
                             ColourArgb(m_shadow_colour, kAlphas[ring]));
    }
}

void ExHostWindow::ApplyWindowRegion() {
    const int inset = plat::IsZoomed(m_window) ? 5 : 6;
    plat::HRGN region =
        m_frame_style == 0
            ? plat::CreateRectRgn(inset, inset, m_width - inset, m_height - inset)
            : plat::CreateRoundRectRgn(inset, inset, m_width - inset, m_height - inset, 5, 5);
    if (region != nullptr) plat::SetWindowRgn(m_window, region, 1);
}


// ---------------------------------------------------------------------------
// Layout, focus, tooltips, hotkeys

void ExHostWindow::LayoutCaption() {
    float x = float(m_width) - 5;
    if (m_flags & kFlagClose) x -= 12;
    for (const auto& button : m_caption_buttons) {
        x -= kCaptionStep;
        button->Move(x, kCaptionTop);
    }
    if ((m_flags & kFlagTitle) && m_title_label != nullptr &&
        m_title_label->GetHandle() != ControlHandle::None) {
        const float left = (m_flags & kFlagIcon) ? 29.0f : 11.0f;
        m_title_label->Move(left, kTitleTop, std::max(0.0f, x - left), kTitleHeight);
        if (m_title_label != nullptr) m_title_label->PaintNow();
    }
}

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

// ---------------------------------------------------------------------------
// Keyboard

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

// ---------------------------------------------------------------------------
// Mouse

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
    // The pressed control shows its pressed look until it hears the mouse
    // is gone, also when the pointer had already left it.
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

void ExHostWindow::DoubleClickMaximise() {
    const plat::HWND window = m_window;
    plat::SendMessage(window, plat::WM_SYSCOMMAND,
                      plat::IsZoomed(window) ? plat::SC_RESTORE : plat::SC_MAXIMIZE, 0);
    if (!Alive(window)) return;
    plat::POINT pointer{};
    plat::GetCursorPos(&pointer);
    plat::SendMessage(window, plat::WM_NCLBUTTONDOWN, plat::HTCAPTION,
                      plat::MAKELPARAM(pointer.x, pointer.y));
}

void ExHostWindow::MouseLeaveWindow() {
    const plat::HWND window = m_window;
    m_tracking_leave = false;
    // A held press keeps the capture: its release must still reach the
    // pressed control, wherever the pointer is.
    if (!m_press_active && plat::GetCapture() == window) plat::ReleaseCapture();
    const ControlHandle hover = m_hover;
    m_hover = ControlHandle::None;
    if (hover == ControlHandle::None) return;
    DispatchToControl(hover, EX_MSG_MOUSELEAVE, 0, 0);
    if (!Alive(window)) return;
    RunControlCallback(m_on_mouse_leave, hover, 0, 0);
}

// ---------------------------------------------------------------------------
// Timers, size, destruction

void ExHostWindow::OnTimer(uintptr_t id, intptr_t lparam) {
    if (id != m_own_handle) {
        DispatchToControl(HandleFromParam(id), plat::WM_TIMER, id, lparam);
        return;
    }
    FadeInTick();
}

void ExHostWindow::FadeInTick() {
    const plat::HWND window = m_window;
    if (m_transition == nullptr || m_back_buffer == nullptr) {
        plat::KillTimer(window, m_own_handle);
        m_transition.reset();
        m_animating = false;
        return;
    }
    if (m_fade_in_alpha < 255) {
        m_fade_in_alpha = std::min(255, m_fade_in_alpha + kAlphaStep);
        m_transition->DrawImageAlpha(*m_back_buffer, WholeOf(*m_transition), m_fade_in_alpha);
        plat::UpdateLayeredWindow(window, ViewOf(*m_transition), 255);
        return;
    }
    plat::KillTimer(window, m_own_handle);
    m_transition.reset();
    PushLayered();
    m_animating = false;
    RedrawWholeNow();
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

// ---------------------------------------------------------------------------
// Simple settings

bool ExHostWindow::Draggable(bool value) {
    m_draggable = value;
    return m_draggable;
}

int ExHostWindow::FrameStyle(int value) {
    m_frame_style = value;
    return m_frame_style;
}

int32_t ExHostWindow::ShadowColour(int32_t rgb) {
    m_shadow_colour = rgb;
    return m_shadow_colour;
}

int ExHostWindow::CloseAnimation(int type) {
    m_close_animation = type;
    return m_close_animation;
}

plat::HCURSOR ExHostWindow::DefaultCursor(plat::HCURSOR cursor) {
    m_default_cursor = cursor;
    return m_default_cursor;
}

plat::HCURSOR ExHostWindow::DefaultCursor(plat::CursorId system_cursor) {
    return DefaultCursor(plat::LoadCursor(nullptr, system_cursor));
}

// ---------------------------------------------------------------------------
// Animations

void ExHostWindow::PumpPendingMessages() {
    plat::MSG msg{};
    for (int count = 0; count < kMaxPumpedMessages; ++count) {
        if (!plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) return;
        if (msg.message == plat::WM_QUIT) {
            // Not ours to consume: the loop that runs the program ends on it.
            plat::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        plat::TranslateMessage(&msg);
        plat::DispatchMessage(&msg);
    }
}

void ExHostWindow::PushAnimationFrame(const ExCanvas& frame, int alpha) {
    plat::UpdateLayeredWindow(m_window, ViewOf(frame), static_cast<uint8_t>(std::clamp(alpha, 0, 255)));
}

namespace {

// Where the whole-window snapshot is drawn in frame `step` of `steps` of an
// animation (progress p from 0 = start to 1 = end).
RectF AnimationRect(int type, float p, float width, float height, bool closing) {
    switch (type) {
        case kAnimationSlideDown: {
            const float offset = closing ? height * p : -height * (1 - p);
            return RectF{0, offset, width, height};
        }
        case kAnimationSlideUp: {
            const float offset = closing ? -height * p : height * (1 - p);
            return RectF{0, offset, width, height};
        }
        case kAnimationCentre: {
            const float scale = std::max(0.0f, closing ? 1 - p : p);
            return RectF{width * (1 - scale) / 2, height * (1 - scale) / 2, width * scale,
                         height * scale};
        }
        default:
            return RectF{0, 0, width, height};
    }
}

}  // namespace

void ExHostWindow::RunShowAnimation(int type, int duration_ms) {
    const plat::HWND window = m_window;
    if (m_back_buffer == nullptr) return;
    ComposeRect(WholeOf(*m_back_buffer), false);
    const bool was_layered = Layered();
    const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
    if (!was_layered) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE,
                               ex_style | static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED));
    }
    m_animating = true;
    std::unique_ptr<ExCanvas> snapshot = m_back_buffer->Clone();
    std::unique_ptr<ExCanvas> frame = CreateCanvas(m_width, m_height);
    constexpr int kFrames = 15;
    const auto delay = static_cast<plat::DWORD>(std::max(0, duration_ms) / kFrames);
    bool shown = false;
    for (int step = 1; step <= kFrames && snapshot && frame; ++step) {
        const float p = float(step) / kFrames;
        frame->Clear(0);
        frame->DrawImage(*snapshot,
                         AnimationRect(type, p, float(m_width), float(m_height), false));
        PushAnimationFrame(*frame, std::min(255, kAlphaStep * step / 3));
        if (!shown) {
            plat::ShowWindow(window, plat::SW_SHOWNORMAL);
            shown = true;
        }
        PumpPendingMessages();
        if (!Alive(window)) return;
        plat::Sleep(delay);
    }
    if (!shown) plat::ShowWindow(window, plat::SW_SHOWNORMAL);
    m_animating = false;
    if (!was_layered) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE, ex_style);
    }
    RedrawWholeNow();
    if (!Alive(window)) return;
    if (!was_layered) plat::InvalidateRect(window, nullptr, 0);
}

void ExHostWindow::Show(int animation, int duration_ms) {
    if (m_window == nullptr) return;
    const plat::HWND window = m_window;
    PumpPendingMessages();
    if (!Alive(window)) return;
    if (animation != kAnimationNone) {
        RunShowAnimation(animation, duration_ms);
        return;
    }
    plat::ShowWindow(window, plat::SW_SHOWNORMAL);
}

void ExHostWindow::RunCloseAnimation() {
    struct Plan {
        int frames;
        plat::DWORD delay;
        int alpha_step;
    };
    Plan plan{};
    switch (m_close_animation) {
        case kAnimationFade:
        case kAnimationCentre:
            plan = {15, 10, 17};
            break;
        case kAnimationZoom:
            plan = {20, 10, 12};
            break;
        case kAnimationSlideDown:
        case kAnimationSlideUp:
            plan = {15, 8, 17};
            break;
        default:
            return;
    }
    if (m_back_buffer == nullptr || m_window == nullptr) return;
    const plat::HWND window = m_window;
    std::unique_ptr<ExCanvas> snapshot = m_back_buffer->Clone();
    std::unique_ptr<ExCanvas> frame = CreateCanvas(m_width, m_height);
    if (snapshot == nullptr || frame == nullptr) return;
    const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
    if (!(ex_style & static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED))) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE,
                               ex_style | static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED));
    }
    m_animating = true;
    const auto width = float(m_width);
    const auto height = float(m_height);
    for (int step = 1; step <= plan.frames; ++step) {
        frame->Clear(0);
        RectF dest;
        if (m_close_animation == kAnimationZoom) {
            const float grow = 1.5f * float(step);
            dest = RectF{-grow, -grow, width + 2 * grow, height + 2 * grow};
        } else {
            dest = AnimationRect(m_close_animation, float(step) / float(plan.frames), width, height,
                                 true);
        }
        frame->DrawImage(*snapshot, dest);
        PushAnimationFrame(*frame, 255 - plan.alpha_step * step);
        PumpPendingMessages();
        if (!Alive(window)) return;
        plat::Sleep(plan.delay);
    }
    frame->Clear(0);
    PushAnimationFrame(*frame, 0);
    m_animating = false;
    if (!m_redraw_queue.Empty() || !m_dirty_controls.empty()) RequestFrame();
}

// ---------------------------------------------------------------------------
// Native window creation and the modal loop

plat::HWND CreateHostWindow(const HostWindowOptions& options) {
    ModuleStartup();
    plat::RECT area{};
    plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0);
    const int width = options.width.value_or(0) > 0 ? *options.width : 380;
    const int height = options.height.value_or(0) > 0 ? *options.height : 250;
    const int left = options.left.value_or(area.left + (area.right - area.left - width) / 2);
    const int top = options.top.value_or(area.top + (area.bottom - area.top - height) / 2);
    const plat::DWORD style =
        options.style.value_or(plat::WS_POPUP | plat::WS_SYSMENU | plat::WS_MINIMIZEBOX |
                               plat::WS_MAXIMIZEBOX | plat::WS_CLIPCHILDREN);
    plat::HWND window = plat::CreateWindowEx(options.ex_style, options.class_name.c_str(),
                                             options.title.c_str(), style, left, top, width, height,
                                             options.parent, nullptr, plat::GetModuleHandle(nullptr),
                                             nullptr);
    if (window == nullptr) return nullptr;

    auto icon_of = [&](plat::WPARAM which, int class_index) {
        auto icon = plat::SendMessage(window, plat::WM_GETICON, which, 0);
        if (icon == 0) icon = static_cast<intptr_t>(plat::GetClassLongPtr(window, class_index));
        return icon;
    };
    const intptr_t big = icon_of(plat::ICON_BIG, plat::GCLP_HICON);
    const intptr_t small = icon_of(plat::ICON_SMALL, plat::GCLP_HICONSM);
    plat::SendMessage(window, plat::WM_SETICON, plat::ICON_BIG, big);
    plat::SendMessage(window, plat::WM_SETICON, plat::ICON_SMALL, small);

    if (options.show) {
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        plat::UpdateWindow(window);
    }
    if (options.run_modal_loop) RunModalLoop(window);
    return window;
}

namespace {

// Whether input for `target` belongs to the modal window: the window
// itself, one of its children, or a top-level window it owns (directly or
// through another owned window), such as a popup menu it opened.
bool BelongsToModal(plat::HWND modal, plat::HWND target) {
    if (target == nullptr) return false;
    if (target == modal || plat::IsChild(modal, target)) return true;
    // Owner chains are short; the bound only guards against a cycle.
    constexpr int kMaxOwnerDepth = 64;
    plat::HWND at = plat::GetAncestor(target, plat::GA_ROOT);
    for (int depth = 0; at != nullptr && depth < kMaxOwnerDepth; ++depth) {
        if (at == modal) return true;
        at = plat::GetParent(at);
    }
    return false;
}

bool IsInput(uint32_t message) {
    return (message >= plat::WM_KEYFIRST && message <= plat::WM_KEYLAST) ||
           (message >= plat::WM_MOUSEFIRST && message <= plat::WM_MOUSELAST);
}

// Disables the owner for a modal loop and enables it again when the loop
// ends, however it ends. An owner that was disabled already (an outer modal
// loop holds it) stays disabled; a destroyed owner is left alone (handles
// carry a generation, so IsWindow never mistakes a new window for it).
class OwnerDisabled {
public:
    OwnerDisabled(plat::HWND owner, plat::HWND modal) {
        if (owner == nullptr || owner == modal || !plat::IsWindow(owner)) return;
        if (plat::EnableWindow(owner, 0) != 0) return;  // was disabled already
        m_owner = owner;
    }
    ~OwnerDisabled() {
        if (m_owner != nullptr && plat::IsWindow(m_owner)) plat::EnableWindow(m_owner, 1);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    plat::HWND m_owner = nullptr;
};

}  // namespace

void RunModalLoop(plat::HWND window, plat::HWND owner) {
    const OwnerDisabled disabled(owner, window);
    plat::MSG msg{};
    while (plat::IsWindow(window)) {
        const plat::BOOL got = plat::GetMessage(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit request belongs to the program's own loop.
            plat::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) return;
        if (IsInput(msg.message) && !BelongsToModal(window, msg.hwnd)) continue;
        plat::TranslateMessage(&msg);
        plat::DispatchMessage(&msg);
    }
}

}  // namespace dui
