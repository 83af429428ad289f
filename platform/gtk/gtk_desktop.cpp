#include "platform/gtk/gtk_desktop.h"

#include <gio/gio.h>

#include <memory>
#include <utility>

#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {
namespace {

using ErrorPtr = std::unique_ptr<GError, CDeleter<g_error_free>>;

struct LaunchRequest {
    std::function<void(UriLaunchResult)> done;
};

void OnLaunched(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<LaunchRequest> request(static_cast<LaunchRequest*>(data));
    GError* raw_error = nullptr;
    if (g_app_info_launch_default_for_uri_finish(result, &raw_error)) {
        request->done({UriLaunch::Launched, {}});
        return;
    }
    const ErrorPtr error(raw_error);
    // GIO answers "not supported" when it found no program after all.
    const bool none = error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
    request->done({none ? UriLaunch::NoHandler : UriLaunch::Failed,
                   error ? error->message : "the launch failed"});
}

struct SaveRequest {
    ObjectPtr<GtkFileChooserNative> chooser;
    std::function<void(std::optional<std::string>)> done;
};

void OnSaveResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
    std::unique_ptr<SaveRequest> request(static_cast<SaveRequest*>(data));
    g_signal_handlers_disconnect_by_data(dialog, data);
    std::optional<std::string> path;
    if (response == GTK_RESPONSE_ACCEPT) {
        const CharPtr name(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (name) path = name.get();
    }
    request->done(std::move(path));
}

}  // namespace

void LaunchDefaultHandler(GdkDisplay* display, const std::string& uri,
                          std::function<void(UriLaunchResult)> done) {
    const CharPtr scheme(g_uri_parse_scheme(uri.c_str()));
    if (!scheme) {
        done({UriLaunch::Failed, "not a URI"});
        return;
    }
    const ObjectPtr<GAppInfo> handler(g_app_info_get_default_for_uri_scheme(scheme.get()));
    if (!handler) {
        done({UriLaunch::NoHandler, std::string("no program opens ") + scheme.get() + " addresses"});
        return;
    }
    const ObjectPtr<GdkAppLaunchContext> context(gdk_display_get_app_launch_context(display));
    auto request = std::make_unique<LaunchRequest>(LaunchRequest{std::move(done)});
    g_app_info_launch_default_for_uri_async(uri.c_str(), G_APP_LAUNCH_CONTEXT(context.get()),
                                            nullptr, OnLaunched, request.release());
}

void RunSaveChooser(GtkWindow* parent, const std::string& title_utf8, const std::string& name_utf8,
                    std::function<void(std::optional<std::string>)> done) {
    auto request = std::make_unique<SaveRequest>();
    request->chooser.reset(gtk_file_chooser_native_new(title_utf8.c_str(), parent,
                                                       GTK_FILE_CHOOSER_ACTION_SAVE, nullptr,
                                                       nullptr));
    request->done = std::move(done);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(request->chooser.get());
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    gtk_file_chooser_set_current_name(chooser, name_utf8.c_str());
    GtkNativeDialog* dialog = GTK_NATIVE_DIALOG(request->chooser.get());
    gtk_native_dialog_set_modal(dialog, TRUE);
    g_signal_connect(dialog, "response", G_CALLBACK(OnSaveResponse), request.get());
    // The request owns the chooser until its answer comes.
    static_cast<void>(request.release());
    gtk_native_dialog_show(dialog);
}

}  // namespace plat::gtk
