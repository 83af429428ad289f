#include "services/browser/webkit_browser_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/gtk/gtk_window_system.h"
#include "platform/gtk/widget_child.h"
#include "services/browser/web_view_policy.h"
#include "services/encoding.h"
#include "util/text_lines.h"

namespace services::browser {
namespace {

using plat::gtk::CharPtr;
using plat::gtk::ObjectPtr;

constexpr char kHostProperty[] = "Ex_WebBrowser_Host";
// How long PageSource waits for the page's process to answer.
constexpr guint kPageSourceTimeoutMs = 5000;

// Module state: the identifier counter and the live browsers by serial
// number, which is what asynchronous callbacks carry instead of a pointer.
struct ModuleState {
    int last_id = kFirstBrowserId - 1;
    uint64_t next_serial = 1;
    std::unordered_map<uint64_t, WebKitBrowserHost*> live;
};

ModuleState& Module() {
    static ModuleState state;
    return state;
}

void Log(const std::string& text) {
    if (std::getenv("SEED_DEBUG") != nullptr) std::fprintf(stderr, "browser: %s\n", text.c_str());
}

std::unique_ptr<plat::NativeChild> MakeViewChild(plat::HWND child, plat::HWND top_level) {
    // Without the GTK backend there is no widget tree to put a view in, and
    // GTK may not even be initialised.
    if (plat::gtk::GtkWindowSystem::Current() == nullptr) return nullptr;
    return plat::gtk::WidgetChild::Create(child, top_level, GTK_WIDGET(NewLockedDownView()),
                                          plat::gtk::ChildInput::Own);
}

// The class is registered with each window-system core that asks for it
// (tests start several cores in one process).
bool EnsureWindowClass() {
    plat::WNDCLASSEX existing;
    if (plat::GetClassInfoEx(nullptr, kBrowserWindowClass, &existing)) return true;
    plat::WNDCLASSEX window_class;
    window_class.lpfnWndProc = WebKitBrowserHost::WindowProc;
    window_class.lpszClassName = kBrowserWindowClass;
    return plat::RegisterNativeChildClass(window_class, MakeViewChild) != 0;
}

WebKitWebView* ViewOfWindow(plat::HWND window) {
    // Every window of the class has a widget child made by MakeViewChild.
    char class_name[64] = {};
    plat::GetClassName(window, class_name, sizeof class_name);
    if (g_ascii_strcasecmp(class_name, kBrowserWindowClass) != 0) return nullptr;
    auto* child = static_cast<plat::gtk::WidgetChild*>(plat::GetNativeChild(window));
    if (child == nullptr || !WEBKIT_IS_WEB_VIEW(child->Widget())) return nullptr;
    return WEBKIT_WEB_VIEW(child->Widget());
}

std::string ToGbk(const char* utf8) { return utf8 != nullptr ? Utf8ToGbk(utf8) : std::string(); }

// "Name: value" lines into the request's headers. False when a line is
// malformed (no colon, a name that is not an HTTP token, a control byte in
// the value) or the request has no HTTP headers.
bool AddHeaders(WebKitURIRequest* request, std::string_view text) {
    SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
    if (headers == nullptr) return text.find_first_not_of("\r\n") == std::string_view::npos;
    while (!text.empty()) {
        const std::string_view line = util::TakeLine(text);
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) return false;
        const std::string name(line.substr(0, colon));
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        const bool name_ok = std::all_of(name.begin(), name.end(), [](char c) {
            return g_ascii_isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        });
        const bool value_ok = std::none_of(value.begin(), value.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        });
        if (!name_ok || !value_ok) return false;
        soup_message_headers_append(headers, name.c_str(), GbkToUtf8(value).c_str());
    }
    return true;
}

// The script calls of this host. Each takes its inputs as arguments; no
// text is ever spliced into a script.
constexpr char kSourceScript[] =
    "const root = document.documentElement;"
    "if (!root) return '';"
    "const html = root.outerHTML;"
    "return html.length > limit ? html.slice(0, limit) : html;";
constexpr char kSetTitleScript[] = "document.title = title;";

struct SourceWait {
    bool done = false;
    bool abandoned = false;  // the waiter gave up; the callback frees this
    std::string utf8;
};

void OnSourceReady(GObject* view, GAsyncResult* result, gpointer data) {
    auto* wait = static_cast<SourceWait*>(data);
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (wait->abandoned) {
        if (value != nullptr) g_object_unref(value);
        if (error != nullptr) g_error_free(error);
        delete wait;
        return;
    }
    if (value != nullptr) {
        if (jsc_value_is_string(value)) {
            CharPtr text(jsc_value_to_string(value));
            wait->utf8.assign(text.get(), strnlen(text.get(), kMaxPageSourceBytes));
        }
        g_object_unref(value);
    }
    if (error != nullptr) {
        Log(std::string("page source: ") + error->message);
        g_error_free(error);
    }
    wait->done = true;
}

void OnScriptDone(GObject* view, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (value != nullptr) g_object_unref(value);
    if (error != nullptr) {
        Log(std::string("script: ") + error->message);
        g_error_free(error);
    }
}

void OnSaved(GObject* view, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    if (!webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(view), result, &error)) {
        Log(std::string("save: ") + (error != nullptr ? error->message : "failed"));
    }
    if (error != nullptr) g_error_free(error);
}

gpointer SerialData(uint64_t serial) { return reinterpret_cast<gpointer>(static_cast<uintptr_t>(serial)); }
uint64_t SerialOf(gpointer data) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data)); }

// A file name from a page title: no directory separators or control bytes,
// not empty, at most 120 bytes before the extension.
std::string SuggestedFileName(const char* title) {
    std::string name = title != nullptr ? title : "";
    for (char& c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    if (name.size() > 120) {
        name.resize(120);
        // Do not end inside a UTF-8 sequence.
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
        if (!name.empty() && (static_cast<unsigned char>(name.back()) & 0x80) != 0) name.pop_back();
    }
    if (name.empty() || name == "." || name == "..") name = "page";
    return name + ".mht";
}

}  // namespace

WebKitBrowserHost::WebKitBrowserHost() : m_serial(Module().next_serial++) {
    Module().live.emplace(m_serial, this);
}

WebKitBrowserHost::~WebKitBrowserHost() {
    Module().live.erase(m_serial);
    if (m_window != nullptr) {
        const plat::HWND window = m_window;
        Unbind();
        plat::DestroyWindow(window);
    }
}

WebKitBrowserHost* WebKitBrowserHost::FromWindow(plat::HWND window) {
    return static_cast<WebKitBrowserHost*>(plat::GetProp(window, kHostProperty));
}

WebKitBrowserHost* WebKitBrowserHost::FromSerial(uint64_t serial) {
    const auto found = Module().live.find(serial);
    return found != Module().live.end() ? found->second : nullptr;
}

bool WebKitBrowserHost::Create(plat::HWND parent, std::optional<std::string> address, int x, int y,
                               std::optional<int> width, std::optional<int> height,
                               std::optional<uint32_t> style, std::optional<uint32_t> ex_style) {
    if (m_window != nullptr) return true;
    if (!EnsureWindowClass()) return false;
    const int id = ++Module().last_id;
    const plat::DWORD window_style = plat::WS_CHILD | plat::WS_VISIBLE | plat::WS_CLIPSIBLINGS |
                                     style.value_or(0);
    const plat::HWND window = plat::CreateWindowEx(
        ex_style.value_or(kDefaultBrowserExStyle), kBrowserWindowClass, "", window_style, x, y,
        std::max(0, width.value_or(kDefaultBrowserWidth)),
        std::max(0, height.value_or(kDefaultBrowserHeight)), parent,
        reinterpret_cast<plat::HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (window == nullptr) return false;
    WebKitWebView* view = ViewOfWindow(window);
    if (view == nullptr) {
        plat::DestroyWindow(window);
        return false;
    }
    Bind(window, id, view);
    if (address.has_value()) Navigate(*address, std::nullopt, std::nullopt, std::nullopt);
    return true;
}

bool WebKitBrowserHost::Attach(plat::HWND window, int id) {
    WebKitWebView* view = ViewOfWindow(window);
    if (view == nullptr) return false;
    if (window == m_window) {
        m_id = id;
        return true;
    }
    if (WebKitBrowserHost* previous = FromWindow(window)) previous->Unbind();
    if (m_window != nullptr) {
        const plat::HWND old = m_window;
        Unbind();
        plat::DestroyWindow(old);
    }
    Bind(window, id, view);
    return true;
}

bool WebKitBrowserHost::ConnectEvents() { return m_view != nullptr; }

void WebKitBrowserHost::Bind(plat::HWND window, int id, WebKitWebView* view) {
    m_window = window;
    m_id = id;
    m_view = view;
    m_ready_state = webkit_web_view_get_uri(view) != nullptr ? BrowserReadyState::Complete
                                                             : BrowserReadyState::Uninitialised;
    plat::SetProp(window, kHostProperty, this);
    SetViewOffline(view, m_offline);
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(view, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(view, "mouse-target-changed", G_CALLBACK(OnMouseTargetChanged), this);
    g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
}

void WebKitBrowserHost::Unbind() {
    if (m_view != nullptr) g_signal_handlers_disconnect_by_data(m_view, this);
    if (m_window != nullptr && FromWindow(m_window) == this) plat::RemoveProp(m_window, kHostProperty);
    if (m_save_dialog != nullptr) {
        gtk_widget_destroy(m_save_dialog);
        m_save_dialog = nullptr;
    }
    m_window = nullptr;
    m_view = nullptr;
    m_pending.clear();
    m_delivery_posted = false;
    m_ready_state = BrowserReadyState::Uninitialised;
}

plat::LRESULT WebKitBrowserHost::WindowProc(plat::HWND window, plat::UINT message,
                                            plat::WPARAM wparam, plat::LPARAM lparam) {
    switch (message) {
    case kEventsPendingMessage:
        DeliverPending(window);
        return 0;
    case plat::WM_NCDESTROY:
        if (WebKitBrowserHost* host = FromWindow(window)) host->Unbind();
        break;
    default:
        break;
    }
    return plat::DefWindowProc(window, message, wparam, lparam);
}

void WebKitBrowserHost::DeliverPending(plat::HWND window) {
    if (WebKitBrowserHost* host = FromWindow(window)) host->m_delivery_posted = false;
    // A handler may destroy the browser or its window: look it up again
    // before each event.
    for (;;) {
        WebKitBrowserHost* host = FromWindow(window);
        if (host == nullptr || host->m_pending.empty()) return;
        const BrowserEvent event = std::move(host->m_pending.front());
        host->m_pending.pop_front();
        host->Fire(event);
    }
}

void WebKitBrowserHost::Queue(BrowserEventKind kind, std::string address, std::string text) {
    if (m_window == nullptr) return;
    const bool replaces = kind == BrowserEventKind::TitleChange || kind == BrowserEventKind::StatusTextChange;
    if (replaces && !m_pending.empty() && m_pending.back().kind == kind) {
        m_pending.back().address = std::move(address);
        m_pending.back().text = std::move(text);
    } else if (m_pending.size() < kMaxPendingEvents) {
        m_pending.push_back(BrowserEvent{kind, m_id, std::move(address), std::move(text)});
    }
    if (!m_delivery_posted) {
        m_delivery_posted = plat::PostMessage(m_window, kEventsPendingMessage, 0, 0) != 0;
    }
}

void WebKitBrowserHost::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
    auto* host = static_cast<WebKitBrowserHost*>(self);
    std::string address = ToGbk(webkit_web_view_get_uri(view));
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        host->m_ready_state = BrowserReadyState::Loading;
        host->Queue(BrowserEventKind::NavigateStart, std::move(address), {});
        break;
    case WEBKIT_LOAD_REDIRECTED:
        host->m_ready_state = BrowserReadyState::Loaded;
        break;
    case WEBKIT_LOAD_COMMITTED:
        host->m_ready_state = BrowserReadyState::Interactive;
        host->Queue(BrowserEventKind::NavigateComplete, std::move(address), {});
        break;
    case WEBKIT_LOAD_FINISHED:
        host->m_ready_state = BrowserReadyState::Complete;
        host->Queue(BrowserEventKind::DocumentComplete, std::move(address), {});
        break;
    }
}

gboolean WebKitBrowserHost::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                         gpointer self) {
    auto* host = static_cast<WebKitBrowserHost*>(self);
    host->Queue(BrowserEventKind::NavigateError, ToGbk(uri),
                ToGbk(error != nullptr ? error->message : "load failed"));
    // Handled (TRUE) means the engine shows no error page of its own.
    return host->m_silent ? TRUE : FALSE;
}

void WebKitBrowserHost::OnTitleChanged(GObject* view, GParamSpec*, gpointer self) {
    auto* host = static_cast<WebKitBrowserHost*>(self);
    host->Queue(BrowserEventKind::TitleChange, ToGbk(webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view))),
                ToGbk(webkit_web_view_get_title(WEBKIT_WEB_VIEW(view))));
}

void WebKitBrowserHost::OnMouseTargetChanged(WebKitWebView* view, WebKitHitTestResult* hit, guint,
                                             gpointer self) {
    auto* host = static_cast<WebKitBrowserHost*>(self);
    std::string link;
    if (webkit_hit_test_result_context_is_link(hit)) link = ToGbk(webkit_hit_test_result_get_link_uri(hit));
    if (link == host->m_status_text) return;
    host->m_status_text = link;
    host->Queue(BrowserEventKind::StatusTextChange, ToGbk(webkit_web_view_get_uri(view)), std::move(link));
}

void WebKitBrowserHost::OnWebProcessTerminated(WebKitWebView* view,
                                               WebKitWebProcessTerminationReason reason,
                                               gpointer self) {
    // The view stays empty until the next navigation starts a new process.
    auto* host = static_cast<WebKitBrowserHost*>(self);
    host->m_ready_state = BrowserReadyState::Uninitialised;
    const char* why = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "the page used too much memory"
                      : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API ? "the page was stopped"
                                                                        : "the page's process crashed";
    Log(why);
    host->Queue(BrowserEventKind::NavigateError, ToGbk(webkit_web_view_get_uri(view)), why);
}

bool WebKitBrowserHost::Navigate(std::string_view address, std::optional<std::string> target_frame,
                                 std::optional<std::string> post_data,
                                 std::optional<std::string> headers) {
    if (m_view == nullptr || address.empty() || address.size() > kMaxAddressBytes) return false;
    // The view has no named frames of this process to aim at, and a request
    // body cannot be given to a navigation: such a request is refused rather
    // than carried out differently.
    if (target_frame.has_value() && !target_frame->empty() && *target_frame != "_self" &&
        *target_frame != "_top") {
        return false;
    }
    if (post_data.has_value() && !post_data->empty()) return false;
    const std::string utf8 = GbkToUtf8(address);
    if (m_offline && IsNetworkAddress(utf8.c_str())) return false;
    ObjectPtr<WebKitURIRequest> request(webkit_uri_request_new(utf8.c_str()));
    if (headers.has_value() && !AddHeaders(request.get(), *headers)) return false;
    webkit_web_view_load_request(m_view, request.get());
    return true;
}

bool WebKitBrowserHost::LoadAddress(const std::string& address) {
    return !address.empty() && Navigate(address, std::nullopt, std::nullopt, std::nullopt);
}

void WebKitBrowserHost::Command(int number) {
    if (m_view == nullptr) return;
    switch (BrowserCommandFromNumber(number)) {
    case BrowserCommand::GoForward: webkit_web_view_go_forward(m_view); break;
    case BrowserCommand::GoBack: webkit_web_view_go_back(m_view); break;
    case BrowserCommand::GoHome: LoadAddress(m_home_page); break;
    case BrowserCommand::GoSearch: LoadAddress(m_search_page); break;
    case BrowserCommand::Refresh: webkit_web_view_reload(m_view); break;
    case BrowserCommand::Stop: webkit_web_view_stop_loading(m_view); break;
    case BrowserCommand::SaveAs: RunSaveAsDialog(); break;
    case BrowserCommand::Print:
    case BrowserCommand::PrintPreview: RunPrintDialog(); break;
    case BrowserCommand::PageSetup: RunPageSetupDialog(); break;
    }
}

std::string WebKitBrowserHost::HomePage(std::string address) {
    m_home_page = std::move(address);
    return m_home_page;
}

std::string WebKitBrowserHost::SearchPage(std::string address) {
    m_search_page = std::move(address);
    return m_search_page;
}

GtkWindow* WebKitBrowserHost::TopLevelWindow() const {
    if (m_view == nullptr) return nullptr;
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(m_view));
    return GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
}

void WebKitBrowserHost::RunSaveAsDialog() {
    if (m_save_dialog != nullptr) {
        gtk_window_present(GTK_WINDOW(m_save_dialog));
        return;
    }
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        reinterpret_cast<const char*>(u8"另存为"), TopLevelWindow(), GTK_FILE_CHOOSER_ACTION_SAVE,
        reinterpret_cast<const char*>(u8"取消"), GTK_RESPONSE_CANCEL,
        reinterpret_cast<const char*>(u8"保存"), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog),
                                      SuggestedFileName(webkit_web_view_get_title(m_view)).c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
    g_signal_connect(dialog, "response", G_CALLBACK(OnSaveResponse), SerialData(m_serial));
    m_save_dialog = dialog;
    gtk_widget_show(dialog);
}

void WebKitBrowserHost::OnSaveResponse(GtkDialog* dialog, gint response, gpointer serial) {
    WebKitBrowserHost* host = FromSerial(SerialOf(serial));
    if (host != nullptr && host->m_save_dialog == GTK_WIDGET(dialog)) {
        host->m_save_dialog = nullptr;
        if (response == GTK_RESPONSE_ACCEPT && host->m_view != nullptr) {
            ObjectPtr<GFile> file(gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog)));
            if (file) {
                webkit_web_view_save_to_file(host->m_view, file.get(), WEBKIT_SAVE_MODE_MHTML,
                                             nullptr, OnSaved, nullptr);
            }
        }
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

void WebKitBrowserHost::RunPrintDialog() {
    // The print dialog is modal and runs until the user answers; its
    // preview button covers the print preview.
    ObjectPtr<WebKitPrintOperation> operation(webkit_print_operation_new(m_view));
    if (m_page_setup) webkit_print_operation_set_page_setup(operation.get(), m_page_setup.get());
    if (m_print_settings) webkit_print_operation_set_print_settings(operation.get(), m_print_settings.get());
    const WebKitPrintOperationResponse response =
        webkit_print_operation_run_dialog(operation.get(), TopLevelWindow());
    if (response == WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
        m_print_settings.reset(
            GTK_PRINT_SETTINGS(g_object_ref(webkit_print_operation_get_print_settings(operation.get()))));
        m_page_setup.reset(
            GTK_PAGE_SETUP(g_object_ref(webkit_print_operation_get_page_setup(operation.get()))));
    }
}

void WebKitBrowserHost::RunPageSetupDialog() {
    if (!m_print_settings) m_print_settings.reset(gtk_print_settings_new());
    gtk_print_run_page_setup_dialog_async(TopLevelWindow(), m_page_setup.get(), m_print_settings.get(),
                                          OnPageSetupDone, SerialData(m_serial));
}

void WebKitBrowserHost::OnPageSetupDone(GtkPageSetup* page_setup, gpointer serial) {
    WebKitBrowserHost* host = FromSerial(SerialOf(serial));
    if (host == nullptr || page_setup == nullptr) return;
    host->m_page_setup.reset(GTK_PAGE_SETUP(g_object_ref(page_setup)));
}

std::string WebKitBrowserHost::Type() {
    if (m_view == nullptr) return {};
    WebKitWebResource* resource = webkit_web_view_get_main_resource(m_view);
    WebKitURIResponse* response = resource != nullptr ? webkit_web_resource_get_response(resource) : nullptr;
    return response != nullptr ? ToGbk(webkit_uri_response_get_mime_type(response)) : std::string();
}

bool WebKitBrowserHost::Busy() { return m_view != nullptr && webkit_web_view_is_loading(m_view); }

bool WebKitBrowserHost::Offline(std::optional<bool> value) {
    if (value.has_value()) {
        m_offline = *value;
        if (m_view != nullptr) SetViewOffline(m_view, m_offline);
    }
    return m_offline;
}

bool WebKitBrowserHost::Silent(std::optional<bool> value) {
    if (value.has_value()) m_silent = *value;
    return m_silent;
}

std::string WebKitBrowserHost::StatusText(std::optional<std::string> text) {
    if (text.has_value()) m_status_text = std::move(*text);
    return m_status_text;
}

std::string WebKitBrowserHost::Title(std::optional<std::string> text) {
    if (m_view == nullptr) return {};
    if (!text.has_value()) return ToGbk(webkit_web_view_get_title(m_view));
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    g_variant_dict_insert(&arguments, "title", "s", GbkToUtf8(*text).c_str());
    webkit_web_view_call_async_javascript_function(m_view, kSetTitleScript, -1,
                                                   g_variant_dict_end(&arguments), nullptr, nullptr,
                                                   nullptr, OnScriptDone, nullptr);
    return *text;
}

std::string WebKitBrowserHost::Location() {
    return m_view != nullptr ? ToGbk(webkit_web_view_get_uri(m_view)) : std::string();
}

std::string WebKitBrowserHost::PageSource() {
    if (m_view == nullptr) return {};
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    // Characters, not bytes: a UTF-16 unit becomes at most three UTF-8 bytes.
    g_variant_dict_insert(&arguments, "limit", "i", static_cast<gint32>(kMaxPageSourceBytes / 3));
    auto* wait = new SourceWait;
    webkit_web_view_call_async_javascript_function(m_view, kSourceScript, -1,
                                                   g_variant_dict_end(&arguments), nullptr, nullptr,
                                                   nullptr, OnSourceReady, wait);
    // The answer comes through the GLib main loop. Running it here only
    // queues window-system input (the backend's handlers never call into the
    // program), so no window procedure runs before this call returns.
    bool timed_out = false;
    const guint timer = g_timeout_add(
        kPageSourceTimeoutMs, [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &timed_out);
    while (!wait->done && !timed_out) g_main_context_iteration(nullptr, TRUE);
    if (!timed_out) g_source_remove(timer);
    if (!wait->done) {
        wait->abandoned = true;  // freed by its callback
        Log("page source: no answer from the page");
        return {};
    }
    std::string source = Utf8ToGbk(wait->utf8);
    delete wait;
    return source;
}

void WebKitBrowserHost::WritePage(std::string_view html) {
    if (m_view == nullptr) return;
    webkit_web_view_load_html(m_view, GbkToUtf8(html).c_str(), "about:blank");
}

void* WebKitBrowserHost::RawInterface() { return m_view != nullptr ? g_object_ref(m_view) : nullptr; }

}  // namespace services::browser

extern "C" __attribute__((visibility("default"))) const services::BrowserModuleTable*
seed_browser_module() {
    static const services::BrowserModuleTable table{
        services::kBrowserModuleVersion, []() -> std::unique_ptr<services::BrowserHost> {
            return std::make_unique<services::browser::WebKitBrowserHost>();
        }};
    return &table;
}
