#include "search/engine_definition.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "search/engine_catalogue.h"

namespace {

constexpr std::string_view kValid =
    "# a test site\n"
    "[Engine]\n"
    "name=Test site\n"
    "address=https://test.example/s?q={keyword}&p={page}\n"
    "pattern=<a href=\"(.*?)\">(.*?)</a>\n"
    "columns=Name;Address\n"
    "widths=200;0\n"
    "groups=2;1\n";

// Each way a definition is refused names the line it concerns.
TEST(EngineDefinitionTest, RejectionsNameTheLineAndTheReason) {
    search::DefinitionProblem problem;
    ASSERT_TRUE(search::ParseEngineDefinition(kValid, "test", problem)) << problem.reason;

    auto replace = [](std::string_view from, std::string_view to) {
        std::string text(kValid);
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        std::string text;
        int line;
        std::string reason;
    } cases[] = {
        {replace("columns=", "colour=red\ncolumns="), 6, "unknown key \"colour\""},
        {replace("name=Test site\n", ""), 2, "missing key \"name\""},
        {replace("(.*?)\">", "(.*?\">"), 5, "pattern: missing closing parenthesis"},
        {replace("groups=2;1", "groups=3;1"), 8, "groups: column 1 takes group 3, the pattern has 2"},
        {replace("https://test.example", "file:///etc"), 4, "address: the template is not an http or https address"},
        {replace("widths=200;0", "widths=200"), 7, "widths: 1 widths for 2 columns"},
        {replace("[Engine]", "[Engine]\nnot a key"), 3, "not a group, key or comment"},
        {std::string(kValid) + std::string(70 * 1024, '#'), 0, "over 64 KiB"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(search::ParseEngineDefinition(c.text, "test", problem)) << c.reason;
        EXPECT_EQ(problem.line, c.line) << c.reason;
        EXPECT_EQ(problem.reason, c.reason);
    }
}

// A user's file with a built-in's name takes its place, "enabled=false"
// hides one, and new names follow the built-ins.
TEST(EngineCatalogueTest, UserDefinitionsReplaceAndHideBuiltIns) {
    const std::filesystem::path user =
        std::filesystem::temp_directory_path() / ("seed-engines-" + std::to_string(getpid()));
    std::filesystem::create_directories(user);
    std::ofstream(user / "engine3.engine") << kValid;
    std::ofstream(user / "engine1.engine") << std::string(kValid) + "enabled=false\n";
    std::ofstream(user / "extra.engine") << kValid;
    std::ofstream(user / "broken.engine") << "[Engine]\nname=x\n";
    std::ofstream(user / "notes.txt") << "not a definition";

    const search::EngineCatalogue catalogue =
        search::LoadEngineCatalogue({search::BuiltInEngineFolder(), user.string()});
    std::filesystem::remove_all(user);

    ASSERT_EQ(catalogue.engines.size(), 4u);
    std::vector<std::string> names;
    for (const search::SearchEngine* engine : catalogue.Enabled()) {
        names.push_back(std::to_string(engine->number) + engine->file_name + ":" + engine->display_name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"2engine2:引擎2", "3engine3:Test site", "4extra:Test site"}));
    EXPECT_EQ(catalogue.Find("engine3"), catalogue.Find("3"));
    ASSERT_EQ(catalogue.skipped.size(), 1u);
    EXPECT_TRUE(search::DescribeSkipped(catalogue.skipped[0]).ends_with("broken.engine:1: missing key \"address\""));
}

}  // namespace
