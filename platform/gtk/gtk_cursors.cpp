#include "platform/gtk/gtk_cursors.h"

#include "platform/win_types.h"

namespace plat::gtk {
namespace {

struct CursorShape {
    int id;
    const char* name;
    GdkCursorType fallback;
};

constexpr CursorShape kShapes[] = {
    {IDC_ARROW.value, "default", GDK_LEFT_PTR},
    {IDC_IBEAM.value, "text", GDK_XTERM},
    {IDC_WAIT.value, "wait", GDK_WATCH},
    {IDC_CROSS.value, "crosshair", GDK_CROSSHAIR},
    {IDC_UPARROW.value, "default", GDK_SB_UP_ARROW},
    {IDC_SIZENWSE.value, "nwse-resize", GDK_BOTTOM_RIGHT_CORNER},
    {IDC_SIZENESW.value, "nesw-resize", GDK_BOTTOM_LEFT_CORNER},
    {IDC_SIZEWE.value, "ew-resize", GDK_SB_H_DOUBLE_ARROW},
    {IDC_SIZENS.value, "ns-resize", GDK_SB_V_DOUBLE_ARROW},
    {IDC_SIZEALL.value, "move", GDK_FLEUR},
    {IDC_NO.value, "not-allowed", GDK_X_CURSOR},
    {IDC_HAND.value, "pointer", GDK_HAND2},
    {IDC_APPSTARTING.value, "progress", GDK_WATCH},
    {IDC_HELP.value, "help", GDK_QUESTION_ARROW},
    {0, "none", GDK_BLANK_CURSOR},   // SetCursor(nullptr): no pointer
};

const CursorShape& ShapeOf(int cursor_id) {
    for (const CursorShape& shape : kShapes) {
        if (shape.id == cursor_id) return shape;
    }
    return kShapes[0];
}

}  // namespace

const char* CursorName(int cursor_id) { return ShapeOf(cursor_id).name; }

GdkCursor* CursorCache::Get(int cursor_id) {
    const CursorShape& shape = ShapeOf(cursor_id);
    auto found = m_cursors.find(shape.id);
    if (found != m_cursors.end()) return found->second.get();
    GdkCursor* cursor = gdk_cursor_new_from_name(m_display, shape.name);
    if (cursor == nullptr) cursor = gdk_cursor_new_for_display(m_display, shape.fallback);
    return m_cursors.emplace(shape.id, ObjectPtr<GdkCursor>(cursor)).first->second.get();
}

}  // namespace plat::gtk
