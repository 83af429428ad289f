#include "app/cli.h"

#include <cstdio>
#include <string_view>

namespace app {
namespace {

constexpr std::string_view kVersion = "seed-searcher 0.1.0\n";
constexpr std::string_view kUsage =
    "Usage: seed-searcher [--help] [--version]\n"
    "\n"
    "A desktop search tool for torrent and ED2K links.\n";

void Print(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    if (argc >= 2) {
        std::string_view arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            Print(stdout, kUsage);
            return 0;
        }
        if (arg == "--version") {
            Print(stdout, kVersion);
            return 0;
        }
        Print(stderr, "seed-searcher: unknown command or option\n");
        Print(stderr, kUsage);
        return 2;
    }
    Print(stdout, kUsage);
    return 0;
}

}  // namespace app
