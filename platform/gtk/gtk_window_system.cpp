#include "platform/gtk/gtk_window_system.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include <gdk/gdkx.h>

#include "platform/gtk/gtk_desktop.h"
#include "platform/gtk/gtk_top_level.h"

namespace plat {

std::unique_ptr<WindowSystem> CreateGtkWindowSystem() { return gtk::GtkWindowSystem::Open(); }

namespace gtk {
namespace {

// How long a clipboard owner may take to answer before the clipboard counts
// as empty.
constexpr uint32_t kClipboardLimitMs = 3000;
// PollInput handles at most this many ready sources, so a source that is
// always ready cannot keep it from returning.
constexpr int kMaxPollDispatches = 1000;

gboolean SetFlag(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

}  // namespace

std::unique_ptr<GtkWindowSystem> GtkWindowSystem::Open() {
    static bool initialised = false;
    if (!initialised) {
        gdk_set_allowed_backends("x11");
        if (!gtk_init_check(nullptr, nullptr)) {
            std::fprintf(stderr, "cannot open the X display (is DISPLAY set?)\n");
            return nullptr;
        }
        initialised = true;
    }
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        std::fprintf(stderr, "no X11 display available\n");
        return nullptr;
    }
    // Windows are placed and drawn in device pixels, as on Windows.
    gdk_x11_display_set_window_scale(display, 1);
    return std::make_unique<GtkWindowSystem>(OpenKey{}, display);
}

GtkWindowSystem::GtkWindowSystem(OpenKey, GdkDisplay* display)
    : m_display(display),
      m_composited(gdk_screen_is_composited(gdk_display_get_default_screen(display)) != FALSE),
      m_cursors(display) {}

GtkWindowSystem::~GtkWindowSystem() {
    m_windows.clear();
    m_tooltip.Hide();
    gdk_display_flush(m_display);
}

GtkWindowSystem* GtkWindowSystem::Current() {
    return dynamic_cast<GtkWindowSystem*>(CurrentWindowSystem());
}

GtkTopLevel* GtkWindowSystem::Find(HWND hwnd) const {
    auto found = m_windows.find(hwnd);
    return found == m_windows.end() ? nullptr : found->second.get();
}

uint64_t GtkWindowSystem::NowMs() { return static_cast<uint64_t>(g_get_monotonic_time() / 1000); }

void GtkWindowSystem::Sleep(uint32_t milliseconds) {
    g_usleep(static_cast<gulong>(milliseconds) * 1000);
}

void GtkWindowSystem::WaitForInput(std::optional<uint64_t> deadline_ms) {
    GMainContext* context = g_main_context_default();
    // Whatever is ready first; the core looks at the queue again afterwards.
    if (g_main_context_iteration(context, FALSE)) return;
    // That iteration may have consumed a Wake(): look before blocking.
    if (CrossThreadWorkPending()) return;
    bool deadline_passed = false;
    guint deadline_source = 0;
    if (deadline_ms) {
        const uint64_t now = NowMs();
        if (*deadline_ms <= now) return;
        const uint64_t wait = std::min<uint64_t>(*deadline_ms - now, UINT_MAX);
        deadline_source = g_timeout_add(static_cast<guint>(wait), SetFlag, &deadline_passed);
    }
    g_main_context_iteration(context, TRUE);
    if (deadline_source != 0 && !deadline_passed) g_source_remove(deadline_source);
}

void GtkWindowSystem::PollInput() {
    GMainContext* context = g_main_context_default();
    for (int i = 0; i < kMaxPollDispatches && g_main_context_iteration(context, FALSE); ++i) {
    }
}

void GtkWindowSystem::CreateTopLevel(HWND hwnd, const NativeWindowParams& params) {
    m_windows.erase(hwnd);
    m_windows.emplace(hwnd, std::make_unique<GtkTopLevel>(*this, hwnd, params));
}

void GtkWindowSystem::DestroyTopLevel(HWND hwnd) {
    if (m_grab == hwnd) ReleasePopupGrab();
    m_windows.erase(hwnd);
}

void GtkWindowSystem::SetRole(HWND hwnd, WindowRole role) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetRole(role);
}

void GtkWindowSystem::SetEnabled(HWND hwnd, bool enabled) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetEnabled(enabled);
}

bool GtkWindowSystem::GrabPopup(HWND hwnd) {
    GtkTopLevel* window = Find(hwnd);
    GtkWidget* widget = window != nullptr ? GTK_WIDGET(window->Window()) : nullptr;
    GdkWindow* gdk_window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
    GdkSeat* seat = gdk_display_get_default_seat(m_display);
    if (gdk_window == nullptr || seat == nullptr || !gtk_widget_get_visible(widget)) return false;
    // A shown window may still be on its way to the screen: the server only
    // grabs for viewable windows.
    gdk_display_sync(m_display);
    const GdkGrabStatus status = gdk_seat_grab(seat, gdk_window, GDK_SEAT_CAPABILITY_ALL, TRUE,
                                               nullptr, nullptr, nullptr, nullptr);
    if (status != GDK_GRAB_SUCCESS) {
        std::fprintf(stderr, "platform: the popup input grab was refused (GdkGrabStatus %d)\n",
                     static_cast<int>(status));
        return false;
    }
    // GTK's own grab sends the program's events for other widgets (the
    // browser's) to the popup, so they reach the core instead.
    if (m_gtk_grab != widget) {
        if (m_gtk_grab != nullptr) gtk_grab_remove(m_gtk_grab);
        gtk_grab_add(widget);
        m_gtk_grab = widget;
    }
    m_grab = hwnd;
    return true;
}

void GtkWindowSystem::ReleasePopupGrab() {
    if (m_gtk_grab != nullptr) {
        gtk_grab_remove(m_gtk_grab);
        m_gtk_grab = nullptr;
    }
    if (m_grab == nullptr) return;
    m_grab = nullptr;
    if (GdkSeat* seat = gdk_display_get_default_seat(m_display)) gdk_seat_ungrab(seat);
    gdk_display_flush(m_display);
}

void GtkWindowSystem::ForgetPopupGrab() {
    if (m_gtk_grab != nullptr) {
        gtk_grab_remove(m_gtk_grab);
        m_gtk_grab = nullptr;
    }
    m_grab = nullptr;
}

bool GtkWindowSystem::Owns(GdkWindow* window) const {
    if (window == nullptr) return false;
    GdkWindow* top = gdk_window_get_toplevel(window);
    for (const auto& [hwnd, top_level] : m_windows) {
        if (gtk_widget_get_window(GTK_WIDGET(top_level->Window())) == top) return true;
    }
    return false;
}

void GtkWindowSystem::Wake() { g_main_context_wakeup(g_main_context_default()); }

void GtkWindowSystem::ShowTopLevel(HWND hwnd, bool visible, bool activate) {
    if (GtkTopLevel* window = Find(hwnd)) window->Show(visible, activate);
}

void GtkWindowSystem::MoveTopLevel(HWND hwnd, const RECT& screen_rect) {
    if (GtkTopLevel* window = Find(hwnd)) window->Move(screen_rect);
}

void GtkWindowSystem::SetShowState(HWND hwnd, ShowState state) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetShowState(state);
}

void GtkWindowSystem::SetTitle(HWND hwnd, std::string_view utf8) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetTitle(utf8);
}

void GtkWindowSystem::SetTopMost(HWND hwnd, bool top_most) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetTopMost(top_most);
}

void GtkWindowSystem::SetShape(HWND hwnd, const std::optional<WindowShape>& shape) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetShape(shape);
}

void GtkWindowSystem::SetLayered(HWND hwnd, bool layered) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetLayered(layered);
}

void GtkWindowSystem::Activate(HWND hwnd) {
    if (GtkTopLevel* window = Find(hwnd)) window->Activate();
}

void GtkWindowSystem::PushSurface(HWND hwnd, const RECT& rect) {
    if (GtkTopLevel* window = Find(hwnd)) window->PushSurface(rect);
}

void GtkWindowSystem::PushLayered(HWND hwnd, uint8_t constant_alpha) {
    if (GtkTopLevel* window = Find(hwnd)) window->PushLayered(constant_alpha);
}

void GtkWindowSystem::Flush() {
    for (auto& [hwnd, window] : m_windows) window->ProcessUpdates();
    // A round trip: the server has drawn everything once this returns.
    gdk_display_sync(m_display);
}

void GtkWindowSystem::AwaitDrawn(HWND hwnd, uint32_t timeout_ms) {
    const uint64_t deadline = NowMs() + timeout_ms;
    for (GtkTopLevel* window = Find(hwnd); window != nullptr && window->DrawPending();
         window = Find(hwnd)) {
        if (NowMs() >= deadline) return;
        // Drawn as soon as the server has mapped the window: the frame clock
        // would hold it until its next tick, up to a frame's time later.
        if (window->PaintPushNow()) break;
        // GTK's handlers only queue input for the core: nothing of the
        // program runs here.
        WaitForInput(deadline);
    }
    // A round trip: the server has drawn it once this returns.
    gdk_display_sync(m_display);
}

void GtkWindowSystem::BeginMoveDrag(HWND hwnd, POINT screen) {
    if (GtkTopLevel* window = Find(hwnd)) window->BeginMoveDrag(screen);
}

void GtkWindowSystem::BeginResizeDrag(HWND hwnd, int wmsz_edge, POINT screen, SIZE min_track,
                                      SIZE max_track) {
    if (GtkTopLevel* window = Find(hwnd)) window->BeginResizeDrag(wmsz_edge, screen, min_track, max_track);
}

void GtkWindowSystem::SetCursorShape(HWND hwnd, int cursor_id) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetCursor(m_cursors.Get(cursor_id));
}

std::optional<POINT> GtkWindowSystem::PointerPosition() {
    GdkSeat* seat = gdk_display_get_default_seat(m_display);
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    if (pointer == nullptr) return std::nullopt;
    int x = 0;
    int y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    return POINT{x, y};
}

void GtkWindowSystem::SetClipboardUtf8(std::string_view utf8) { m_clipboard.SetText(utf8); }

std::optional<std::string> GtkWindowSystem::ClipboardUtf8() { return m_clipboard.Text(kClipboardLimitMs); }

void GtkWindowSystem::SetImeFocus(HWND hwnd, bool focused) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetImeFocus(focused);
}

void GtkWindowSystem::SetImeEnabled(HWND hwnd, bool enabled) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetImeEnabled(enabled);
}

void GtkWindowSystem::SetImeCursorRect(HWND hwnd, const RECT& rect) {
    if (GtkTopLevel* window = Find(hwnd)) window->SetImeCursorRect(rect);
}

void GtkWindowSystem::ShowTooltip(HWND owner, POINT screen, std::string_view utf8, int max_width) {
    GtkTopLevel* window = Find(owner);
    m_tooltip.Show(window != nullptr ? window->Window() : nullptr, screen, utf8, max_width);
}

void GtkWindowSystem::HideTooltip() { m_tooltip.Hide(); }

void GtkWindowSystem::Beep(UINT) { gdk_display_beep(m_display); }

void GtkWindowSystem::LaunchUri(HWND, const std::string& uri,
                                std::function<void(UriLaunchResult)> done) {
    LaunchDefaultHandler(m_display, uri, std::move(done));
}

void GtkWindowSystem::ChooseSaveFile(HWND owner, const std::string& title_utf8,
                                     const std::string& name_utf8,
                                     std::function<void(std::optional<std::string>)> done) {
    GtkTopLevel* parent = Find(owner);
    RunSaveChooser(parent != nullptr ? parent->Window() : nullptr, title_utf8, name_utf8,
                   std::move(done));
}

GdkMonitor* GtkWindowSystem::MainMonitor() const {
    GdkMonitor* monitor = gdk_display_get_primary_monitor(m_display);
    if (monitor == nullptr && gdk_display_get_n_monitors(m_display) > 0) {
        monitor = gdk_display_get_monitor(m_display, 0);
    }
    return monitor;
}

RECT GtkWindowSystem::WorkArea() {
    GdkMonitor* monitor = MainMonitor();
    if (monitor == nullptr) {
        const SIZE size = ScreenSize();
        return RECT{0, 0, size.cx, size.cy};
    }
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    return RECT{area.x, area.y, area.x + area.width, area.y + area.height};
}

SIZE GtkWindowSystem::ScreenSize() {
    GdkMonitor* monitor = MainMonitor();
    if (monitor == nullptr) return SIZE{0, 0};
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(monitor, &geometry);
    return SIZE{geometry.width, geometry.height};
}

}  // namespace gtk
}  // namespace plat
