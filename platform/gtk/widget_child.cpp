#include "platform/gtk/widget_child.h"

#include <algorithm>

#include "platform/backend.h"
#include "platform/gtk/gtk_file_drop.h"
#include "platform/gtk/gtk_keys.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"

namespace plat::gtk {
namespace {

constexpr char kChildKey[] = "seed-native-child";
constexpr double kNeutralGrey = 0x80 / 255.0;

gboolean DrawChildSurface(GtkWidget*, cairo_t* cr, gpointer data) {
    const auto* child = static_cast<const WidgetChild*>(data);
    const SurfaceView view = WindowSurface(child->Handle());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, kNeutralGrey, kNeutralGrey, kNeutralGrey);
    cairo_paint(cr);
    if (view.data == nullptr || view.width <= 0 || view.height <= 0 ||
        view.stride < view.width * 4 || view.stride % 4 != 0) {
        return TRUE;
    }
    SurfacePtr surface(cairo_image_surface_create_for_data(const_cast<uint8_t*>(view.data),
                                                           CAIRO_FORMAT_ARGB32, view.width,
                                                           view.height, view.stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return TRUE;
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_surface(cr, surface.get(), 0, 0);
    cairo_paint(cr);
    return TRUE;
}

}  // namespace

std::unique_ptr<WidgetChild> WidgetChild::Create(HWND child, HWND top_level, GtkWidget* widget,
                                                 ChildInput input) {
    if (widget == nullptr) return nullptr;
    GtkWindowSystem* system = GtkWindowSystem::Current();
    GtkTopLevel* top = system != nullptr ? system->Find(top_level) : nullptr;
    if (top == nullptr) {
        // Nobody will own the widget: release a floating one.
        g_object_ref_sink(widget);
        g_object_unref(widget);
        return nullptr;
    }
    return std::make_unique<WidgetChild>(child, *top, widget, input);
}

WidgetChild::WidgetChild(HWND child, GtkTopLevel& top_level, GtkWidget* widget, ChildInput input)
    : m_hwnd(child), m_top_level(top_level.Handle()), m_widget(GTK_WIDGET(g_object_ref_sink(widget))),
      m_input(input) {
    g_object_set_data(G_OBJECT(widget), kChildKey, this);
    if (input == ChildInput::Own) {
        gtk_widget_add_events(widget, GDK_ENTER_NOTIFY_MASK);
        g_signal_connect(widget, "enter-notify-event", G_CALLBACK(OnEnter), this);
    } else {
        AcceptFileDrops(widget, child);
    }
    gtk_widget_set_size_request(widget, 0, 0);
    gtk_widget_set_no_show_all(widget, TRUE);   // shown when the core says so
    gtk_layout_put(GTK_LAYOUT(top_level.Layer()), widget, 0, 0);
}

WidgetChild::~WidgetChild() {
    GtkWidget* widget = m_widget.get();
    g_signal_handlers_disconnect_by_data(widget, this);
    g_object_set_data(G_OBJECT(widget), kChildKey, nullptr);
    if (GtkWidget* parent = gtk_widget_get_parent(widget)) {
        gtk_container_remove(GTK_CONTAINER(parent), widget);
    }
    gtk_widget_destroy(widget);
}

void WidgetChild::Place(const RECT& rect) {
    GtkWidget* widget = m_widget.get();
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (parent == nullptr || !GTK_IS_LAYOUT(parent)) return;
    gtk_widget_set_size_request(widget, std::max(0, rect.right - rect.left),
                                std::max(0, rect.bottom - rect.top));
    gtk_layout_move(GTK_LAYOUT(parent), widget, rect.left, rect.top);
}

void WidgetChild::SetVisible(bool visible) { gtk_widget_set_visible(m_widget.get(), visible); }

void WidgetChild::Focus() {
    GtkWindowSystem* system = GtkWindowSystem::Current();
    GtkTopLevel* top = system != nullptr ? system->Find(m_top_level) : nullptr;
    if (top != nullptr) top->FocusChildWidget(m_widget.get());
}

WidgetChild* WidgetChild::OfWidget(GtkWidget* widget) {
    for (GtkWidget* at = widget; at != nullptr; at = gtk_widget_get_parent(at)) {
        if (auto* child = static_cast<WidgetChild*>(g_object_get_data(G_OBJECT(at), kChildKey))) {
            return child;
        }
    }
    return nullptr;
}

gboolean WidgetChild::OnEnter(GtkWidget*, GdkEventCrossing* event, gpointer self) {
    // The widget keeps its own mouse input; tell the core the pointer is
    // over the child now, so the window it left gets its mouse-leave.
    const auto* child = static_cast<const WidgetChild*>(self);
    input::QueueMouseMove(child->m_top_level,
                          POINT{static_cast<int32_t>(event->x_root), static_cast<int32_t>(event->y_root)},
                          InputStateOf(event->state));
    return FALSE;
}

std::unique_ptr<NativeChild> CreateSurfaceChild(HWND child, HWND top_level) {
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_can_focus(area, TRUE);
    std::unique_ptr<WidgetChild> widget_child =
        WidgetChild::Create(child, top_level, area, ChildInput::Forward);
    if (widget_child) g_signal_connect(area, "draw", G_CALLBACK(DrawChildSurface), widget_child.get());
    return widget_child;
}

}  // namespace plat::gtk
