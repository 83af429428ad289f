#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/engine_definition.h"
#include "search/search_engine.h"

namespace search {

// A definition file that was not loaded, and why.
struct SkippedDefinition {
    std::string path;
    DefinitionProblem problem;
};

// The engines the program knows, numbered from 1 in list order.
struct EngineCatalogue {
    std::vector<SearchEngine> engines;
    std::vector<SkippedDefinition> skipped;

    // By number ("2") or by file name ("engine2"); nullptr when none is.
    const SearchEngine* Find(std::string_view number_or_name) const;
    std::vector<const SearchEngine*> Enabled() const;
};

// At most this many definitions are read from one folder.
inline constexpr std::size_t kMaxDefinitionsPerFolder = 1000;

// Reads every NAME.engine of each folder in turn, in name order. A file of
// a later folder whose name was read before replaces that engine in its
// place; new names follow. A missing folder is no problem; every file that
// fails to load is listed in `skipped`.
EngineCatalogue LoadEngineCatalogue(const std::vector<std::string>& folders);

// The built-in definitions: res/engines beside the executable, else in the
// installed data folder (the first that exists; empty when neither does).
std::string BuiltInEngineFolder();

// $XDG_CONFIG_HOME/seed-searcher/engines, falling back to
// ~/.config/seed-searcher/engines; empty when neither can be formed.
std::string UserEngineFolder();

// The catalogue of the built-in folder alone, read once.
const EngineCatalogue& BuiltInEngines();

// One line per skipped file, "PATH:LINE: REASON" (without ":LINE" when the
// problem concerns no line), UTF-8.
std::string DescribeSkipped(const SkippedDefinition& skipped);

}  // namespace search
