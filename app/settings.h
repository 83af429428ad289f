#pragma once

#include <array>
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
};

// Settings as far as the command line and the settings file give them; what
// stays unset falls back to the bundled demo engines.
struct PartialSettings {
    std::array<std::optional<std::string>, kSettingsEngineCount> engine_roots;
    std::array<std::optional<std::string>, kPlayerCount> player_roots;
    std::optional<std::string> site;
    // Whether the window remembers searched keywords ("history = on|off").
    std::optional<bool> history;

    // Whether every site address is set.
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

// The command-line options --engine-root N=URL, --player-root N=URL and
// --site URL, each also written --option=value. `args` starts at the option;
// on Consumed, `used` tells how many arguments it took.
enum class RootOption { NotRootOption, Consumed, Invalid };
RootOption ParseRootOption(const std::vector<std::string_view>& args, std::size_t index,
                           PartialSettings& settings, std::size_t& used, std::string& error);

// $XDG_CONFIG_HOME/seed-searcher/sites.conf, falling back to
// ~/.config/seed-searcher/sites.conf; empty when neither can be formed.
std::string SettingsFilePath();

// Reads "key = URL" lines (keys engine1..3, player1..2, site; "#" starts a
// comment; blank lines are skipped) and "history = on|off"; a later line overrides an earlier one
// with the same key. Unknown keys and malformed lines are skipped, each with one message
// "<source>:<line>: <problem>" in `problems`.
void ParseSettingsText(std::string_view text, std::string_view source, PartialSettings& settings,
                       std::vector<std::string>& problems);

// The same for a file. A missing file is no problem. Anything but a regular
// file, a file over 1 MiB or an unreadable one is reported and ignored.
void ReadSettingsFile(const std::string& path, PartialSettings& settings,
                      std::vector<std::string>& problems);

// The player page addresses, up to and including "#!url=", for player 1 or 2.
std::string PlayerPageAddress(const SiteSettings& sites, int player);

}  // namespace app
