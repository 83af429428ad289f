#pragma once
// System cursors (IDC_*) as GDK cursors, created once per shape.

#include <map>

#include <gdk/gdk.h>

#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {

// The CSS cursor name GDK knows for an IDC_* value ("none" for 0, which
// hides the pointer; "default" for unknown values).
const char* CursorName(int cursor_id);

class CursorCache {
public:
    explicit CursorCache(GdkDisplay* display) : m_display(display) {}
    // Never null: a shape the cursor theme lacks falls back to the X core
    // cursor of the same meaning.
    GdkCursor* Get(int cursor_id);

private:
    GdkDisplay* m_display;
    std::map<int, ObjectPtr<GdkCursor>> m_cursors;
};

}  // namespace plat::gtk
