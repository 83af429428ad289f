#pragma once
// One native top-level window of the GTK backend: an undecorated GtkWindow
// that shows the window's retained surface, with a layer above it for the
// widgets of native child windows, and an input-method context.
//
// GDK events become queued input (plat::input::Queue*); nothing here calls
// a window procedure, so a nested message loop can never be re-entered from
// a GTK callback.

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>

#include <gtk/gtk.h>

#include "platform/backend.h"
#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {

class GtkWindowSystem;

class GtkTopLevel {
public:
    GtkTopLevel(GtkWindowSystem& system, HWND hwnd, const NativeWindowParams& params);
    ~GtkTopLevel();
    GtkTopLevel(const GtkTopLevel&) = delete;
    GtkTopLevel& operator=(const GtkTopLevel&) = delete;

    HWND Handle() const { return m_hwnd; }
    GtkWindow* Window() const { return GTK_WINDOW(m_window.get()); }
    // The container native child widgets are placed in (a GtkLayout over
    // the whole window, client coordinates).
    GtkWidget* Layer() const { return m_layer; }
    GtkIMContext* Ime() const { return m_ime.get(); }

    void Show(bool visible, bool activate);
    void Move(const RECT& screen_rect);
    void SetShowState(ShowState state);
    void SetTitle(std::string_view utf8);
    void SetTopMost(bool top_most);
    void SetShape(const std::optional<WindowShape>& shape);
    void SetLayered(bool layered);
    void Activate();
    void SetRole(WindowRole role);
    void SetEnabled(bool enabled);

    void PushSurface(const RECT& rect);
    void PushLayered(uint8_t constant_alpha);
    // Whether something pushed is still to be drawn.
    bool DrawPending() const { return m_draw_pending; }
    // Paints every pending update now.
    void ProcessUpdates();
    // Once the server has mapped the window, draws the last push on it at
    // once instead of at the frame clock's next tick; false before.
    bool PaintPushNow();

    void BeginMoveDrag(POINT screen);
    void BeginResizeDrag(int wmsz_edge, POINT screen, SIZE min_track, SIZE max_track);
    void SetCursor(GdkCursor* cursor);

    void SetImeFocus(bool focused);
    void SetImeEnabled(bool enabled);
    void SetImeCursorRect(const RECT& rect);

    // Native children tell their top-level when they take the GTK focus
    // themselves, so it is not reported back as a user's choice.
    void FocusChildWidget(GtkWidget* widget);

private:
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
    void PaintPush(cairo_t* cr);
    static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static gboolean OnScroll(GtkWidget* widget, GdkEventScroll* event, gpointer self);
    static gboolean OnLeave(GtkWidget* widget, GdkEventCrossing* event, gpointer self);
    static gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnFocusChange(GtkWidget* widget, GdkEventFocus* event, gpointer self);
    static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
    static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnMap(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnUnmap(GtkWidget* widget, GdkEvent* event, gpointer self);
    static void OnSetFocus(GtkWindow* window, GtkWidget* focus, gpointer self);
    static void OnCommit(GtkIMContext* context, const char* text, gpointer self);
    static gboolean OnGrabBroken(GtkWidget* widget, GdkEventGrabBroken* event, gpointer self);

    // Makes the native window for m_params, and destroys it.
    void Build();
    void Teardown();
    void ApplyRole();
    // Per-pixel alpha is shown (or cut into a shape).
    bool ShowsAlpha() const;
    // The window to queue pointer input for: nullptr for input the popup
    // grab reports here from outside the program's windows.
    HWND ReportedFor(GdkWindow* event_window, double x, double y) const;

    void HandleKey(GdkEventKey& event);
    bool ImeActive() const;
    void UpdateImeFocus();
    // The GTK focus is inside a native child that takes its own keys.
    bool FocusOnSelfHandlingChild() const;
    void UpdateShape();
    void ClearDragHints();
    void FocusNow();

    GtkWindowSystem& m_system;
    HWND m_hwnd;
    NativeWindowParams m_params;    // what Build() makes; rect and title as at creation
    ObjectPtr<GtkWidget> m_window;
    GtkWidget* m_layer = nullptr;   // owned by m_window
    ObjectPtr<GtkIMContext> m_ime;
    bool m_rgba = false;            // an RGBA visual on a composited screen

    // Geometry we asked for and have not seen confirmed, oldest first: the
    // configure events they cause are not news to the core.
    std::deque<RECT> m_requested;
    RECT m_known{};                 // the geometry the core knows
    bool m_drag_hints = false;      // size limits set for a resize drag
    guint32 m_last_press_time = GDK_CURRENT_TIME;

    ShowState m_state = ShowState::Normal;           // as the core knows it
    ShowState m_state_before_minimise = ShowState::Normal;
    bool m_activate_on_map = false;
    bool m_mapped = false;
    bool m_draw_pending = false;

    std::optional<WindowShape> m_shape;
    bool m_layered = false;
    bool m_top_most = false;
    bool m_enabled = true;
    uint8_t m_constant_alpha = 255;
    RegionPtr m_applied_shape;      // the bounding shape last applied
    RegionPtr m_applied_input;      // the input shape last applied

    bool m_active = false;          // the system's keyboard focus is here
    bool m_ime_focused = false;
    bool m_ime_enabled = true;
    bool m_in_filter = false;       // inside gtk_im_context_filter_keypress
    std::string m_filter_commit;    // what the IM committed meanwhile
    std::set<guint16> m_keys_down;  // hardware keycodes, for auto-repeat
    bool m_focusing_child = false;
    double m_scroll_rest = 0.0;     // smooth-scroll remainder in notches
};

}  // namespace plat::gtk
