#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_engine.h"

namespace search {

// Engine definitions: one engine per "NAME.engine" file in GLib's key-file
// syntax, keys in the group [Engine], values UTF-8 with the key file's
// escapes (\s \n \t \r \\). The keys are documented in the README.
inline constexpr std::string_view kEngineFileSuffix = ".engine";
inline constexpr std::size_t kMaxEngineFileBytes = 64 * 1024;

// Why a definition was refused: the 1-based line it concerns (0 when none
// does) and the reason (UTF-8).
struct DefinitionProblem {
    int line = 0;
    std::string reason;
};

// Reads a definition's text. `file_name` is the name without ".engine". On
// success the engine has every field but its number and site root set
// (`site_root` holds the file's own "root" when it gives one); otherwise
// nullopt and the first problem found in `problem`.
std::optional<SearchEngine> ParseEngineDefinition(std::string_view text, std::string_view file_name,
                                                  DefinitionProblem& problem);

// The same for a file: anything but a regular file of at most
// kMaxEngineFileBytes is refused before it is read whole.
std::optional<SearchEngine> LoadEngineDefinition(const std::string& path, DefinitionProblem& problem);

// "dir/NAME.engine" -> "NAME"; empty when the path does not end in ".engine".
std::string EngineFileName(std::string_view path);

}  // namespace search
