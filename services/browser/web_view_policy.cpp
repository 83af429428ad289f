#include "services/browser/web_view_policy.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/gtk/gtk_ptr.h"

namespace services::browser {
namespace {

constexpr char kOfflineKey[] = "seed-browser-offline";

void Log(const char* what, const char* detail) {
    if (std::getenv("SEED_DEBUG") != nullptr) std::fprintf(stderr, "browser: %s %s\n", what, detail);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (g_ascii_tolower(text[i]) != prefix[i]) return false;
    }
    return true;
}

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
    Log("download refused:", webkit_uri_request_get_uri(webkit_download_get_request(download)));
    webkit_download_cancel(download);
}

WebKitWebContext* Context() {
    // Kept for the life of the process: the module is never unloaded, and
    // a second player reuses the running web process.
    static WebKitWebContext* context = [] {
        WebKitWebContext* created = webkit_web_context_new_ephemeral();
        WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(created);
        webkit_website_data_manager_set_tls_errors_policy(data, WEBKIT_TLS_ERRORS_POLICY_FAIL);
        webkit_cookie_manager_set_accept_policy(webkit_website_data_manager_get_cookie_manager(data),
                                                WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
        webkit_web_context_set_spell_checking_enabled(created, FALSE);
        g_signal_connect(created, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
        return created;
    }();
    return context;
}

WebKitSettings* LockedDownSettings() {
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_enable_javascript(settings, TRUE);
    webkit_settings_set_enable_mediasource(settings, TRUE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_javascript_can_access_clipboard(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
    webkit_settings_set_allow_top_navigation_to_data_urls(settings, FALSE);
    webkit_settings_set_enable_media_stream(settings, FALSE);
    webkit_settings_set_enable_webrtc(settings, FALSE);
    webkit_settings_set_enable_encrypted_media(settings, FALSE);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
    webkit_settings_set_allow_modal_dialogs(settings, FALSE);
    // Hyperlink auditing is always off in this engine (its setting is gone);
    // DNS prefetching still has a switch, though a deprecated one.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    webkit_settings_set_enable_dns_prefetching(settings, FALSE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return settings;
}

gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer) {
    switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
        auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(navigation);
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        const bool offline = g_object_get_data(G_OBJECT(view), kOfflineKey) != nullptr;
        if (!IsAllowedAddress(uri) || (offline && IsNetworkAddress(uri))) {
            Log("navigation refused:", uri != nullptr ? uri : "(none)");
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
        webkit_policy_decision_ignore(decision);
        return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        // What the view cannot show would become a download.
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_mime_type_supported(response)) {
            Log("response not shown:",
                webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(response)));
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    }
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

gboolean OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
    webkit_permission_request_deny(request);
    return TRUE;
}

gboolean OnRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) {
    webkit_authentication_request_cancel(request);
    return TRUE;
}

gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
    // Nothing is shown. A confirm answers "no", a prompt gives null, and a
    // before-unload question lets the user leave: the player must be able
    // to navigate away to stop playing.
    if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    }
    return TRUE;
}

GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) { return nullptr; }

gboolean OnEnterFullScreen(WebKitWebView*, gpointer) { return TRUE; }

gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                       gpointer) {
    GList* items = webkit_context_menu_get_items(menu);
    for (GList* at = items; at != nullptr;) {
        auto* item = static_cast<WebKitContextMenuItem*>(at->data);
        at = at->next;
        switch (webkit_context_menu_item_get_stock_action(item)) {
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW:
        case WEBKIT_CONTEXT_MENU_ACTION_ENTER_VIDEO_FULLSCREEN:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_VIDEO_TO_DISK:
        case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK:
            webkit_context_menu_remove(menu, item);
            break;
        default:
            break;
        }
    }
    return FALSE;
}

// A view that is never shown and holds on to one page process: every view
// is related to it and so shares that process, which is already running
// when a second player opens. Started with the first view of the program.
WebKitWebView* ProcessAnchor() {
    static WebKitWebView* anchor = [] {
        plat::gtk::ObjectPtr<WebKitSettings> settings(LockedDownSettings());
        auto* view = WEBKIT_WEB_VIEW(g_object_ref_sink(g_object_new(
            WEBKIT_TYPE_WEB_VIEW, "web-context", Context(), "settings", settings.get(), nullptr)));
        webkit_web_view_load_uri(view, "about:blank");
        return view;
    }();
    return anchor;
}

}  // namespace

bool IsNetworkAddress(const char* uri) {
    if (uri == nullptr) return false;
    const std::string_view text(uri);
    return StartsWithNoCase(text, "http:") || StartsWithNoCase(text, "https:");
}

bool IsAllowedAddress(const char* uri) {
    if (uri == nullptr) return false;
    const std::string_view text(uri);
    if (IsNetworkAddress(uri)) return true;
    // about:blank and about:srcdoc, each possibly followed by a query or
    // fragment, and nothing else of the about: scheme.
    for (std::string_view page : {std::string_view("about:blank"), std::string_view("about:srcdoc")}) {
        if (StartsWithNoCase(text, page) &&
            (text.size() == page.size() || text[page.size()] == '#' || text[page.size()] == '?')) {
            return true;
        }
    }
    return false;
}

WebKitWebView* NewLockedDownView() {
    plat::gtk::ObjectPtr<WebKitSettings> settings(LockedDownSettings());
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", ProcessAnchor(),
                                              "settings", settings.get(), nullptr));
    g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), nullptr);
    g_signal_connect(view, "permission-request", G_CALLBACK(OnPermissionRequest), nullptr);
    g_signal_connect(view, "run-file-chooser", G_CALLBACK(OnRunFileChooser), nullptr);
    g_signal_connect(view, "authenticate", G_CALLBACK(OnAuthenticate), nullptr);
    g_signal_connect(view, "script-dialog", G_CALLBACK(OnScriptDialog), nullptr);
    g_signal_connect(view, "create", G_CALLBACK(OnCreate), nullptr);
    g_signal_connect(view, "enter-fullscreen", G_CALLBACK(OnEnterFullScreen), nullptr);
    g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), nullptr);
    return view;
}

void SetViewOffline(WebKitWebView* view, bool offline) {
    g_object_set_data(G_OBJECT(view), kOfflineKey, offline ? GINT_TO_POINTER(1) : nullptr);
}

}  // namespace services::browser
