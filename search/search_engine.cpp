#include "search/search_engine.h"

#include "search/engine_catalogue.h"

namespace search {

const SearchEngine* BuiltInEngine(int number) {
    if (number < 1 || number > kEngineCount) return nullptr;
    return BuiltInEngines().Find("engine" + std::to_string(number));
}

std::string_view EnginePattern(int number) {
    const SearchEngine* engine = BuiltInEngine(number);
    return engine != nullptr ? std::string_view(engine->pattern) : std::string_view();
}

ColumnMap EngineColumns(int number) {
    const SearchEngine* engine = BuiltInEngine(number);
    return engine != nullptr ? engine->columns : ColumnMap();
}

SearchEngine MakeSearchEngine(int number, std::string site_root) {
    SearchEngine engine;
    if (const SearchEngine* built_in = BuiltInEngine(number)) engine = *built_in;
    engine.number = number;
    engine.site_root = std::move(site_root);
    return engine;
}

std::string BuildSearchAddress(const SearchEngine& engine, std::string_view encoded_keyword,
                               int page) {
    const std::string page_text = std::to_string(page);
    std::string address;
    std::string_view rest = engine.address;
    // One pass, so that a keyword or root holding "{page}" stays as it is.
    while (!rest.empty()) {
        const std::size_t open = rest.find('{');
        address += rest.substr(0, open);
        if (open == std::string_view::npos) break;
        rest.remove_prefix(open);
        if (rest.starts_with("{root}")) {
            address += engine.site_root;
            rest.remove_prefix(6);
        } else if (rest.starts_with("{keyword}")) {
            address += encoded_keyword;
            rest.remove_prefix(9);
        } else if (rest.starts_with("{page}")) {
            address += page_text;
            rest.remove_prefix(6);
        } else {
            address += '{';
            rest.remove_prefix(1);
        }
    }
    return address;
}

}  // namespace search
