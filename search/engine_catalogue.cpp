#include "search/engine_catalogue.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "util/c_deleter.h"
#include "util/executable_directory.h"
#include "util/user_paths.h"

namespace search {
namespace {

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The definition files of a folder in name order; the ones over the limit
// are reported as skipped.
std::vector<std::string> DefinitionFiles(const std::string& folder, std::vector<SkippedDefinition>& skipped) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, util::CDeleter<closedir>> dir(opendir(folder.c_str()));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!EngineFileName(name).empty()) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxDefinitionsPerFolder) {
        for (std::size_t i = kMaxDefinitionsPerFolder; i < names.size(); ++i) {
            skipped.push_back({folder + "/" + names[i],
                               {0, "more than " + std::to_string(kMaxDefinitionsPerFolder) +
                                       " definitions in the folder"}});
        }
        names.resize(kMaxDefinitionsPerFolder);
    }
    return names;
}

}  // namespace

const SearchEngine* EngineCatalogue::Find(std::string_view number_or_name) const {
    for (const SearchEngine& engine : engines) {
        if (engine.file_name == number_or_name || std::to_string(engine.number) == number_or_name) {
            return &engine;
        }
    }
    return nullptr;
}

std::vector<const SearchEngine*> EngineCatalogue::Enabled() const {
    std::vector<const SearchEngine*> enabled;
    for (const SearchEngine& engine : engines) {
        if (engine.enabled) enabled.push_back(&engine);
    }
    return enabled;
}

EngineCatalogue LoadEngineCatalogue(const std::vector<std::string>& folders) {
    EngineCatalogue catalogue;
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        for (const std::string& name : DefinitionFiles(folder, catalogue.skipped)) {
            const std::string path = folder + "/" + name;
            DefinitionProblem problem;
            std::optional<SearchEngine> engine = LoadEngineDefinition(path, problem);
            if (!engine) {
                catalogue.skipped.push_back({path, std::move(problem)});
                continue;
            }
            engine->path = path;
            const auto same = std::find_if(catalogue.engines.begin(), catalogue.engines.end(),
                                           [&](const SearchEngine& e) { return e.file_name == engine->file_name; });
            if (same != catalogue.engines.end()) {
                *same = std::move(*engine);
            } else {
                catalogue.engines.push_back(std::move(*engine));
            }
        }
    }
    for (std::size_t i = 0; i < catalogue.engines.size(); ++i) {
        catalogue.engines[i].number = static_cast<int>(i + 1);
    }
    return catalogue;
}

std::string BuiltInEngineFolder() {
    const std::string beside = util::ExecutableDirectory() + "/res/engines";
    if (IsFolder(beside)) return beside;
#ifdef SEED_INSTALL_DATA_DIR
    // A UTF-8 literal: the path's bytes must not pass through the GBK
    // execution character set.
    const std::string installed = std::string(reinterpret_cast<const char*>(SEED_INSTALL_DATA_DIR)) + "/res/engines";
    if (IsFolder(installed)) return installed;
#endif
    return {};
}

std::string UserEngineFolder() {
    return util::UserPath("XDG_CONFIG_HOME", ".config", "seed-searcher/engines");
}

const EngineCatalogue& BuiltInEngines() {
    static const EngineCatalogue catalogue = LoadEngineCatalogue({BuiltInEngineFolder()});
    return catalogue;
}

std::string DescribeSkipped(const SkippedDefinition& skipped) {
    std::string line = skipped.path;
    if (skipped.problem.line > 0) {
        line += ':';
        line += std::to_string(skipped.problem.line);
    }
    line += ": ";
    line += skipped.problem.reason;
    return line;
}

}  // namespace search
