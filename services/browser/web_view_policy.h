#pragma once
// What a third-party page may do inside the program. Pages come from sites
// the program does not control, so every view starts locked down:
//
// - one ephemeral web context for the whole module: nothing is written to
//   disk, TLS errors fail the load and are never overridden, third-party
//   cookies are refused, downloads are cancelled as they start;
// - settings: script on (players need it) and media source on; off are
//   script-opened windows, script clipboard access, developer extras, every
//   kind of file-URL access, top-level navigation to data URLs, media
//   streams, WebRTC, encrypted media, hyperlink auditing, DNS prefetching,
//   console output on stdout and modal dialogs;
// - signals: navigations only to http, https and about: pages (about:blank,
//   about:srcdoc), no new windows, responses the view cannot show (which
//   would become downloads) are ignored; permission, file-chooser and
//   authentication requests are denied; script dialogs are answered without
//   showing anything (a page cannot keep the user from leaving); full-screen
//   requests are refused (the view stays inside its window); the context
//   menu offers no downloads, new windows or inspector.

#include <webkit2/webkit2.h>

namespace services::browser {

// A new view in the module's context with the locked-down settings and
// signal handlers. Floating reference.
WebKitWebView* NewLockedDownView();

// While a view is offline, navigations to network addresses are refused.
void SetViewOffline(WebKitWebView* view, bool offline);

// Whether an address may be loaded in a view: http, https, about:blank or
// about:srcdoc (scheme and about-page compared without letter case).
bool IsAllowedAddress(const char* uri);
bool IsNetworkAddress(const char* uri);

}  // namespace services::browser
