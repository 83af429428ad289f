#pragma once
// Native child windows whose content is a GTK widget (registered with
// plat::RegisterNativeChildClass). The widget sits in the child layer of its
// top-level window at the child window's place; the layer keeps it placed,
// shown and focused as the core says.
//
//   plat::RegisterNativeChildClass(window_class, [](HWND child, HWND top) {
//       return plat::gtk::WidgetChild::Create(child, top, webkit_web_view_new(),
//                                             plat::gtk::ChildInput::Own);
//   });

#include <memory>

#include <gtk/gtk.h>

#include "platform/gtk/gtk_ptr.h"
#include "platform/native_child.h"

namespace plat::gtk {

class GtkTopLevel;

// Own: the widget handles mouse and keyboard itself (a browser); the core
// only learns where the pointer is and who has the focus.
// Forward: the widget's input becomes the child window's messages, like any
// window of the program.
enum class ChildInput { Own, Forward };

class WidgetChild : public NativeChild {
public:
    // Takes the widget (a floating reference is sunk). nullptr when the
    // GTK backend does not run or `top_level` has no native window.
    static std::unique_ptr<WidgetChild> Create(HWND child, HWND top_level, GtkWidget* widget,
                                               ChildInput input);

    WidgetChild(HWND child, GtkTopLevel& top_level, GtkWidget* widget, ChildInput input);
    ~WidgetChild() override;
    WidgetChild(const WidgetChild&) = delete;
    WidgetChild& operator=(const WidgetChild&) = delete;

    void Place(const RECT& rect_in_top_level) override;
    void SetVisible(bool visible) override;
    void Focus() override;

    HWND Handle() const { return m_hwnd; }
    GtkWidget* Widget() const { return m_widget.get(); }
    ChildInput Input() const { return m_input; }

    // The child whose widget is `widget` or contains it, or nullptr.
    static WidgetChild* OfWidget(GtkWidget* widget);

private:
    static gboolean OnEnter(GtkWidget* widget, GdkEventCrossing* event, gpointer self);

    HWND m_hwnd;
    HWND m_top_level;
    ObjectPtr<GtkWidget> m_widget;
    ChildInput m_input;
};

// Factory for native child classes the program paints and handles itself:
// the widget shows the child window's retained surface, takes the keyboard
// focus when the window gets it, and its mouse input arrives as the child
// window's messages. Fails (nullptr) without the GTK backend.
std::unique_ptr<NativeChild> CreateSurfaceChild(HWND child, HWND top_level);

}  // namespace plat::gtk
