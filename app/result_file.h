#pragma once

#include <string>
#include <vector>

#include "search/search_engine.h"

namespace app {

// Writes one engine's result page to `path` exactly as the command line's
// `search` prints it: JSON when the name ends in ".json" (any letter case),
// TSV otherwise. The file is written beside the target under a temporary
// name and renamed into place, so a failure leaves an earlier file as it
// was. Returns why it failed (GBK), or an empty text.
std::string SaveResultFile(const std::string& path, const search::SearchEngine& engine, int page,
                           const std::vector<std::vector<std::string>>& rows);

// The name the save dialog suggests: the keyword and the page, with
// characters a file name cannot hold replaced by "_".
std::string SuggestedResultFileName(const std::string& keyword, int page);

}  // namespace app
