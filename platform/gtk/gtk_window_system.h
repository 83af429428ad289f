#pragma once
// The GTK 3 backend of the window-system layer (X11 GDK backend only:
// absolute window positions need it). See platform/backend.h for the
// contract.

#include <map>
#include <memory>

#include <gtk/gtk.h>

#include "platform/backend.h"
#include "platform/gtk/gtk_clipboard.h"
#include "platform/gtk/gtk_cursors.h"
#include "platform/gtk/gtk_tooltip.h"

namespace plat::gtk {

class GtkTopLevel;

class GtkWindowSystem final : public WindowSystem {
public:
    // Opens the display; nullptr (with the reason on stderr) when there is
    // none.
    static std::unique_ptr<GtkWindowSystem> Open();
    ~GtkWindowSystem() override;

    // The running GTK backend, or nullptr when another backend runs.
    static GtkWindowSystem* Current();

    uint64_t NowMs() override;
    void Sleep(uint32_t milliseconds) override;
    void WaitForInput(std::optional<uint64_t> deadline_ms) override;
    void PollInput() override;

    void CreateTopLevel(HWND hwnd, const NativeWindowParams& params) override;
    void DestroyTopLevel(HWND hwnd) override;
    void ShowTopLevel(HWND hwnd, bool visible, bool activate) override;
    void MoveTopLevel(HWND hwnd, const RECT& screen_rect) override;
    void SetShowState(HWND hwnd, ShowState state) override;
    void SetTitle(HWND hwnd, std::string_view utf8) override;
    void SetTopMost(HWND hwnd, bool top_most) override;
    void SetShape(HWND hwnd, const std::optional<WindowShape>& shape) override;
    void SetLayered(HWND hwnd, bool layered) override;
    void Activate(HWND hwnd) override;
    void SetRole(HWND hwnd, WindowRole role) override;
    void SetEnabled(HWND hwnd, bool enabled) override;
    bool GrabPopup(HWND hwnd) override;
    void ReleasePopupGrab() override;
    void Wake() override;

    void PushSurface(HWND hwnd, const RECT& rect) override;
    void PushLayered(HWND hwnd, uint8_t constant_alpha) override;
    void Flush() override;
    void AwaitDrawn(HWND hwnd, uint32_t timeout_ms) override;

    void BeginMoveDrag(HWND hwnd, POINT screen) override;
    void BeginResizeDrag(HWND hwnd, int wmsz_edge, POINT screen, SIZE min_track,
                         SIZE max_track) override;

    void SetCursorShape(HWND hwnd, int cursor_id) override;
    std::optional<POINT> PointerPosition() override;

    void SetClipboardUtf8(std::string_view utf8) override;
    std::optional<std::string> ClipboardUtf8() override;

    void SetImeFocus(HWND hwnd, bool focused) override;
    void SetImeEnabled(HWND hwnd, bool enabled) override;
    void SetImeCursorRect(HWND hwnd, const RECT& rect) override;

    void ShowTooltip(HWND owner, POINT screen, std::string_view utf8, int max_width) override;
    void HideTooltip() override;

    void Beep(UINT type) override;
    void LaunchUri(HWND owner, const std::string& uri,
                   std::function<void(UriLaunchResult)> done) override;
    void ChooseSaveFile(HWND owner, const std::string& title_utf8, const std::string& name_utf8,
                        std::function<void(std::optional<std::string>)> done) override;
    RECT WorkArea() override;
    SIZE ScreenSize() override;

    // The native window of a top-level HWND, or nullptr.
    GtkTopLevel* Find(HWND hwnd) const;
    // Whether the screen had a compositor when the backend started: windows
    // then get RGBA visuals and show alpha; otherwise alpha becomes shapes.
    bool Composited() const { return m_composited; }
    GdkDisplay* Display() const { return m_display; }
    TooltipWindow& Tooltip() { return m_tooltip; }
    // The window holding the popup grab, or nullptr.
    HWND PopupGrab() const { return m_grab; }
    // The system broke the grab: it is no longer held.
    void ForgetPopupGrab();
    // Whether `window` is (inside) a native window of the program.
    bool Owns(GdkWindow* window) const;

private:
    // Only Open() makes one (after GTK is initialised).
    struct OpenKey {
        explicit OpenKey() = default;
    };

public:
    GtkWindowSystem(OpenKey, GdkDisplay* display);

private:
    GdkMonitor* MainMonitor() const;

    GdkDisplay* m_display;
    bool m_composited;
    std::map<HWND, std::unique_ptr<GtkTopLevel>> m_windows;
    HWND m_grab = nullptr;
    GtkWidget* m_gtk_grab = nullptr;   // the widget holding GTK's own grab
    CursorCache m_cursors;
    TooltipWindow m_tooltip;
    ClipboardAccess m_clipboard;
};

}  // namespace plat::gtk
