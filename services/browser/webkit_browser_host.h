#pragma once
// The browser on WebKitGTK: a native child window of class
// kBrowserWindowClass whose widget is a WebKitWebView in the browser
// module's one ephemeral web context (see web_view_policy.h for what a page
// may and may not do).
//
// The view belongs to the window: the window layer destroys it after the
// window's WM_NCDESTROY, at which point this object lets go of it. The
// engine's signals only record and post (kEventsPendingMessage); the
// window's procedure then calls the handlers from the program's own loop.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include <webkit2/webkit2.h>

#include "platform/gtk/gtk_ptr.h"
#include "services/browser_host.h"

namespace services::browser {

inline constexpr plat::UINT kEventsPendingMessage = plat::WM_APP + 0x0B01;
// Pending events beyond this are dropped, so a page changing its title in a
// loop cannot grow the queue without bound.
inline constexpr std::size_t kMaxPendingEvents = 256;

class WebKitBrowserHost final : public BrowserHost {
public:
    WebKitBrowserHost();
    ~WebKitBrowserHost() override;  // destroys its window when it has one

    bool Create(plat::HWND parent, std::optional<std::string> address, int x, int y,
                std::optional<int> width, std::optional<int> height, std::optional<uint32_t> style,
                std::optional<uint32_t> ex_style) override;
    bool Attach(plat::HWND window, int id) override;
    bool ConnectEvents() override;
    plat::HWND Window() const override { return m_window; }
    int Id() const override { return m_id; }

    bool Navigate(std::string_view address, std::optional<std::string> target_frame,
                  std::optional<std::string> post_data, std::optional<std::string> headers) override;
    void Command(int number) override;
    std::string HomePage() const override { return m_home_page; }
    std::string HomePage(std::string address) override;
    std::string SearchPage() const override { return m_search_page; }
    std::string SearchPage(std::string address) override;

    std::string Type() override;
    bool Busy() override;
    bool Offline(std::optional<bool> value) override;
    bool Silent(std::optional<bool> value) override;
    std::string StatusText(std::optional<std::string> text) override;
    std::string Title(std::optional<std::string> text) override;
    std::string Location() override;
    BrowserReadyState ReadyState() override { return m_ready_state; }
    std::string PageSource() override;
    void WritePage(std::string_view html) override;
    void* RawInterface() override;

    // The class procedure of browser windows.
    static plat::LRESULT WindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wparam,
                                    plat::LPARAM lparam);

    // Offline state as the page policy reads it.
    bool IsOffline() const { return m_offline; }

private:
    static WebKitBrowserHost* FromWindow(plat::HWND window);
    static WebKitBrowserHost* FromSerial(uint64_t serial);
    static void DeliverPending(plat::HWND window);

    void Bind(plat::HWND window, int id, WebKitWebView* view);
    void Unbind();
    void Queue(BrowserEventKind kind, std::string address, std::string text);
    bool LoadAddress(const std::string& utf8_address);
    void RunSaveAsDialog();
    void RunPrintDialog();
    void RunPageSetupDialog();
    GtkWindow* TopLevelWindow() const;

    static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                                 GError* error, gpointer self);
    static void OnTitleChanged(GObject* view, GParamSpec*, gpointer self);
    static void OnMouseTargetChanged(WebKitWebView* view, WebKitHitTestResult* hit, guint modifiers,
                                     gpointer self);
    static void OnWebProcessTerminated(WebKitWebView* view,
                                       WebKitWebProcessTerminationReason reason, gpointer self);
    static void OnSaveResponse(GtkDialog* dialog, gint response, gpointer serial);
    static void OnPageSetupDone(GtkPageSetup* page_setup, gpointer serial);

    uint64_t m_serial;
    plat::HWND m_window = nullptr;
    int m_id = 0;
    WebKitWebView* m_view = nullptr;  // owned by the window's widget child
    std::deque<BrowserEvent> m_pending;
    bool m_delivery_posted = false;
    BrowserReadyState m_ready_state = BrowserReadyState::Uninitialised;
    bool m_offline = false;
    bool m_silent = false;
    std::string m_status_text;  // GBK
    std::string m_home_page;
    std::string m_search_page;
    GtkWidget* m_save_dialog = nullptr;
    plat::gtk::ObjectPtr<GtkPageSetup> m_page_setup;
    plat::gtk::ObjectPtr<GtkPrintSettings> m_print_settings;
};

}  // namespace services::browser
