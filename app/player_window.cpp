#include "app/player_window.h"

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/settings.h"
#include "app/skin_package.h"
#include "app/start_up.h"
#include "dui/controls/message_box.h"
#include "dui/controls/native_window.h"
#include "dui/core/host_window.h"
#include "dui/core/messages.h"
#include "search/detail_address.h"
#include "services/browser_host.h"
#include "services/encoding.h"

namespace app {
namespace {

constexpr const char* kPlayerProperty = "Ex_Player";
constexpr std::size_t kMaxBackgroundBytes = 32u * 1024u * 1024u;
// How often the loop that waits for a detail lookup looks at its result.
constexpr unsigned kLookupPollMs = 15;

// One open player window and what belongs to it. It lives in the frame of
// the OpenPlayer call that runs the window's loop.
struct PlayerWindow {
    plat::HWND window = nullptr;
    bool destroyed = false;
    bool asking_close = false;
    std::unique_ptr<dui::ExHostWindow> host;
    std::unique_ptr<services::BrowserHost> browser;
    // The browser's window seen as a native child of the player, for the
    // window operations (focus) the browser itself does not offer.
    dui::ExNativeWindow browser_window;
};

PlayerWindow* PlayerOf(plat::HWND window) {
    return static_cast<PlayerWindow*>(plat::GetProp(window, kPlayerProperty));
}

// Runs the thread's messages until the player's window is destroyed. A quit
// message ends it early; its exit code is returned.
std::optional<int> RunPlayerLoop(const PlayerWindow& player) {
    plat::MSG message{};
    while (!player.destroyed) {
        const plat::BOOL result = plat::GetMessage(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        if (result < 0) return 1;
        plat::TranslateMessage(&message);
        plat::DispatchMessage(&message);
    }
    return std::nullopt;
}

int AskToClose(plat::HWND window) {
    dui::MessageBoxOptions options;
    options.buttons = dui::kButtonsConfirmCancel;  // "手贱了" cancels, "是的" confirms
    options.icon = dui::kIconQuestion;
    options.captions = {kPlayerKeepCaption, kPlayerCloseCaption};
    options.default_button = 2;
    options.centre_on_owner = true;
    return dui::ShowMessageBox(window, kPlayerCloseQuestion, options);
}

// A detail lookup runs on a worker; the window keeps painting
// and the program keeps running meanwhile. nullopt when a quit message
// arrived (posted again for the outer loop); the lookup's result is then
// dropped when it comes.
std::optional<std::string> ResolveWhileRunning(const std::string& detail_address,
                                               const search::DetailRule& rule) {
    struct Lookup {
        std::mutex mutex;
        bool done = false;
        std::string address;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, detail_address, rule] {
        std::string address = search::ResolveDetailAddressResult(detail_address, rule).text;
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->address = std::move(address);
        lookup->done = true;
    }).detach();

    const plat::UINT_PTR timer = plat::SetTimer(nullptr, 0, kLookupPollMs, nullptr);
    plat::MSG message{};
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(lookup->mutex);
            if (lookup->done) break;
        }
        const plat::BOOL result = plat::GetMessage(&message, nullptr, 0, 0);
        if (result <= 0) {
            plat::KillTimer(nullptr, timer);
            plat::PostQuitMessage(result == 0 ? static_cast<int>(message.wParam) : 1);
            return std::nullopt;
        }
        plat::TranslateMessage(&message);
        plat::DispatchMessage(&message);
    }
    plat::KillTimer(nullptr, timer);
    const std::lock_guard<std::mutex> lock(lookup->mutex);
    return lookup->address;
}

// Code points of well-formed UTF-8, one at a time.
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

void CreatePlayerBrowser(PlayerWindow& player, const PlayRequest& request) {
    player.browser = services::NewBrowserHost();
    const std::string page = PlayerPageFor(request);
    if (player.browser->Create(player.window,
                               page.empty() ? std::nullopt : std::optional<std::string>(page),
                               kPlayerBrowserLeft, kPlayerBrowserTop, kPlayerBrowserWidth,
                               kPlayerBrowserHeight)) {
        player.browser_window.Attach(player.browser->Window());
        // Keys go to the page (space pauses, arrows seek).
        player.browser_window.Focus();
    }
}

}  // namespace

std::string EncodePlayAddress(std::string_view gbk) {
    bool converted = false;
    const std::string utf8 = services::ConvertCharset(gbk, "GBK", "UTF-8", &converted);
    if (!converted) return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 33 && byte <= 122) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string PlayerPageFor(const PlayRequest& request) {
    if (request.player_engine != 1 && request.player_engine != 2) return {};
    return PlayerPageAddress(App().sites, request.player_engine) + EncodePlayAddress(request.address);
}

std::string PlayerTitle(std::string_view name) {
    // Through UTF-8: bytes that are no GBK character become U+FFFD there
    // and "?" on the way back.
    const std::string utf8 = services::GbkToUtf8(name);
    std::string kept;
    std::size_t characters = 0;
    for (std::size_t at = 0; at < utf8.size() && characters < kMaxPlayerNameCharacters; ++characters) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = std::min(Utf8SequenceLength(lead), utf8.size() - at);
        if (lead < 0x20 || lead == 0x7F) {
            kept += ' ';
        } else {
            kept.append(utf8, at, length);
        }
        at += length;
    }
    return kPlayerTitlePrefix + services::Utf8ToGbk(kept);
}

intptr_t PlayerMessageHook(plat::HWND window, uint32_t message, uintptr_t, intptr_t) {
    PlayerWindow* player = PlayerOf(window);
    if (player == nullptr) return dui::kNotHandled;
    switch (message) {
    case plat::WM_DESTROY:
        plat::RemoveProp(window, kPlayerProperty);
        player->destroyed = true;
        return dui::kNotHandled;
    case plat::WM_CLOSE: {
        // One question at a time: a second close request while it is open
        // is refused rather than asked again or carried out twice.
        if (player->asking_close) return 0;
        player->asking_close = true;
        const int answer = AskToClose(window);
        player->asking_close = false;
        if (player->destroyed || answer != dui::kCodeConfirm) return 0;
        // Leaving the player page stops what it plays, even while the close
        // animation still shows it.
        if (player->browser != nullptr) player->browser->Navigate(App().sites.site);
        return dui::kNotHandled;
    }
    default:
        return dui::kNotHandled;
    }
}

void OpenPlayer(const PlayRequest& request) {
    PlayerWindow player;
    dui::HostWindowOptions window_options;
    window_options.title = PlayerTitle(request.name);
    window_options.width = kPlayerWidth;
    window_options.height = kPlayerHeight;
    player.window = dui::CreateHostWindow(window_options);
    if (player.window == nullptr) return;

    std::string background;
    const std::string background_path = BackgroundImagePath();
    if (background_path.empty() || !ReadWholeFile(background_path, kMaxBackgroundBytes, background)) {
        background.clear();
    }
    dui::AttachOptions attach;
    attach.background_image = std::move(background);
    attach.flags = kPlayerFlags;
    player.host = std::make_unique<dui::ExHostWindow>();
    if (!player.host->Attach(player.window, std::move(attach))) {
        plat::DestroyWindow(player.window);
        return;
    }
    plat::SetProp(player.window, kPlayerProperty, &player);

    // The hook goes in before anything runs messages: a window destroyed
    // meanwhile must already be noticed.
    player.host->OnMessage(PlayerMessageHook);

    // The first browser of the program loads the web engine, which takes a
    // while: that one is made once the window is on screen. Later ones start
    // loading their page before the show animation, which they outlast.
    const bool engine_loaded = services::BrowserModuleLoaded();
    if (engine_loaded) CreatePlayerBrowser(player, request);
    player.host->Present();
    player.host->Show(kPlayerAnimation);
    player.host->CloseAnimation(kPlayerAnimation);
    if (!engine_loaded && !player.destroyed) CreatePlayerBrowser(player, request);

    if (const std::optional<int> quit = RunPlayerLoop(player)) {
        // The quit was meant for the loop outside (the main window is
        // gone): this player goes too, without a question.
        if (!player.destroyed) plat::DestroyWindow(player.window);
        plat::PostQuitMessage(*quit);
    }
}

void RunPlayCommand(int engine, int player_engine, std::string address_cell, std::string name_cell) {
    const search::SearchEngine* built_in = engine == 2 ? search::BuiltInEngine(2) : nullptr;
    RunPlayCommand(built_in != nullptr ? built_in->detail : std::nullopt, player_engine,
                   std::move(address_cell), std::move(name_cell));
}

void RunPlayCommand(const std::optional<search::DetailRule>& detail, int player_engine,
                    std::string address_cell, std::string name_cell) {
    if (player_engine != 1 && player_engine != 2) return;
    PlayRequest request{std::move(address_cell), std::move(name_cell), player_engine};
    if (detail && !request.address.empty()) {
        const std::optional<std::string> resolved = ResolveWhileRunning(request.address, *detail);
        if (!resolved.has_value()) return;
        if (!resolved->empty()) request.address = *resolved;
    }
    OpenPlayer(request);
}

}  // namespace app
