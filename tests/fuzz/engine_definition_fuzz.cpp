// Engine definition files over arbitrary bytes: no crash, and a definition
// that loads is one the program can use: columns that take groups the
// pattern has, an address column among them, a caption that fits a tab.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "search/engine_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    search::DefinitionProblem problem;
    const std::optional<search::SearchEngine> engine =
        search::ParseEngineDefinition(text, "fuzz", problem);
    if (!engine) {
        if (problem.reason.empty() || problem.line < 0) std::abort();
        return 0;
    }
    if (engine->columns.empty() || engine->address_column >= engine->columns.size()) std::abort();
    if (engine->caption.size() > 8 || engine->pattern.empty()) std::abort();
    for (const search::Column& column : engine->columns) {
        if (column.group < 1) std::abort();
    }
    return 0;
}
