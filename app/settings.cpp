#include "app/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/skin_package.h"
#include "util/text_lines.h"
#include "util/user_paths.h"

namespace app {
namespace {

constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
// A damaged file must not flood the terminal.
constexpr std::size_t kMaxReportedProblems = 20;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i];
        const char lower = (a >= 'A' && a <= 'Z') ? static_cast<char>(a - 'A' + 'a') : a;
        if (lower != prefix[i]) return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// "N=URL" with N in 1..count.
bool SplitNumbered(std::string_view value, int count, int& number, std::string_view& address) {
    const std::size_t equals = value.find('=');
    if (equals != 1) return false;
    const char digit = value[0];
    if (digit < '1' || digit >= '1' + count) return false;
    number = digit - '0';
    address = value.substr(2);
    return true;
}

// Which entry of the settings a key or option names; null for none.
std::optional<std::string>* Entry(PartialSettings& settings, std::string_view key) {
    if (key == "site") return &settings.site;
    if (key.size() == 7 && key.starts_with("engine") && key[6] >= '1' && key[6] <= '3') {
        return &settings.engine_roots[static_cast<std::size_t>(key[6] - '1')];
    }
    if (key.size() == 7 && key.starts_with("player") && key[6] >= '1' && key[6] <= '2') {
        return &settings.player_roots[static_cast<std::size_t>(key[6] - '1')];
    }
    return nullptr;
}

void AddProblem(std::vector<std::string>& problems, std::size_t& reported, std::string text) {
    ++reported;
    if (reported <= kMaxReportedProblems) {
        problems.push_back(std::move(text));
    } else if (reported == kMaxReportedProblems + 1) {
        problems.push_back("further problems not shown");
    }
}

}  // namespace

bool PartialSettings::Complete() const {
    for (const auto& root : engine_roots) {
        if (!root) return false;
    }
    for (const auto& root : player_roots) {
        if (!root) return false;
    }
    return site.has_value();
}

void PartialSettings::FillFrom(const PartialSettings& lower) {
    for (std::size_t i = 0; i < engine_roots.size(); ++i) {
        if (!engine_roots[i]) engine_roots[i] = lower.engine_roots[i];
    }
    for (std::size_t i = 0; i < player_roots.size(); ++i) {
        if (!player_roots[i]) player_roots[i] = lower.player_roots[i];
    }
    if (!site) site = lower.site;
    if (!history) history = lower.history;
    named_roots.insert(lower.named_roots.begin(), lower.named_roots.end());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (!tabs[i]) tabs[i] = lower.tabs[i];
    }
}

SiteSettings PartialSettings::With(const SiteSettings& fallback) const {
    SiteSettings sites;
    for (std::size_t i = 0; i < engine_roots.size(); ++i) {
        sites.engine_roots[i] = engine_roots[i].value_or(fallback.engine_roots[i]);
    }
    for (std::size_t i = 0; i < player_roots.size(); ++i) {
        sites.player_roots[i] = player_roots[i].value_or(fallback.player_roots[i]);
    }
    sites.site = site.value_or(fallback.site);
    sites.named_roots = fallback.named_roots;
    for (const auto& [name, root] : named_roots) sites.named_roots[name] = root;
    for (std::size_t i = 0; i < tabs.size(); ++i) sites.tabs[i] = tabs[i].value_or(fallback.tabs[i]);
    return sites;
}

std::optional<std::string> NormaliseSiteAddress(std::string_view text) {
    std::size_t scheme_length = 0;
    if (StartsWithNoCase(text, "http://")) {
        scheme_length = 7;
    } else if (StartsWithNoCase(text, "https://")) {
        scheme_length = 8;
    } else {
        return std::nullopt;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return std::nullopt;
    }
    while (text.size() > scheme_length && text.back() == '/') text.remove_suffix(1);
    const std::string_view rest = text.substr(scheme_length);
    if (rest.empty() || rest.front() == '/' || rest.front() == ':') return std::nullopt;
    return std::string(text);
}

bool IsEngineFileName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    bool digits_only = true;
    for (const char c : name) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!digit && !letter && c != '.' && c != '_' && c != '-') return false;
        digits_only = digits_only && digit;
    }
    return !digits_only;
}

RootOption ParseRootOption(const std::vector<std::string_view>& args, std::size_t index,
                           PartialSettings& settings, std::size_t& used, std::string& error) {
    const std::string_view arg = args[index];
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
    }
    if (name != "--engine-root" && name != "--player-root" && name != "--site") {
        return RootOption::NotRootOption;
    }
    used = 1;
    if (!value) {
        if (index + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return RootOption::Invalid;
        }
        value = args[index + 1];
        used = 2;
    }

    std::string_view address = *value;
    std::optional<std::string>* entry = &settings.site;
    if (name != "--site") {
        const bool engine = name == "--engine-root";
        const int count = engine ? kSettingsEngineCount : kPlayerCount;
        int number = 0;
        const std::size_t equals = value->find('=');
        const std::string_view engine_name = value->substr(0, equals);
        if (engine && equals != std::string_view::npos && IsEngineFileName(engine_name)) {
            // A named engine; the built-ins' names share their numbered entries.
            address = value->substr(equals + 1);
            std::optional<std::string>* numbered = Entry(settings, engine_name);
            std::optional<std::string> normalised = NormaliseSiteAddress(address);
            if (!normalised) {
                error = std::string(name) + ": not an http:// or https:// address: " + std::string(address);
                return RootOption::Invalid;
            }
            if (numbered != nullptr && engine_name.starts_with("engine")) {
                *numbered = std::move(normalised);
            } else {
                settings.named_roots[std::string(engine_name)] = std::move(*normalised);
            }
            return RootOption::Consumed;
        }
        if (!SplitNumbered(*value, count, number, address)) {
            error = std::string(name) + (engine ? " takes N=URL with N from 1 to 3 or an engine's file name"
                                                : " takes N=URL with N from 1 to " + std::to_string(count));
            return RootOption::Invalid;
        }
        const auto slot = static_cast<std::size_t>(number - 1);
        entry = engine ? &settings.engine_roots[slot] : &settings.player_roots[slot];
    }
    std::optional<std::string> normalised = NormaliseSiteAddress(address);
    if (!normalised) {
        error = std::string(name) + ": not an http:// or https:// address: " + std::string(address);
        return RootOption::Invalid;
    }
    *entry = std::move(normalised);
    return RootOption::Consumed;
}

std::string SettingsFilePath() {
    return util::UserPath("XDG_CONFIG_HOME", ".config", "seed-searcher/sites.conf");
}

void ParseSettingsText(std::string_view text, std::string_view source, PartialSettings& settings,
                       std::vector<std::string>& problems) {
    std::size_t reported = 0;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        std::string_view line = util::TakeLine(text);

        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
            line = line.substr(0, hash);
        }
        line = Trim(line);
        if (line.empty()) continue;

        const std::string where = std::string(source) + ":" + std::to_string(line_number) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            AddProblem(problems, reported, where + "not a \"key = URL\" line");
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key == "history") {
            if (value == "on" || value == "off") {
                settings.history = value == "on";
            } else {
                AddProblem(problems, reported, where + "\"history\" takes on or off");
            }
            continue;
        }
        if (key.size() == 4 && key.starts_with("tab") && key[3] >= '1' && key[3] <= '3') {
            if (!IsEngineFileName(value)) {
                AddProblem(problems, reported, where + "\"" + std::string(key) + "\" needs an engine's file name");
                continue;
            }
            settings.tabs[static_cast<std::size_t>(key[3] - '1')] = std::string(value);
            continue;
        }
        if (key.starts_with("engine.") && IsEngineFileName(key.substr(7))) {
            std::optional<std::string> address = NormaliseSiteAddress(value);
            if (!address) {
                AddProblem(problems, reported,
                           where + "\"" + std::string(key) + "\" needs an http:// or https:// address");
                continue;
            }
            settings.named_roots[std::string(key.substr(7))] = std::move(*address);
            continue;
        }
        std::optional<std::string>* entry = Entry(settings, key);
        if (entry == nullptr) {
            // Quote at most a sensible length of whatever the key was.
            AddProblem(problems, reported,
                       where + "unknown key \"" + std::string(key.substr(0, 40)) + "\"");
            continue;
        }
        std::optional<std::string> address = NormaliseSiteAddress(value);
        if (!address) {
            AddProblem(problems, reported,
                       where + "\"" + std::string(key) + "\" needs an http:// or https:// address");
            continue;
        }
        *entry = std::move(address);
    }
}

void ReadSettingsFile(const std::string& path, PartialSettings& settings,
                      std::vector<std::string>& problems) {
    if (path.empty()) return;
    // Read the way the skin is read: a regular file only, opened without
    // blocking, so a FIFO or a device at the path cannot stall the program.
    std::string text;
    FileReadProblem problem;
    if (!ReadWholeFile(path, kMaxSettingsFileBytes, text, &problem)) {
        // No file at all is the normal case and not worth a word.
        if (problem.system_error != ENOENT && problem.system_error != ENOTDIR) {
            problems.push_back(path + ": " + problem.text + "; the file is ignored");
        }
        return;
    }
    ParseSettingsText(text, path, settings, problems);
}

int BuiltInSlot(std::string_view file_name) {
    if (file_name.size() == 7 && file_name.starts_with("engine") && file_name[6] >= '1' &&
        file_name[6] <= '0' + kSettingsEngineCount) {
        return file_name[6] - '0';
    }
    return 0;
}

std::string EngineRoot(std::string_view file_name, std::string_view own_root, const SiteSettings& sites) {
    if (const auto named = sites.named_roots.find(file_name); named != sites.named_roots.end()) {
        return named->second;
    }
    if (const int slot = BuiltInSlot(file_name); slot > 0) {
        return sites.engine_roots[static_cast<std::size_t>(slot - 1)];
    }
    return std::string(own_root);
}

std::string PlayerPageAddress(const SiteSettings& sites, int player) {
    switch (player) {
        case 1:
            return sites.player_roots[0] + "/okapi.php#!url=";
        case 2:
            return sites.player_roots[1] + "/happyvod/api.php?top=1#!url=";
        default:
            return {};
    }
}

}  // namespace app
