#pragma once
// The player window: a second DirectUI window that plays a result online in
// an embedded browser showing one of the two player pages, with the
// result's address after "#!url=".
//
// Every player window has its own host and browser, freed when that window
// is destroyed, and runs its own nested message loop, which serves every
// window of the program and ends when that window is gone. So players can be
// closed in any order, and a quit message (the main window went away) ends
// each player loop in turn: the player is destroyed and the quit passed on
// to the loop outside it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "search/search_engine.h"

namespace app {

inline constexpr int kPlayerWidth = 560;
inline constexpr int kPlayerHeight = 466;
inline constexpr const char* kPlayerTitlePrefix = "正在播放：";
// Title label, close button and minimise button.
inline constexpr int kPlayerFlags = 22;
inline constexpr int kPlayerAnimation = 7;
// Where the browser sits in the player's client area.
inline constexpr int kPlayerBrowserLeft = 10;
inline constexpr int kPlayerBrowserTop = 36;
inline constexpr int kPlayerBrowserWidth = 540;
inline constexpr int kPlayerBrowserHeight = 420;
// The file name shown in the title is cut to this many characters.
inline constexpr std::size_t kMaxPlayerNameCharacters = 120;

// The close question.
inline constexpr const char* kPlayerCloseQuestion = "你真的要关闭播放器吗？";
inline constexpr const char* kPlayerKeepCaption = "手贱了";
inline constexpr const char* kPlayerCloseCaption = "是的";

// The address as the player page reads it after "#!url=": the GBK text in
// UTF-8, every byte from "!" to "z" (33..122) as it is, every other byte as
// "%" and two upper-case hexadecimal digits. Text that is not valid GBK
// gives an empty result, as does empty text.
std::string EncodePlayAddress(std::string_view gbk);

// What to play: the row's download address and file name (GBK), and the
// player engine, 1 or 2.
struct PlayRequest {
    std::string address;
    std::string name;
    int player_engine = 1;
};

// The page a request opens: the player engine's page address, "#!url=" and
// the encoded address. Empty for a player engine other than 1 or 2.
std::string PlayerPageFor(const PlayRequest& request);

// "正在播放：" and the name, with bytes that are not GBK characters and
// control characters replaced and the name cut to its maximum length.
std::string PlayerTitle(std::string_view name);

// Opens a player window for the request and runs the message loop until
// that window is destroyed (or a quit message arrives, which is posted again
// for the outer loop). A browser that cannot be created leaves the window
// empty.
void OpenPlayer(const PlayRequest& request);

// The play command of a result list's menu: `engine` is the list's search
// engine (1 to 3), the cells are the row's address and file-name texts.
// Engine 2's address cell holds a detail-page address: it is resolved to
// the download address first (the window keeps painting meanwhile), and the
// cell text itself is played when that gives nothing. Call it after the
// menu is gone.
void RunPlayCommand(int engine, int player_engine, std::string address_cell,
                    std::string name_cell);
// The same for any engine: with a detail rule the address cell is a
// detail-page address resolved by that rule first.
void RunPlayCommand(const std::optional<search::DetailRule>& detail, int player_engine,
                    std::string address_cell, std::string name_cell);

// The player window's message hook (installed as its host's OnMessage):
// WM_CLOSE asks the close question, refused while that question is already
// open; "是的" sends the browser to the product site, which stops playing,
// and lets the window close. -1: continue with normal processing.
intptr_t PlayerMessageHook(plat::HWND window, uint32_t message, uintptr_t wparam, intptr_t lparam);

}  // namespace app
