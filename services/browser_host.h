#pragma once
// The embedded web browser: a native child window that shows a web page
// inside a program window.
//
// The engine lives in a separate shared library (libseed-browser.so beside
// the executable) that is loaded the first time a browser is asked for, so
// a program that never shows a page never loads the engine. NewBrowserHost()
// hands out browsers; tests install a factory of recording browsers instead.
//
// Texts at this interface are GBK, like every text of the program; the
// engine sees UTF-8. Everything runs on the GUI thread. Events are delivered
// as messages of the browser's window, never from inside the engine's own
// callbacks, so a handler may run a nested message loop or destroy the
// browser.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace services {

// The browser window class and the control identifiers its windows take:
// the first created browser gets kFirstBrowserId, each later one the next.
inline constexpr const char* kBrowserWindowClass = "Ex_WebBrowser";
inline constexpr int kFirstBrowserId = 501;
inline constexpr int kDefaultBrowserWidth = 400;
inline constexpr int kDefaultBrowserHeight = 300;
inline constexpr uint32_t kDefaultBrowserExStyle = plat::WS_EX_CLIENTEDGE;

// Commands by number; a number outside 0..9 counts as GoForward.
enum class BrowserCommand {
    GoForward = 0,
    GoBack = 1,
    GoHome = 2,        // loads the home page when one is set, else nothing
    GoSearch = 3,      // loads the search page when one is set, else nothing
    Refresh = 4,
    Stop = 5,
    SaveAs = 6,        // asks for a file name, then saves the page as MHTML
    Print = 7,         // the print dialog
    PrintPreview = 8,  // the print dialog, which offers the preview
    PageSetup = 9,     // the page-setup dialog; later prints use its result
};
BrowserCommand BrowserCommandFromNumber(int number);

// Ready state, as the page's loading moves on.
enum class BrowserReadyState {
    Uninitialised = 0,  // nothing loaded yet, or the page's process ended
    Loading = 1,        // request sent, nothing shown yet
    Loaded = 2,
    Interactive = 3,    // the response arrived and the page is being built
    Complete = 4,       // finished, or failed
};

// The six events. `id` is the browser's control identifier; `address` the
// page address concerned (GBK); `text` the event's text: the title, the
// status text, or why a navigation failed.
enum class BrowserEventKind {
    NavigateStart,     // a main-frame load started
    NavigateComplete,  // the response arrived; the page is being shown
    DocumentComplete,  // the page finished loading
    NavigateError,     // the load failed, or the page's process ended
    TitleChange,
    StatusTextChange,  // the pointer moved onto or off a link
};
inline constexpr int kBrowserEventCount = 6;

struct BrowserEvent {
    BrowserEventKind kind;
    int id = 0;
    std::string address;
    std::string text;
};
using BrowserEventHandler = std::function<void(const BrowserEvent&)>;

// A browser. This base class is the browser that does not exist (the engine
// could not be loaded, or its window could not be created): every operation
// does nothing and yields an empty value. Implementations override all of
// them.
//
// Not expressible with the engine, and therefore empty: post data and target
// frames of a navigation (such a navigation is refused), and the document as
// an object of this process (Document() is null; PageSource() and Title()
// reach the page through script calls instead).
class BrowserHost {
public:
    BrowserHost() = default;
    virtual ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // Creates the browser window as a child of `parent` (WS_CHILD |
    // WS_VISIBLE | `style`, extended style `ex_style` or WS_EX_CLIENTEDGE)
    // and, with an address, starts loading it. True when the window exists.
    // Nothing happens when this browser already has a window.
    virtual bool Create(plat::HWND parent, std::optional<std::string> address, int x, int y,
                        std::optional<int> width = std::nullopt,
                        std::optional<int> height = std::nullopt,
                        std::optional<uint32_t> style = std::nullopt,
                        std::optional<uint32_t> ex_style = std::nullopt);
    // Takes over an existing browser window (one created by another browser
    // object) under a new identifier. True when it is such a window.
    virtual bool Attach(plat::HWND window, int id);
    // Events are connected by Create and Attach; true when connected.
    virtual bool ConnectEvents();
    virtual plat::HWND Window() const;
    virtual int Id() const;

    // Loads an address (http, https or about:blank; others are refused by
    // the page policy). `headers` are "Name: value" lines separated by CR LF
    // or LF. False when nothing was started: no window, an empty or
    // overlong address, malformed headers, or a target frame or post data.
    virtual bool Navigate(std::string_view address,
                          std::optional<std::string> target_frame = std::nullopt,
                          std::optional<std::string> post_data = std::nullopt,
                          std::optional<std::string> headers = std::nullopt);
    virtual void Command(int number);
    void Command(BrowserCommand command) { Command(static_cast<int>(command)); }

    // The pages GoHome and GoSearch load; empty = none (the default).
    virtual std::string HomePage() const;
    virtual std::string HomePage(std::string address);
    virtual std::string SearchPage() const;
    virtual std::string SearchPage(std::string address);

    // Properties. Setters with a value store it and return the value now
    // held. Offline: main-frame network loads are refused while set.
    // Silent: a failed load leaves the view empty instead of showing the
    // engine's error page. StatusText: the address of the link under the
    // pointer, or what was last set, whichever changed last.
    virtual std::string Type();       // MIME type of the page
    virtual bool Busy();
    virtual bool Offline(std::optional<bool> value = std::nullopt);
    virtual bool Silent(std::optional<bool> value = std::nullopt);
    virtual std::string StatusText(std::optional<std::string> text = std::nullopt);
    virtual std::string Title(std::optional<std::string> text = std::nullopt);
    virtual std::string Location();
    virtual BrowserReadyState ReadyState();
    // The page's markup as the document holds it now (outerHTML of its root
    // element), at most kMaxPageSourceBytes of UTF-8; empty when the page
    // does not answer within a few seconds.
    virtual std::string PageSource();
    // Replaces the page by `html` (base address about:blank).
    virtual void WritePage(std::string_view html);

    // The engine's view object (a WebKitWebView*) with one reference added
    // for the caller, or null. RawInterface and ControlObject are the same.
    virtual void* RawInterface();
    void* ControlObject() { return RawInterface(); }
    void* Document() { return nullptr; }

    // Event handlers, one per event; an empty function removes it.
    void OnNavigateStart(BrowserEventHandler handler);
    void OnNavigateComplete(BrowserEventHandler handler);
    void OnDocumentComplete(BrowserEventHandler handler);
    void OnNavigateError(BrowserEventHandler handler);
    void OnTitleChange(BrowserEventHandler handler);
    void OnStatusTextChange(BrowserEventHandler handler);

protected:
    // Calls the handler of the event's kind, if any.
    void Fire(const BrowserEvent& event) const;

private:
    std::array<BrowserEventHandler, kBrowserEventCount> m_handlers;
};

inline constexpr std::size_t kMaxAddressBytes = 2u * 1024u * 1024u;
inline constexpr std::size_t kMaxPageSourceBytes = 32u * 1024u * 1024u;

// A new browser without a window: from the installed factory, else from the
// browser module (loaded now if it is not yet), else the empty base class.
std::unique_ptr<BrowserHost> NewBrowserHost();
// The same, ignoring the installed factory (for factories that wrap it).
std::unique_ptr<BrowserHost> NewModuleBrowserHost();

// Tests replace where browsers come from; an empty factory restores the
// module.
using BrowserHostFactory = std::function<std::unique_ptr<BrowserHost>()>;
void SetBrowserHostFactory(BrowserHostFactory factory);

// Where the module is looked for: by default libseed-browser.so in the
// executable's directory, else in the installed program's library folder.
// Takes effect at the next load attempt.
void SetBrowserModulePath(std::string path);
std::string BrowserModulePath();
// Whether the module is loaded, and why it could not be (empty when it
// loaded or was never tried).
bool BrowserModuleLoaded();
std::string BrowserModuleError();

// The module's entry point, exported by the shared library under this name.
// Its table must match kBrowserModuleVersion.
inline constexpr int kBrowserModuleVersion = 1;
struct BrowserModuleTable {
    int version;
    std::unique_ptr<BrowserHost> (*new_host)();
};
inline constexpr const char* kBrowserModuleEntry = "seed_browser_module";
using BrowserModuleEntry = const BrowserModuleTable* (*)();

}  // namespace services
