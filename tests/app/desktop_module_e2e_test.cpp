// The command line keeps the desktop front end out of its process: the
// dynamic loader's own trace (LD_DEBUG=files) lists every object a command
// maps, from the executable's needs to anything opened later.

#include "app/desktop_module.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "app/demo_engines.h"
#include "tests/support/paths.h"

namespace {

// The objects the loader mapped for one run of the program.
std::vector<std::string> MappedObjects(const std::string& args) {
    const std::string command = "LD_DEBUG=files XDG_CONFIG_HOME=/nonexistent '" +
                                testing_support::BinaryPath("seed-searcher") + "' " + args +
                                " 2>&1 >/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string trace;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) trace.append(buffer, got);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << args << "\n" << trace;
    std::vector<std::string> objects;
    const std::regex file_line(R"(file=(\S+) \[)");
    for (std::sregex_iterator at(trace.begin(), trace.end(), file_line), end; at != end; ++at) {
        objects.push_back((*at)[1]);
    }
    return objects;
}

TEST(DesktopModuleTest, CommandsThatOpenNoWindowMapNoGuiLibrary) {
    app::DemoEngines demo;
    ASSERT_TRUE(demo.Start());
    const std::regex gui(R"((gtk|gdk|cairo|pango|webkit|seed-desktop|seed-browser))");
    for (const std::string& args :
         {std::string("--version"), std::string("--help"),
          "search --engine-root 1=" + demo.Sites().engine_roots[0] + " linux"}) {
        const std::vector<std::string> objects = MappedObjects(args);
        // The trace itself worked: the transfer library is always there.
        EXPECT_NE(std::find_if(objects.begin(), objects.end(),
                               [](const std::string& object) { return object.find("libcurl") != std::string::npos; }),
                  objects.end())
            << args;
        for (const std::string& object : objects) {
            EXPECT_FALSE(std::regex_search(object, gui)) << args << " maps " << object;
        }
    }
}

}  // namespace
