#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

inline constexpr int kSettingsEngineCount = 3;
inline constexpr int kPlayerCount = 2;

// The web addresses the program talks to. Every value is a scheme and host,
// optionally followed by a path prefix, without a trailing slash: the program
// only appends paths and queries to them.
struct SiteSettings {
    std::array<std::string, kSettingsEngineCount> engine_roots;
    std::array<std::string, kPlayerCount> player_roots;
    std::string site;  // the product's own page, shown when a player closes
    // Roots of other engines, by the file name of their definition.
    std::map<std::string, std::string, std::less<>> named_roots;
    // The engines the three engine tabs show, by file name; unset tabs show
    // the first enabled engines.
    std::array<std::string, kSettingsEngineCount> tabs;
};

// Settings as far as the command line and the settings file give them; what
// stays unset falls back to the bundled demo engines.
struct PartialSettings {
    std::array<std::optional<std::string>, kSettingsEngineCount> engine_roots;
    std::array<std::optional<std::string>, kPlayerCount> player_roots;
    std::optional<std::string> site;
    // Whether the window remembers searched keywords ("history = on|off").
    std::optional<bool> history;
    std::map<std::string, std::string, std::less<>> named_roots;
    std::array<std::optional<std::string>, kSettingsEngineCount> tabs;

    // Whether every entry that falls back to the demo engines is set.
    bool Complete() const;
    // Takes every value of `lower` whose entry is still unset here.
    void FillFrom(const PartialSettings& lower);
    // The values, with `fallback` for every unset entry.
    SiteSettings With(const SiteSettings& fallback) const;
};

// A usable site address: "http://" or "https://" (any letter case), a
// non-empty host, and no white space or control bytes. Trailing slashes are
// dropped. nullopt when the text is not such an address.
std::optional<std::string> NormaliseSiteAddress(std::string_view text);

// An engine definition's file name as settings may name it: letters,
// digits, ".", "_" and "-", at most 64 of them, not only digits.
bool IsEngineFileName(std::string_view name);

// The command-line options --engine-root N=URL (N a number from 1 to 3 or
// an engine's file name), --player-root N=URL and --site URL, each also
// written --option=value. `args` starts at the option;
// on Consumed, `used` tells how many arguments it took.
enum class RootOption { NotRootOption, Consumed, Invalid };
RootOption ParseRootOption(const std::vector<std::string_view>& args, std::size_t index,
                           PartialSettings& settings, std::size_t& used, std::string& error);

// $XDG_CONFIG_HOME/seed-searcher/sites.conf, falling back to
// ~/.config/seed-searcher/sites.conf; empty when neither can be formed.
std::string SettingsFilePath();

// Reads "key = value" lines (keys engine1..3, player1..2, site and
// engine.NAME with an http or https address, tab1..tab3 with an engine's
// file name, "history = on|off"; "#" starts a comment; blank lines are
// skipped); a later line overrides an earlier one
// with the same key. Unknown keys and malformed lines are skipped, each with one message
// "<source>:<line>: <problem>" in `problems`.
void ParseSettingsText(std::string_view text, std::string_view source, PartialSettings& settings,
                       std::vector<std::string>& problems);

// The same for a file. A missing file is no problem. Anything but a regular
// file, a file over 1 MiB or an unreadable one is reported and ignored.
void ReadSettingsFile(const std::string& path, PartialSettings& settings,
                      std::vector<std::string>& problems);

// The built-in engine slot (1..3) an engine definition's file name
// "engine1".."engine3" stands for; 0 for any other name.
int BuiltInSlot(std::string_view file_name);

// What "{root}" stands for in an engine's address template: the
// "engine.NAME" setting; for engine1..engine3 the engineN setting or the
// demo engine behind it; else the definition's own root (`own_root`).
std::string EngineRoot(std::string_view file_name, std::string_view own_root, const SiteSettings& sites);

// The player page addresses, up to and including "#!url=", for player 1 or 2.
std::string PlayerPageAddress(const SiteSettings& sites, int player);

}  // namespace app
