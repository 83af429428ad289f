#include "platform/gtk/gtk_file_drop.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/file_drop.h"
#include "platform/gbk_text.h"
#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {
namespace {

using StrvPtr = std::unique_ptr<char*, util::CDeleter<g_strfreev>>;

constexpr char kUriListTarget[] = "text/uri-list";
// A list naming the most files a drop keeps, each at the longest name,
// fits well below this; anything larger is not a file list.
constexpr size_t kMaxUriListBytes = 16u << 20;

HWND WindowOf(gpointer data) { return static_cast<HWND>(data); }

bool OffersUriList(GtkWidget* widget, GdkDragContext* context) {
    return gtk_drag_dest_find_target(widget, context, nullptr) != GDK_NONE;
}

gboolean OnDragMotion(GtkWidget* widget, GdkDragContext* context, gint, gint, guint time,
                      gpointer data) {
    const bool takes = OffersUriList(widget, context) && input::TakesFileDrop(WindowOf(data));
    gdk_drag_status(context, takes ? GDK_ACTION_COPY : GdkDragAction(0), time);
    if (takes) {
        gtk_drag_highlight(widget);
    } else {
        gtk_drag_unhighlight(widget);
    }
    return TRUE;
}

void OnDragLeave(GtkWidget* widget, GdkDragContext*, guint, gpointer) {
    gtk_drag_unhighlight(widget);
}

gboolean OnDragDrop(GtkWidget* widget, GdkDragContext* context, gint, gint, guint time,
                    gpointer data) {
    const GdkAtom target = gtk_drag_dest_find_target(widget, context, nullptr);
    if (target == GDK_NONE || !input::TakesFileDrop(WindowOf(data))) {
        gtk_drag_finish(context, FALSE, FALSE, time);
        return TRUE;
    }
    gtk_drag_get_data(widget, context, target, time);
    return TRUE;
}

void OnDragDataReceived(GtkWidget*, GdkDragContext* context, gint x, gint y,
                        GtkSelectionData* selection, guint, guint time, gpointer data) {
    bool taken = false;
    const gint length = gtk_selection_data_get_length(selection);
    const guchar* bytes = gtk_selection_data_get_data(selection);
    if (bytes != nullptr && length > 0 && static_cast<size_t>(length) <= kMaxUriListBytes) {
        taken = DeliverUriList(WindowOf(data),
                               std::string_view(reinterpret_cast<const char*>(bytes),
                                                static_cast<size_t>(length)),
                               POINT{x, y});
    }
    gtk_drag_finish(context, taken, FALSE, time);
}

// The local file an URI names, as a GBK path; empty for anything else.
std::string LocalPath(const char* uri) {
    GError* error = nullptr;
    CharPtr filename(g_filename_from_uri(uri, nullptr, &error));
    if (error != nullptr) g_error_free(error);
    if (!filename) return {};
    CharPtr utf8(g_filename_to_utf8(filename.get(), -1, nullptr, nullptr, nullptr));
    if (!utf8) return {};
    return Utf8ToGbkText(utf8.get());
}

}  // namespace

void AcceptFileDrops(GtkWidget* widget, HWND hwnd) {
    static const GtkTargetEntry kTargets[] = {
        {const_cast<gchar*>(kUriListTarget), 0, 0},
    };
    // Motion and drop are answered here: the drag is refused over windows
    // that take no files, which GTK's defaults cannot know.
    gtk_drag_dest_set(widget, GtkDestDefaults(0), kTargets, G_N_ELEMENTS(kTargets),
                      GDK_ACTION_COPY);
    g_signal_connect(widget, "drag-motion", G_CALLBACK(OnDragMotion), hwnd);
    g_signal_connect(widget, "drag-leave", G_CALLBACK(OnDragLeave), hwnd);
    g_signal_connect(widget, "drag-drop", G_CALLBACK(OnDragDrop), hwnd);
    g_signal_connect(widget, "drag-data-received", G_CALLBACK(OnDragDataReceived), hwnd);
}

bool DeliverUriList(HWND hwnd, std::string_view uri_list, POINT client) {
    if (uri_list.size() > kMaxUriListBytes) return false;
    const std::string text(uri_list);   // g_uri_list_extract_uris wants a terminator
    StrvPtr uris(g_uri_list_extract_uris(text.c_str()));
    if (!uris) return false;
    std::vector<std::string> paths;
    for (char** uri = uris.get(); *uri != nullptr && paths.size() < kMaxDroppedFiles; ++uri) {
        std::string path = LocalPath(*uri);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return input::QueueFileDrop(hwnd, client, std::move(paths));
}

}  // namespace plat::gtk
