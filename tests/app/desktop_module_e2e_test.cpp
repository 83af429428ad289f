// The command line keeps the desktop front end, and the HTTP transport where
// it makes no request, out of its process: the dynamic loader's own trace
// (LD_DEBUG=files) lists every object a command maps, from the executable's
// needs to anything opened later.

#include "app/desktop_module.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

bool Maps(const std::vector<std::string>& objects, const std::string& name) {
    return std::any_of(objects.begin(), objects.end(),
                       [&](const std::string& object) { return object.find(name) != std::string::npos; });
}

// Only a command that makes a request loads the HTTP module and the transfer
// library below it; the trace itself works, since that one shows them.
TEST(DesktopModuleTest, CommandsThatOpenNoWindowMapNoGuiLibrary) {
    app::DemoEngines demo;
    ASSERT_TRUE(demo.Start());
    const std::regex gui(R"((gtk|gdk|cairo|pango|webkit|seed-desktop|seed-browser))");
    const std::string search = "search --engine-root 1=" + demo.Sites().engine_roots[0] + " linux";
    for (const std::string& args : {std::string("--version"), std::string("--help"), search}) {
        const std::vector<std::string> objects = MappedObjects(args);
        const bool requests = args == search;
        EXPECT_EQ(Maps(objects, "libseed-http"), requests) << args;
        EXPECT_EQ(Maps(objects, "libcurl"), requests) << args;
        for (const std::string& object : objects) {
            EXPECT_FALSE(std::regex_search(object, gui)) << args << " maps " << object;
        }
    }
}

// A program whose HTTP module is missing says so for each request it makes.
TEST(DesktopModuleTest, ARequestWithoutTheHttpModuleFailsNamingIt) {
    char folder[] = "/tmp/seed-no-module-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string copy = std::string(folder) + "/seed-searcher";
    const std::string command =
        "cp '" + testing_support::BinaryPath("seed-searcher") + "' '" + copy + "' && ln -s '" +
        testing_support::BinaryPath("res") + "' '" + folder + "/res' && XDG_CONFIG_HOME=/nonexistent '" +
        copy + "' search --engine-root 1=http://127.0.0.1:9/engine1 linux 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = pclose(pipe);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << output;
    EXPECT_NE(output.find("cannot load the HTTP module"), std::string::npos) << output;
    EXPECT_NE(output.find("libseed-http.so"), std::string::npos) << output;
}

}  // namespace
