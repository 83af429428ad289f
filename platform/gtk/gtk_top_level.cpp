#include "platform/gtk/gtk_top_level.h"

#include <algorithm>
#include <cmath>

#include <gdk/gdkx.h>

#include "platform/gtk/gtk_keys.h"
#include "platform/gtk/gtk_shape.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/gtk/widget_child.h"

namespace plat::gtk {
namespace {

// X limits window sizes to 16 bits.
constexpr int kMaxNativeDimension = 32767;
// Configure requests remembered while the server has not confirmed them.
constexpr size_t kMaxRequestedGeometries = 16;
// Window titles are one line of text.
constexpr size_t kMaxTitleBytes = 1024;
// Pixels of an opaque window that the program left (partly) transparent
// are shown over this grey instead of over black.
constexpr double kNeutralGrey = 0x80 / 255.0;
// Without a compositor a layered window shows the pixels at least this
// opaque (after the constant alpha) and cuts the rest away.
constexpr int kShapeAlphaThreshold = 128;

constexpr GdkEventMask kEventMask = GdkEventMask(
    GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
    GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
    GDK_FOCUS_CHANGE_MASK | GDK_STRUCTURE_MASK);

constexpr guint kButtonMasks = GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK;

POINT ScreenPoint(double x_root, double y_root) {
    return POINT{static_cast<int32_t>(std::floor(x_root)), static_cast<int32_t>(std::floor(y_root))};
}

std::string ValidText(std::string_view utf8, size_t max_bytes) {
    CharPtr valid(g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size())));
    std::string text(valid.get());
    if (text.size() > max_bytes) {
        const char* end = g_utf8_find_prev_char(text.c_str(), text.c_str() + max_bytes + 1);
        text.resize(end != nullptr ? static_cast<size_t>(end - text.c_str()) : 0);
    }
    return text;
}

GdkWindowEdge EdgeOf(int wmsz_edge) {
    switch (wmsz_edge) {
        case WMSZ_LEFT: return GDK_WINDOW_EDGE_WEST;
        case WMSZ_RIGHT: return GDK_WINDOW_EDGE_EAST;
        case WMSZ_TOP: return GDK_WINDOW_EDGE_NORTH;
        case WMSZ_TOPLEFT: return GDK_WINDOW_EDGE_NORTH_WEST;
        case WMSZ_TOPRIGHT: return GDK_WINDOW_EDGE_NORTH_EAST;
        case WMSZ_BOTTOM: return GDK_WINDOW_EDGE_SOUTH;
        case WMSZ_BOTTOMLEFT: return GDK_WINDOW_EDGE_SOUTH_WEST;
        default: return GDK_WINDOW_EDGE_SOUTH_EAST;
    }
}

bool SameRegion(const RegionPtr& a, const RegionPtr& b) {
    if (!a || !b) return !a && !b;
    return cairo_region_equal(a.get(), b.get()) != FALSE;
}

// Whether the left button is down right now (a drag started after the
// button went up would hold the pointer until the next click).
bool LeftButtonDown(GdkWindow* window) {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(window));
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    if (pointer == nullptr) return false;
    GdkModifierType mask = GdkModifierType(0);
    gdk_window_get_device_position(window, pointer, nullptr, nullptr, &mask);
    return (mask & GDK_BUTTON1_MASK) != 0;
}

bool IsPopupKind(WindowRole role) {
    return role == WindowRole::PopupMenu || role == WindowRole::Tooltip;
}

}  // namespace

GtkTopLevel::GtkTopLevel(GtkWindowSystem& system, HWND hwnd, const NativeWindowParams& params)
    : m_system(system),
      m_hwnd(hwnd),
      m_params(params),
      m_layered((params.ex_style & WS_EX_LAYERED) != 0),
      m_top_most((params.ex_style & WS_EX_TOPMOST) != 0) {
    Build();
}

GtkTopLevel::~GtkTopLevel() { Teardown(); }

void GtkTopLevel::Teardown() {
    g_signal_handlers_disconnect_by_data(m_window.get(), this);
    g_signal_handlers_disconnect_by_data(m_ime.get(), this);
    gtk_im_context_focus_out(m_ime.get());
    gtk_im_context_set_client_window(m_ime.get(), nullptr);
    gtk_widget_destroy(m_window.get());
    m_window.reset();
    m_ime.reset();
    m_layer = nullptr;
}

void GtkTopLevel::SetRole(WindowRole role) {
    if (role == m_params.role) return;
    const bool new_kind = IsPopupKind(role) != IsPopupKind(m_params.role);
    m_params.role = role;
    // GTK fixes a window's kind when it is made: a popup needs a new native
    // window. That is only possible while nothing shows and nothing lives
    // in the child layer; otherwise the window keeps its kind.
    GList* children = gtk_container_get_children(GTK_CONTAINER(m_layer));
    const bool rebuildable = children == nullptr && !gtk_widget_get_visible(m_window.get());
    g_list_free(children);
    if (new_kind && rebuildable) {
        m_params.rect = m_known;
        m_params.title = gtk_window_get_title(Window()) != nullptr ? gtk_window_get_title(Window()) : "";
        Teardown();
        m_requested.clear();
        m_known = RECT{};
        m_applied_shape.reset();
        m_applied_input.reset();
        m_mapped = false;
        m_active = false;
        m_keys_down.clear();
        Build();
        return;
    }
    ApplyRole();
}

void GtkTopLevel::ApplyRole() {
    GtkWindow* window = Window();
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    switch (m_params.role) {
        case WindowRole::Normal:
            gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
            if (gdk_window != nullptr) gdk_window_set_modal_hint(gdk_window, FALSE);
            break;
        case WindowRole::Dialog:
            gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
            // The hint alone: a GTK modal grab would block every window of
            // the program, while a dialog blocks only its disabled owner.
            if (gdk_window != nullptr) gdk_window_set_modal_hint(gdk_window, TRUE);
            break;
        case WindowRole::PopupMenu:
            gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_POPUP_MENU);
            break;
        case WindowRole::Tooltip:
            gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_TOOLTIP);
            break;
    }
    if (IsPopupKind(m_params.role)) gtk_window_set_accept_focus(window, FALSE);
}

bool GtkTopLevel::ShowsAlpha() const { return m_layered || IsPopupKind(m_params.role); }

void GtkTopLevel::SetEnabled(bool enabled) {
    m_enabled = enabled;
    // An insensitive layer passes no input to the widgets of native children.
    gtk_widget_set_sensitive(m_layer, enabled);
}

void GtkTopLevel::Build() {
    const NativeWindowParams& params = m_params;
    GtkWidget* widget = gtk_window_new(IsPopupKind(params.role) ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
    m_window.reset(GTK_WIDGET(g_object_ref(widget)));
    GtkWindow* window = GTK_WINDOW(widget);
    gtk_window_set_decorated(window, FALSE);
    m_rgba = false;
    gtk_widget_set_app_paintable(widget, TRUE);
    if (m_system.Composited()) {
        if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(widget))) {
            gtk_widget_set_visual(widget, visual);
            m_rgba = true;
        }
    }
    if (m_top_most) gtk_window_set_keep_above(window, TRUE);
    if (params.ex_style & WS_EX_TOOLWINDOW) {
        gtk_window_set_skip_taskbar_hint(window, TRUE);
        gtk_window_set_skip_pager_hint(window, TRUE);
    }
    if (params.ex_style & WS_EX_NOACTIVATE) gtk_window_set_accept_focus(window, FALSE);
    if (GtkTopLevel* owner = m_system.Find(params.owner)) {
        gtk_window_set_transient_for(window, owner->Window());
    }
    SetTitle(params.title);

    gtk_widget_add_events(widget, kEventMask);
    m_layer = gtk_layout_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(widget), m_layer);
    gtk_widget_show(m_layer);

    g_signal_connect(widget, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(widget, "button-press-event", G_CALLBACK(OnButton), this);
    g_signal_connect(widget, "button-release-event", G_CALLBACK(OnButton), this);
    g_signal_connect(widget, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(widget, "scroll-event", G_CALLBACK(OnScroll), this);
    g_signal_connect(widget, "leave-notify-event", G_CALLBACK(OnLeave), this);
    g_signal_connect(widget, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(widget, "key-release-event", G_CALLBACK(OnKey), this);
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusChange), this);
    g_signal_connect(widget, "focus-out-event", G_CALLBACK(OnFocusChange), this);
    g_signal_connect(widget, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(widget, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(widget, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(widget, "map-event", G_CALLBACK(OnMap), this);
    g_signal_connect(widget, "unmap-event", G_CALLBACK(OnUnmap), this);
    g_signal_connect(widget, "set-focus", G_CALLBACK(OnSetFocus), this);
    g_signal_connect(widget, "grab-broken-event", G_CALLBACK(OnGrabBroken), this);

    m_ime.reset(gtk_im_multicontext_new());
    // Compositions show in the input method's own window: the program has
    // no pre-edit display.
    gtk_im_context_set_use_preedit(m_ime.get(), FALSE);
    g_signal_connect(m_ime.get(), "commit", G_CALLBACK(OnCommit), this);

    Move(params.rect);
    gtk_widget_realize(widget);
    gtk_im_context_set_client_window(m_ime.get(), gtk_widget_get_window(widget));
    ApplyRole();
    if (!m_enabled) gtk_widget_set_sensitive(m_layer, FALSE);
    if (m_rgba && m_constant_alpha != 255) gtk_widget_set_opacity(widget, m_constant_alpha / 255.0);
    UpdateShape();
}

void GtkTopLevel::Show(bool visible, bool activate) {
    GtkWindow* window = Window();
    if (!visible) {
        m_activate_on_map = false;
        gtk_widget_hide(m_window.get());
        return;
    }
    if (IsPopupKind(m_params.role)) activate = false;
    gtk_window_set_focus_on_map(window, activate);
    gtk_widget_show(m_window.get());
    if (activate) Activate();
}

void GtkTopLevel::Move(const RECT& screen_rect) {
    const int width = std::clamp(screen_rect.right - screen_rect.left, 1, kMaxNativeDimension);
    const int height = std::clamp(screen_rect.bottom - screen_rect.top, 1, kMaxNativeDimension);
    const RECT wanted{screen_rect.left, screen_rect.top, screen_rect.left + width,
                      screen_rect.top + height};
    ClearDragHints();
    if (wanted == m_known) return;
    const bool resized = wanted.right - wanted.left != m_known.right - m_known.left ||
                         wanted.bottom - wanted.top != m_known.bottom - m_known.top;
    m_known = wanted;
    m_requested.push_back(wanted);
    if (m_requested.size() > kMaxRequestedGeometries) m_requested.pop_front();

    GtkWindow* window = Window();
    gtk_window_move(window, wanted.left, wanted.top);
    gtk_window_resize(window, width, height);
    if (!gtk_widget_get_realized(m_window.get())) gtk_window_set_default_size(window, width, height);
    // Apply now rather than at the next frame, so a flush shows the window
    // at its new size.
    if (gtk_widget_get_visible(m_window.get())) gtk_container_check_resize(GTK_CONTAINER(window));
    if (resized && m_shape) UpdateShape();
}

void GtkTopLevel::SetShowState(ShowState state) {
    if (state == m_state) return;
    GtkWindow* window = Window();
    if (state == ShowState::Minimised) {
        m_state_before_minimise = m_state;
        m_state = state;
        gtk_window_iconify(window);
        return;
    }
    const bool was_minimised = m_state == ShowState::Minimised;
    m_state = state;
    // The core placed a maximised window itself (its own maximised
    // rectangle); the system only learns that the window is back.
    if (was_minimised) gtk_window_deiconify(window);
}

void GtkTopLevel::SetTitle(std::string_view utf8) {
    gtk_window_set_title(Window(), ValidText(utf8, kMaxTitleBytes).c_str());
}

void GtkTopLevel::SetTopMost(bool top_most) {
    m_top_most = top_most;
    gtk_window_set_keep_above(Window(), top_most);
}

void GtkTopLevel::SetShape(const std::optional<WindowShape>& shape) {
    m_shape = shape;
    UpdateShape();
    PushSurface(RECT{0, 0, m_known.right - m_known.left, m_known.bottom - m_known.top});
}

void GtkTopLevel::SetLayered(bool layered) {
    if (layered == m_layered) return;
    m_layered = layered;
    if (!layered && m_rgba) gtk_widget_set_opacity(m_window.get(), 1.0);
    UpdateShape();
    PushSurface(RECT{0, 0, m_known.right - m_known.left, m_known.bottom - m_known.top});
}

void GtkTopLevel::Activate() {
    // The window manager neither focuses nor raises popups; their keys
    // come through the popup grab.
    if (IsPopupKind(m_params.role)) return;
    if (!m_mapped) {
        m_activate_on_map = true;
        return;
    }
    FocusNow();
}

void GtkTopLevel::FocusNow() {
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    if (gdk_window == nullptr) return;
    // Window managers refuse focus requests without a recent timestamp.
    gtk_window_present_with_time(Window(), gdk_x11_get_server_time(gdk_window));
}

void GtkTopLevel::PushSurface(const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    m_draw_pending = true;
    gtk_widget_queue_draw_area(m_window.get(), rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top);
}

void GtkTopLevel::PushLayered(uint8_t constant_alpha) {
    if (m_rgba && constant_alpha != m_constant_alpha) {
        gtk_widget_set_opacity(m_window.get(), constant_alpha / 255.0);
    }
    m_constant_alpha = constant_alpha;
    UpdateShape();
    m_draw_pending = true;
    gtk_widget_queue_draw(m_window.get());
}

void GtkTopLevel::ProcessUpdates() {
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    if (gdk_window == nullptr || !gtk_widget_get_mapped(m_window.get())) return;
    // Deprecated in favour of the frame clock, which paints at the next
    // frame; a flush must paint before the program blocks, so paint now.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_window_process_updates(gdk_window, TRUE);
#pragma GCC diagnostic pop
}

void GtkTopLevel::UpdateShape() {
    const int width = m_known.right - m_known.left;
    const int height = m_known.bottom - m_known.top;
    RegionPtr bounding;
    RegionPtr input;
    if (m_shape) bounding = RegionFromShape(*m_shape, width, height);
    if (ShowsAlpha()) {
        const SurfaceView surface = WindowSurface(m_hwnd);
        if (m_rgba) {
            // The compositor shows the alpha; clicks on fully transparent
            // pixels fall through, as on Windows.
            input = RegionFromAlpha(surface, m_constant_alpha, 1);
            if (bounding) cairo_region_intersect(input.get(), bounding.get());
        } else {
            RegionPtr visible = RegionFromAlpha(surface, m_constant_alpha, kShapeAlphaThreshold);
            if (bounding) cairo_region_intersect(visible.get(), bounding.get());
            bounding = std::move(visible);
        }
    }
    if (!SameRegion(bounding, m_applied_shape)) {
        gtk_widget_shape_combine_region(m_window.get(), bounding.get());
        m_applied_shape = std::move(bounding);
    }
    if (!SameRegion(input, m_applied_input)) {
        gtk_widget_input_shape_combine_region(m_window.get(), input.get());
        m_applied_input = std::move(input);
    }
}

void GtkTopLevel::BeginMoveDrag(POINT screen) {
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    if (gdk_window == nullptr || !m_mapped || !LeftButtonDown(gdk_window)) return;
    gtk_window_begin_move_drag(Window(), 1, screen.x, screen.y, m_last_press_time);
}

void GtkTopLevel::BeginResizeDrag(int wmsz_edge, POINT screen, SIZE min_track, SIZE max_track) {
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    if (gdk_window == nullptr || !m_mapped || !LeftButtonDown(gdk_window)) return;
    // The limits hold for this drag only: programmatic moves may go beyond
    // them, as on Windows.
    GdkGeometry geometry{};
    geometry.min_width = std::max(1, min_track.cx);
    geometry.min_height = std::max(1, min_track.cy);
    geometry.max_width = max_track.cx > 0 ? std::max(geometry.min_width, max_track.cx) : kMaxNativeDimension;
    geometry.max_height = max_track.cy > 0 ? std::max(geometry.min_height, max_track.cy) : kMaxNativeDimension;
    const auto hints = GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE);
    gtk_window_set_geometry_hints(Window(), nullptr, &geometry, hints);
    // GTK hands hints to the window at its next layout; the drag reads
    // them now.
    gdk_window_set_geometry_hints(gdk_window, &geometry, hints);
    m_drag_hints = true;
    gtk_window_begin_resize_drag(Window(), EdgeOf(wmsz_edge), 1, screen.x, screen.y, m_last_press_time);
}

void GtkTopLevel::ClearDragHints() {
    if (!m_drag_hints) return;
    m_drag_hints = false;
    GdkGeometry none{};
    gtk_window_set_geometry_hints(Window(), nullptr, &none, GdkWindowHints(0));
    if (GdkWindow* gdk_window = gtk_widget_get_window(m_window.get())) {
        gdk_window_set_geometry_hints(gdk_window, &none, GdkWindowHints(0));
    }
}

void GtkTopLevel::SetCursor(GdkCursor* cursor) {
    if (GdkWindow* gdk_window = gtk_widget_get_window(m_window.get())) {
        if (gdk_window_get_cursor(gdk_window) != cursor) gdk_window_set_cursor(gdk_window, cursor);
    }
}

void GtkTopLevel::SetImeFocus(bool focused) {
    m_ime_focused = focused;
    if (focused && !m_focusing_child) {
        // The program's own windows have the focus now, not a native
        // child's widget: keys must come to the window again.
        m_focusing_child = true;
        gtk_window_set_focus(Window(), nullptr);
        m_focusing_child = false;
    }
    UpdateImeFocus();
}

void GtkTopLevel::SetImeEnabled(bool enabled) {
    m_ime_enabled = enabled;
    if (!enabled) gtk_im_context_reset(m_ime.get());
    UpdateImeFocus();
}

void GtkTopLevel::SetImeCursorRect(const RECT& rect) {
    GdkRectangle area{rect.left, rect.top, std::max(0, rect.right - rect.left),
                      std::max(0, rect.bottom - rect.top)};
    gtk_im_context_set_cursor_location(m_ime.get(), &area);
}

void GtkTopLevel::FocusChildWidget(GtkWidget* widget) {
    m_focusing_child = true;
    gtk_widget_grab_focus(widget);
    m_focusing_child = false;
    UpdateImeFocus();
}

bool GtkTopLevel::ImeActive() const {
    return m_ime_focused && m_ime_enabled && m_active && !FocusOnSelfHandlingChild();
}

void GtkTopLevel::UpdateImeFocus() {
    if (ImeActive()) {
        gtk_im_context_focus_in(m_ime.get());
    } else {
        gtk_im_context_focus_out(m_ime.get());
    }
}

bool GtkTopLevel::FocusOnSelfHandlingChild() const {
    const WidgetChild* child = WidgetChild::OfWidget(gtk_window_get_focus(Window()));
    return child != nullptr && child->Input() == ChildInput::Own;
}

// The last push over the neutral ground, or clear where alpha shows.
void GtkTopLevel::PaintPush(cairo_t* cr) {
    m_draw_pending = false;
    const SurfaceView view = WindowSurface(m_hwnd);
    const bool show_alpha = m_rgba && ShowsAlpha();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (show_alpha) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
    } else {
        cairo_set_source_rgb(cr, kNeutralGrey, kNeutralGrey, kNeutralGrey);
    }
    cairo_paint(cr);
    if (view.data != nullptr && view.width > 0 && view.height > 0 && view.stride >= view.width * 4 &&
        view.stride % 4 == 0) {
        // cairo only reads a source surface; the pixels stay the core's.
        SurfacePtr surface(cairo_image_surface_create_for_data(const_cast<uint8_t*>(view.data),
                                                               CAIRO_FORMAT_ARGB32, view.width,
                                                               view.height, view.stride));
        if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) {
            cairo_set_operator(cr, show_alpha ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
            cairo_set_source_surface(cr, surface.get(), 0, 0);
            cairo_rectangle(cr, 0, 0, view.width, view.height);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);
}

bool GtkTopLevel::PaintPushNow() {
    GdkWindow* gdk_window = gtk_widget_get_window(m_window.get());
    if (!m_mapped || gdk_window == nullptr) return false;
    const cairo_rectangle_int_t bounds{0, 0, gdk_window_get_width(gdk_window),
                                       gdk_window_get_height(gdk_window)};
    cairo_region_t* whole = cairo_region_create_rectangle(&bounds);
    GdkDrawingContext* drawing = gdk_window_begin_draw_frame(gdk_window, whole);
    PaintPush(gdk_drawing_context_get_cairo_context(drawing));
    gdk_window_end_draw_frame(gdk_window, drawing);
    cairo_region_destroy(whole);
    return true;
}

// --- GTK signal handlers: each only queues input for the core ---

gboolean GtkTopLevel::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    static_cast<GtkTopLevel*>(self)->PaintPush(cr);
    return FALSE;   // native child widgets draw on top
}

gboolean GtkTopLevel::OnButton(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    // Double clicks are the core's to make (CS_DBLCLKS, its own timing).
    if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) return TRUE;
    MouseButton button;
    switch (event->button) {
        case 1: button = MouseButton::Left; break;
        case 2: button = MouseButton::Middle; break;
        case 3: button = MouseButton::Right; break;
        default: return FALSE;
    }
    const bool pressed = event->type == GDK_BUTTON_PRESS;
    if (pressed) top->m_last_press_time = event->time;
    input::QueueMouseButton(top->ReportedFor(event->window, event->x, event->y),
                            ScreenPoint(event->x_root, event->y_root), button, pressed,
                            InputStateOf(event->state));
    return TRUE;
}

gboolean GtkTopLevel::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    if ((event->state & kButtonMasks) == 0) top->ClearDragHints();
    input::QueueMouseMove(top->ReportedFor(event->window, event->x, event->y),
                          ScreenPoint(event->x_root, event->y_root), InputStateOf(event->state));
    return TRUE;
}

gboolean GtkTopLevel::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    int notches = 0;
    switch (event->direction) {
        case GDK_SCROLL_UP: notches = 1; break;
        case GDK_SCROLL_DOWN: notches = -1; break;
        case GDK_SCROLL_SMOOTH: {
            // Touchpads scroll in fractions of a notch; the program counts
            // whole notches, so the rest waits for the next event.
            top->m_scroll_rest -= event->delta_y;
            notches = static_cast<int>(std::trunc(top->m_scroll_rest));
            top->m_scroll_rest -= notches;
            break;
        }
        default: return FALSE;   // horizontal scrolling has no message here
    }
    if (notches != 0) {
        input::QueueMouseWheel(top->m_hwnd, ScreenPoint(event->x_root, event->y_root),
                               notches * WHEEL_DELTA, InputStateOf(event->state));
    }
    return TRUE;
}

gboolean GtkTopLevel::OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    // Into one of our own child windows is not leaving; neither is a grab
    // taking the pointer (a drag) or a held button (the implicit grab: the
    // release outside brings an ungrab crossing).
    if (event->detail == GDK_NOTIFY_INFERIOR || event->mode == GDK_CROSSING_GRAB) return FALSE;
    if (event->mode == GDK_CROSSING_NORMAL && (event->state & kButtonMasks) != 0) return FALSE;
    input::QueueMouseLeave(top->m_hwnd);
    return FALSE;
}

gboolean GtkTopLevel::OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    // A native child that handles its own keys (the browser) gets them
    // through GTK's usual propagation, except while a popup holds the grab.
    if (top->m_system.PopupGrab() == nullptr && top->FocusOnSelfHandlingChild()) return FALSE;
    top->HandleKey(*event);
    return TRUE;
}

void GtkTopLevel::HandleKey(GdkEventKey& event) {
    const bool pressed = event.type == GDK_KEY_PRESS;
    const int virtual_key = VirtualKeyFromEvent(event);
    const InputState state = InputStateOf(event.state);
    bool repeat = false;
    if (pressed) {
        repeat = !m_keys_down.insert(event.hardware_keycode).second;
    } else {
        m_keys_down.erase(event.hardware_keycode);
    }
    const std::string own_text = pressed ? KeyText(event.keyval, GdkModifierType(event.state)) : std::string();

    // A grabbing popup takes plain keys (Esc, hotkeys), not compositions.
    if (ImeActive() && m_system.PopupGrab() == nullptr) {
        m_in_filter = true;
        m_filter_commit.clear();
        const bool taken = gtk_im_context_filter_keypress(m_ime.get(), &event) != FALSE;
        m_in_filter = false;
        if (taken) {
            if (!pressed) {
                if (virtual_key != 0) input::QueueKey(m_hwnd, virtual_key, false, false, {}, state);
            } else if (!own_text.empty() && m_filter_commit == own_text) {
                // A plain key the input method passed through as its text.
                input::QueueKey(m_hwnd, virtual_key, true, repeat, own_text, state);
            } else {
                // The input method is composing: Windows reports the key as
                // VK_PROCESSKEY and delivers the result separately.
                input::QueueKey(m_hwnd, VK_PROCESSKEY, true, repeat, {}, state);
                if (!m_filter_commit.empty()) input::QueueImeCommit(m_hwnd, m_filter_commit);
            }
            m_filter_commit.clear();
            return;
        }
    }
    if (virtual_key == 0 && own_text.empty()) return;
    input::QueueKey(m_hwnd, virtual_key, pressed, repeat, own_text, state);
}

void GtkTopLevel::OnCommit(GtkIMContext*, const char* text, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    if (text == nullptr || *text == '\0') return;
    if (top->m_in_filter) {
        top->m_filter_commit += text;
        return;
    }
    input::QueueImeCommit(top->m_hwnd, text);
}

gboolean GtkTopLevel::OnFocusChange(GtkWidget*, GdkEventFocus* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    const bool active = event->in != FALSE;
    if (!active) top->m_keys_down.clear();
    if (active != top->m_active) {
        top->m_active = active;
        input::QueueActivation(top->m_hwnd, active);
    }
    top->UpdateImeFocus();
    return FALSE;
}

gboolean GtkTopLevel::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    const RECT rect{event->x, event->y, event->x + event->width, event->y + event->height};
    auto requested = std::find(top->m_requested.begin(), top->m_requested.end(), rect);
    if (requested != top->m_requested.end()) {
        // The outcome of our own request (or an older one overtaken by
        // newer ones): the core already has it.
        top->m_requested.erase(top->m_requested.begin(), requested + 1);
        return FALSE;
    }
    if (rect == top->m_known) return FALSE;
    top->m_requested.clear();
    const bool resized = rect.right - rect.left != top->m_known.right - top->m_known.left ||
                         rect.bottom - rect.top != top->m_known.bottom - top->m_known.top;
    top->m_known = rect;
    if (resized && top->m_shape) top->UpdateShape();
    input::QueueConfigure(top->m_hwnd, rect);
    return FALSE;
}

gboolean GtkTopLevel::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    const GdkWindowState relevant = GdkWindowState(GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED);
    if ((event->changed_mask & relevant) == 0) return FALSE;
    ShowState state;
    if (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) {
        state = ShowState::Minimised;
    } else if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
        // Back from the taskbar: to the state before minimising, which may
        // be the core's own maximised placement the system does not know.
        state = top->m_state == ShowState::Minimised ? top->m_state_before_minimise : top->m_state;
    } else {
        state = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) ? ShowState::Maximised
                                                                       : ShowState::Normal;
    }
    if (state == top->m_state) return FALSE;
    if (state == ShowState::Minimised) top->m_state_before_minimise = top->m_state;
    top->m_state = state;
    input::QueueShowState(top->m_hwnd, state);
    return FALSE;
}

gboolean GtkTopLevel::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    input::QueueCloseRequest(static_cast<GtkTopLevel*>(self)->m_hwnd);
    return TRUE;   // the program decides whether the window goes
}

HWND GtkTopLevel::ReportedFor(GdkWindow* event_window, double x, double y) const {
    // With the popup grab the system reports input over other programs'
    // windows for the grabbing window, at a point outside it.
    if (m_system.PopupGrab() == m_hwnd && event_window == gtk_widget_get_window(m_window.get())) {
        const int width = m_known.right - m_known.left;
        const int height = m_known.bottom - m_known.top;
        if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    }
    return m_hwnd;
}

gboolean GtkTopLevel::OnGrabBroken(GtkWidget* widget, GdkEventGrabBroken* event, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    // Not ours to report: the end of a button's implicit grab, the program
    // moving its grab to another of its windows, a grab already ended, or a
    // window being hidden (the core ends that grab itself).
    if (event->implicit || top->m_system.PopupGrab() != top->m_hwnd) return FALSE;
    if (event->grab_window != nullptr && top->m_system.Owns(event->grab_window)) return FALSE;
    if (!gtk_widget_get_visible(widget)) return FALSE;
    top->m_system.ForgetPopupGrab();
    input::QueueGrabBroken(top->m_hwnd);
    return FALSE;
}

gboolean GtkTopLevel::OnMap(GtkWidget*, GdkEvent*, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    top->m_mapped = true;
    if (top->m_activate_on_map) {
        top->m_activate_on_map = false;
        top->FocusNow();
    }
    return FALSE;
}

gboolean GtkTopLevel::OnUnmap(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<GtkTopLevel*>(self)->m_mapped = false;
    return FALSE;
}

void GtkTopLevel::OnSetFocus(GtkWindow*, GtkWidget* focus, gpointer self) {
    auto* top = static_cast<GtkTopLevel*>(self);
    if (top->m_focusing_child || focus == nullptr) return;
    // The user gave a native child's widget the focus (a click into the
    // browser): the core's focus follows.
    if (const WidgetChild* child = WidgetChild::OfWidget(focus)) input::QueueNativeFocus(child->Handle());
    top->UpdateImeFocus();
}

}  // namespace plat::gtk
