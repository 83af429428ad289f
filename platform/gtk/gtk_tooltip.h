#pragma once
// The one tooltip window of the program: a small borderless popup with a
// text label, placed below-right of the pointer and kept on the monitor.

#include <string_view>

#include <gtk/gtk.h>

#include "platform/gtk/gtk_ptr.h"
#include "platform/win_types.h"

namespace plat::gtk {

class TooltipWindow {
public:
    TooltipWindow() = default;
    ~TooltipWindow();
    TooltipWindow(const TooltipWindow&) = delete;
    TooltipWindow& operator=(const TooltipWindow&) = delete;

    // `owner` may be null. max_width 0 = one line per line of text.
    void Show(GtkWindow* owner, POINT screen, std::string_view utf8, int max_width);
    void Hide();
    bool IsVisible() const;
    // The popup, for tests and for keeping it above its owner.
    GtkWidget* Widget() const { return m_window.get(); }

private:
    void Create();

    ObjectPtr<GtkWidget> m_window;
    GtkWidget* m_label = nullptr;   // owned by m_window
};

}  // namespace plat::gtk
