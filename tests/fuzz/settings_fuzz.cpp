// The settings file parser and the site options over arbitrary text: no
// crash, every value taken is a usable site address, and a damaged file
// yields a bounded number of messages.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace {

void CheckAddress(const std::optional<std::string>& value) {
    if (!value) return;
    if (app::NormaliseSiteAddress(*value) != value) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    app::PartialSettings settings;
    std::vector<std::string> problems;
    app::ParseSettingsText(text, "sites.conf", settings, problems);
    if (problems.size() > 21) std::abort();
    for (const auto& root : settings.engine_roots) CheckAddress(root);
    for (const auto& root : settings.player_roots) CheckAddress(root);
    CheckAddress(settings.site);

    // The same bytes as command-line arguments, one per line.
    std::vector<std::string> storage;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t end = text.find('\n', from);
        storage.emplace_back(text.substr(from, end == std::string_view::npos ? end : end - from));
        if (end == std::string_view::npos) break;
        from = end + 1;
    }
    const std::vector<std::string_view> args(storage.begin(), storage.end());
    app::PartialSettings options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::size_t used = 0;
        std::string error;
        if (app::ParseRootOption(args, i, options, used, error) == app::RootOption::Consumed) {
            if (used < 1 || i + used > args.size()) std::abort();
            i += used - 1;
        }
    }
    for (const auto& root : options.engine_roots) CheckAddress(root);
    CheckAddress(options.site);
    return 0;
}
