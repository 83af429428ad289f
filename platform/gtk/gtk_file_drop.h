#pragma once
// Files dragged from other programs onto a native child's widget: the
// text/uri-list target of GTK's drag and drop becomes the child window's
// WM_DROPFILES (platform/file_drop.h). Only local files count; other URIs
// in the list are skipped.

#include <string_view>

#include <gtk/gtk.h>

#include "platform/win_types.h"

namespace plat::gtk {

// Makes `widget` (the widget of child window `hwnd`) a drop target. The
// drag is refused over a window that takes no files.
void AcceptFileDrops(GtkWidget* widget, HWND hwnd);

// What a completed drop does with the dropped data: a text/uri-list body
// dropped at `client` (coordinates of `hwnd`). Whether a window took it.
bool DeliverUriList(HWND hwnd, std::string_view uri_list, POINT client);

}  // namespace plat::gtk
