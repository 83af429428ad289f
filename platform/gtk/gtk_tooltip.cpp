#include "platform/gtk/gtk_tooltip.h"

#include <algorithm>
#include <string>

namespace plat::gtk {
namespace {

// A tooltip shows text, not documents: longer texts are cut here.
constexpr size_t kMaxTooltipBytes = 4096;
// The popup sits this far below-right of the pointer, clear of the arrow.
constexpr int kPointerOffsetX = 2;
constexpr int kPointerOffsetY = 20;

constexpr char kTooltipCss[] =
    "window.seed-tooltip { background-color: #ffffe1; border: 1px solid #767676; }"
    "window.seed-tooltip label { color: #000000; padding: 2px 5px; }";

// Valid UTF-8 of at most kMaxTooltipBytes, cut at a character boundary.
std::string DisplayText(std::string_view utf8) {
    CharPtr valid(g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size())));
    std::string text(valid.get());
    if (text.size() > kMaxTooltipBytes) {
        const char* end = g_utf8_find_prev_char(text.c_str(), text.c_str() + kMaxTooltipBytes + 1);
        text.resize(end != nullptr ? static_cast<size_t>(end - text.c_str()) : 0);
    }
    return text;
}

}  // namespace

TooltipWindow::~TooltipWindow() {
    if (m_window) gtk_widget_destroy(m_window.get());
}

void TooltipWindow::Create() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    m_window.reset(GTK_WIDGET(g_object_ref(window)));
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "seed-tooltip");
    ObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
    if (gtk_css_provider_load_from_data(css.get(), kTooltipCss, -1, nullptr)) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(window),
                                       GTK_STYLE_PROVIDER(css.get()),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    m_label = gtk_label_new(nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(m_label),
                                   GTK_STYLE_PROVIDER(css.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_label_set_xalign(GTK_LABEL(m_label), 0.0f);
    gtk_label_set_line_wrap_mode(GTK_LABEL(m_label), PANGO_WRAP_WORD_CHAR);
    gtk_container_add(GTK_CONTAINER(window), m_label);
    gtk_widget_show(m_label);
}

void TooltipWindow::Show(GtkWindow* owner, POINT screen, std::string_view utf8, int max_width) {
    if (!m_window) Create();
    GtkWindow* window = GTK_WINDOW(m_window.get());
    const std::string text = DisplayText(utf8);
    gtk_label_set_text(GTK_LABEL(m_label), text.c_str());

    // Wrap only when the text is wider than the limit; a narrow text keeps
    // its natural width.
    ObjectPtr<PangoLayout> layout(gtk_widget_create_pango_layout(m_label, text.c_str()));
    int text_width = 0;
    int text_height = 0;
    pango_layout_get_pixel_size(layout.get(), &text_width, &text_height);
    const bool wrap = max_width > 0 && text_width > max_width;
    gtk_label_set_line_wrap(GTK_LABEL(m_label), wrap);
    gtk_widget_set_size_request(m_label, wrap ? max_width : -1, -1);
    gtk_window_resize(window, 1, 1);   // shrink to the new text
    gtk_window_set_transient_for(window, owner);

    int width = 0;
    int height = 0;
    GtkRequisition natural{};
    gtk_widget_get_preferred_size(m_window.get(), nullptr, &natural);
    width = natural.width;
    height = natural.height;

    int x = screen.x + kPointerOffsetX;
    int y = screen.y + kPointerOffsetY;
    GdkDisplay* display = gtk_widget_get_display(m_window.get());
    if (GdkMonitor* monitor = gdk_display_get_monitor_at_point(display, screen.x, screen.y)) {
        GdkRectangle area{};
        gdk_monitor_get_workarea(monitor, &area);
        // Keep it on the monitor: flip above the pointer when there is no
        // room below, slide left when there is none to the right.
        if (y + height > area.y + area.height) y = screen.y - height - kPointerOffsetX;
        x = std::min(x, area.x + area.width - width);
        x = std::max(x, area.x);
        y = std::max(y, area.y);
    }
    gtk_window_move(window, x, y);
    gtk_widget_show(m_window.get());
}

void TooltipWindow::Hide() {
    if (m_window) gtk_widget_hide(m_window.get());
}

bool TooltipWindow::IsVisible() const {
    return m_window && gtk_widget_get_visible(m_window.get());
}

}  // namespace plat::gtk
