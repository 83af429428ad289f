#include "services/browser_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "services/encoding.h"
#include "util/executable_directory.h"

namespace services {
namespace {

// The module calls these from the program that loads it. The program is
// linked from static libraries, which keep only what something references:
// this list is that reference. A call the module adds must be added here
// (a missing one makes loading fail with the symbol named).
[[gnu::used]] const void* const kModuleImports[] = {
    reinterpret_cast<const void*>(&plat::CreateWindowEx),
    reinterpret_cast<const void*>(&plat::DestroyWindow),
    reinterpret_cast<const void*>(&plat::DefWindowProc),
    reinterpret_cast<const void*>(&plat::PostMessage),
    reinterpret_cast<const void*>(&plat::SetProp),
    reinterpret_cast<const void*>(&plat::GetProp),
    reinterpret_cast<const void*>(&plat::RemoveProp),
    reinterpret_cast<const void*>(static_cast<int (*)(plat::HWND, char*, int)>(&plat::GetClassName)),
    reinterpret_cast<const void*>(&plat::GetClassInfoEx),
    reinterpret_cast<const void*>(&plat::RegisterNativeChildClass),
    reinterpret_cast<const void*>(&plat::GetNativeChild),
    reinterpret_cast<const void*>(&GbkToUtf8),
    reinterpret_cast<const void*>(&Utf8ToGbk),
};

constexpr const char* kModuleFileName = "libseed-browser.so";

struct LoaderState {
    BrowserHostFactory factory;
    std::string module_path;  // empty: beside the executable
    void* handle = nullptr;   // never closed: the engine cannot be unloaded
    const BrowserModuleTable* table = nullptr;
    bool tried = false;
    std::string error;
};

LoaderState& Loader() {
    static LoaderState state;
    return state;
}

void Report(const std::string& problem) {
    Loader().error = problem;
    if (std::getenv("SEED_DEBUG") != nullptr) std::fprintf(stderr, "browser: %s\n", problem.c_str());
}

const BrowserModuleTable* LoadModule() {
    LoaderState& loader = Loader();
    if (loader.table != nullptr || loader.tried) return loader.table;
    loader.tried = true;
    const std::string path = BrowserModulePath();
    // RTLD_NOW: a module that does not fit this program fails here, with
    // the missing symbol named, not later in the middle of a page.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        Report("cannot load " + path + ": " + (reason != nullptr ? reason : "unknown error"));
        return nullptr;
    }
    auto entry = reinterpret_cast<BrowserModuleEntry>(dlsym(handle, kBrowserModuleEntry));
    const BrowserModuleTable* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->version != kBrowserModuleVersion || table->new_host == nullptr) {
        Report(path + " is not a browser module of this program");
        dlclose(handle);
        return nullptr;
    }
    loader.handle = handle;
    loader.table = table;
    loader.error.clear();
    return table;
}

}  // namespace

BrowserCommand BrowserCommandFromNumber(int number) {
    if (number < 0 || number > static_cast<int>(BrowserCommand::PageSetup)) {
        return BrowserCommand::GoForward;
    }
    return static_cast<BrowserCommand>(number);
}

BrowserHost::~BrowserHost() = default;

bool BrowserHost::Create(plat::HWND, std::optional<std::string>, int, int, std::optional<int>,
                         std::optional<int>, std::optional<uint32_t>, std::optional<uint32_t>) {
    return false;
}
bool BrowserHost::Attach(plat::HWND, int) { return false; }
bool BrowserHost::ConnectEvents() { return false; }
plat::HWND BrowserHost::Window() const { return nullptr; }
int BrowserHost::Id() const { return 0; }
bool BrowserHost::Navigate(std::string_view, std::optional<std::string>, std::optional<std::string>,
                           std::optional<std::string>) {
    return false;
}
void BrowserHost::Command(int) {}
std::string BrowserHost::HomePage() const { return {}; }
std::string BrowserHost::HomePage(std::string) { return {}; }
std::string BrowserHost::SearchPage() const { return {}; }
std::string BrowserHost::SearchPage(std::string) { return {}; }
std::string BrowserHost::Type() { return {}; }
bool BrowserHost::Busy() { return false; }
bool BrowserHost::Offline(std::optional<bool>) { return false; }
bool BrowserHost::Silent(std::optional<bool>) { return false; }
std::string BrowserHost::StatusText(std::optional<std::string>) { return {}; }
std::string BrowserHost::Title(std::optional<std::string>) { return {}; }
std::string BrowserHost::Location() { return {}; }
BrowserReadyState BrowserHost::ReadyState() { return BrowserReadyState::Uninitialised; }
std::string BrowserHost::PageSource() { return {}; }
void BrowserHost::WritePage(std::string_view) {}
void* BrowserHost::RawInterface() { return nullptr; }

void BrowserHost::OnNavigateStart(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::NavigateStart)] = std::move(handler);
}
void BrowserHost::OnNavigateComplete(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::NavigateComplete)] = std::move(handler);
}
void BrowserHost::OnDocumentComplete(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::DocumentComplete)] = std::move(handler);
}
void BrowserHost::OnNavigateError(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::NavigateError)] = std::move(handler);
}
void BrowserHost::OnTitleChange(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::TitleChange)] = std::move(handler);
}
void BrowserHost::OnStatusTextChange(BrowserEventHandler handler) {
    m_handlers[static_cast<int>(BrowserEventKind::StatusTextChange)] = std::move(handler);
}

void BrowserHost::Fire(const BrowserEvent& event) const {
    // A copy: the handler may replace itself or destroy this browser.
    const BrowserEventHandler handler = m_handlers[static_cast<int>(event.kind)];
    if (handler) handler(event);
}

std::unique_ptr<BrowserHost> NewBrowserHost() {
    if (const BrowserHostFactory& factory = Loader().factory) {
        if (std::unique_ptr<BrowserHost> host = factory()) return host;
        return std::make_unique<BrowserHost>();
    }
    return NewModuleBrowserHost();
}

std::unique_ptr<BrowserHost> NewModuleBrowserHost() {
    if (const BrowserModuleTable* table = LoadModule()) {
        if (std::unique_ptr<BrowserHost> host = table->new_host()) return host;
    }
    return std::make_unique<BrowserHost>();
}

void SetBrowserHostFactory(BrowserHostFactory factory) { Loader().factory = std::move(factory); }

void SetBrowserModulePath(std::string path) {
    LoaderState& loader = Loader();
    loader.module_path = std::move(path);
    if (loader.table == nullptr) loader.tried = false;
}

std::string BrowserModulePath() {
    const LoaderState& loader = Loader();
    if (!loader.module_path.empty()) return loader.module_path;
    return util::ModulePath(kModuleFileName);
}

bool BrowserModuleLoaded() { return Loader().table != nullptr; }

std::string BrowserModuleError() { return Loader().error; }

}  // namespace services
