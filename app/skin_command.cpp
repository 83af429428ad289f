#include "app/skin_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/skin_package.h"
#include "services/encoding.h"

namespace app {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kSkinUsage =
    "Usage: seed-searcher skin COMMAND [ARGS]\n"
    "\n"
    "Inspect, build and take apart skin packages (res/skin.dll).\n"
    "\n"
    "Commands:\n"
    "  verify FILE         check a package and list its resources\n"
    "  pack OUT [FILE...]  write the files, in order, as a package\n"
    "  unpack FILE DIR     write each resource of a package into DIR\n"
    "\n"
    "Run 'seed-searcher skin COMMAND --help' for details.\n";

constexpr std::string_view kVerifyUsage =
    "Usage: seed-searcher skin verify FILE\n"
    "\n"
    "Loads FILE as the program does at start-up. Prints the loader's message;\n"
    "on success also 'resources: N' and one line 'I<TAB>SIZE' per resource,\n"
    "I counted from 1. Exit status 0 when the package loads, 1 otherwise.\n";

constexpr std::string_view kPackUsage =
    "Usage: seed-searcher skin pack OUT [FILE...]\n"
    "\n"
    "Writes a package to OUT whose resources 1, 2, ... are the contents of the\n"
    "FILEs in the order given (no FILE gives a valid empty package).\n"
    "Exit status 0 on success, 1 when a file cannot be read or OUT written.\n";

constexpr std::string_view kUnpackUsage =
    "Usage: seed-searcher skin unpack FILE DIR\n"
    "\n"
    "Loads the package FILE and writes resource I to DIR/I.EXT, EXT after the\n"
    "content: png, jpg, gif, bmp, ico, or bin. DIR is created when missing.\n"
    "Prints the loader's message, then one line 'I<TAB>SIZE<TAB>PATH' per file.\n"
    "Exit status 0 on success, 1 when the package does not load or a file\n"
    "cannot be written.\n";

void Print(std::FILE* out, std::string_view text) {
    // An empty view may have no data at all, which fwrite must not be given.
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

void PrintLine(std::FILE* out, std::string_view text) {
    Print(out, text);
    Print(out, "\n");
}

int UsageError(std::string_view problem, std::string_view usage) {
    Print(stderr, "seed-searcher skin: ");
    PrintLine(stderr, problem);
    Print(stderr, usage);
    return kExitUsage;
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

// Operands may not look like options, except a lone "-" which is a name.
// "--" ends option parsing so that names beginning with '-' still work.
bool CollectOperands(int argc, char** argv, std::vector<std::string>& operands,
                     std::string& bad_option) {
    bool options_done = false;
    for (int i = 2; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (!options_done && arg == "--") {
            options_done = true;
            continue;
        }
        if (!options_done && arg.size() > 1 && arg.front() == '-') {
            bad_option = std::string(arg);
            return false;
        }
        operands.emplace_back(arg);
    }
    return true;
}

int Verify(const std::vector<std::string>& operands) {
    if (operands.size() != 1) {
        return UsageError("verify takes exactly one FILE", kVerifyUsage);
    }
    SkinPackage table;
    std::string message;
    std::string read_error;
    bool loaded = LoadSkinPackage(operands[0], table, message, &read_error);
    PrintLine(stdout, services::GbkToUtf8(message));
    if (!read_error.empty()) {
        PrintLine(stderr, "seed-searcher skin: " + operands[0] + ": " + read_error);
    }
    if (!loaded) return kExitFailed;
    PrintLine(stdout, "resources: " + std::to_string(table.resources.size()));
    for (std::size_t i = 0; i < table.resources.size(); ++i) {
        PrintLine(stdout, std::to_string(i + 1) + "\t" +
                              std::to_string(table.resources[i].size()));
    }
    return kExitOk;
}

int Pack(const std::vector<std::string>& operands) {
    if (operands.empty()) return UsageError("pack needs OUT", kPackUsage);
    std::vector<std::string> resources;
    std::size_t total = 0;
    for (std::size_t i = 1; i < operands.size(); ++i) {
        std::string content;
        if (!ReadWholeFile(operands[i], kMaxSkinPackageBytes - total, content)) {
            PrintLine(stderr, "seed-searcher skin: cannot read " + operands[i] +
                                  " (missing, not a regular file, or the package"
                                  " would exceed 64 MiB)");
            return kExitFailed;
        }
        total += content.size();
        resources.push_back(std::move(content));
    }
    std::string error;
    if (!WriteSkinPackage(operands[0], resources, &error)) {
        PrintLine(stderr, "seed-searcher skin: " + error);
        return kExitFailed;
    }
    PrintLine(stdout, "packed " + std::to_string(resources.size()) +
                          " resources into " + operands[0]);
    return kExitOk;
}

// Writes `data` as `name` inside the open directory `dir_fd`: into a fresh
// temporary file first, renamed over the name at the end, so that a link
// already standing at the name is replaced, never followed, and a failed
// write leaves no half-written file behind.
bool WriteFileIn(int dir_fd, const std::string& name, std::string_view data, std::string& error) {
    const std::string temporary = "." + name + ".tmp-" + std::to_string(::getpid());
    const int fd = ::openat(dir_fd, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = true;
    while (ok && !data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? std::strerror(errno) : "nothing written";
            ok = false;
            break;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && ::renameat(dir_fd, temporary.c_str(), dir_fd, name.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlinkat(dir_fd, temporary.c_str(), 0);
    return ok;
}

int Unpack(const std::vector<std::string>& operands) {
    if (operands.size() != 2) {
        return UsageError("unpack takes FILE and DIR", kUnpackUsage);
    }
    SkinPackage table;
    std::string message;
    std::string read_error;
    if (!LoadSkinPackage(operands[0], table, message, &read_error)) {
        PrintLine(stdout, services::GbkToUtf8(message));
        if (!read_error.empty()) {
            PrintLine(stderr, "seed-searcher skin: " + operands[0] + ": " + read_error);
        }
        return kExitFailed;
    }

    std::filesystem::path dir(operands[1]);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const int dir_fd = ::open(operands[1].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (ec || dir_fd < 0) {
        PrintLine(stderr, "seed-searcher skin: cannot create directory " + operands[1] +
                              (ec ? ": " + ec.message() : std::string()));
        if (dir_fd >= 0) ::close(dir_fd);
        return kExitFailed;
    }
    // The success message comes only once every file is in place.
    std::string listing;
    for (std::size_t i = 0; i < table.resources.size(); ++i) {
        const std::string& data = table.resources[i];
        const std::string name = std::to_string(i + 1) + "." + std::string(ImageExtension(data));
        const std::string path = (dir / name).string();
        std::string error;
        if (!WriteFileIn(dir_fd, name, data, error)) {
            PrintLine(stderr, "seed-searcher skin: cannot write " + path + ": " + error);
            ::close(dir_fd);
            return kExitFailed;
        }
        listing += std::to_string(i + 1) + "\t" + std::to_string(data.size()) + "\t" + path + "\n";
    }
    ::close(dir_fd);
    PrintLine(stdout, services::GbkToUtf8(message));
    Print(stdout, listing);
    return kExitOk;
}

}  // namespace

std::string_view ImageExtension(std::string_view data) {
    auto starts = [data](std::string_view prefix) { return data.starts_with(prefix); };
    if (starts(std::string_view("\x89PNG\r\n\x1A\n", 8))) return "png";
    if (starts(std::string_view("\xFF\xD8\xFF", 3))) return "jpg";
    if (starts("GIF87a") || starts("GIF89a")) return "gif";
    if (starts("BM")) return "bmp";
    if (starts(std::string_view("\0\0\1\0", 4))) return "ico";
    return "bin";
}

int RunSkinCommand(int argc, char** argv) {
    if (argc < 2) return UsageError("missing command", kSkinUsage);
    std::string_view command = argv[1];
    if (command == "--help" || command == "-h") {
        Print(stdout, kSkinUsage);
        return kExitOk;
    }
    std::string_view usage;
    int (*run)(const std::vector<std::string>&) = nullptr;
    if (command == "verify") {
        usage = kVerifyUsage;
        run = Verify;
    } else if (command == "pack") {
        usage = kPackUsage;
        run = Pack;
    } else if (command == "unpack") {
        usage = kUnpackUsage;
        run = Unpack;
    } else {
        return UsageError("unknown command '" + std::string(command) + "'", kSkinUsage);
    }
    if (WantsHelp(argc, argv)) {
        Print(stdout, usage);
        return kExitOk;
    }
    std::vector<std::string> operands;
    std::string bad_option;
    if (!CollectOperands(argc, argv, operands, bad_option)) {
        return UsageError("unknown option '" + bad_option + "'", usage);
    }
    return run(operands);
}

}  // namespace app
