#pragma once

#include <string>
#include <vector>

// Running the program's command line to its end, for the benchmarks that
// time whole processes.
namespace bench_support {

// The seed-searcher executable of this build tree.
std::string ProgramPath();

enum class Stderr { Keep, Discard };

// Runs `program` (a path, or a name looked up on PATH) with `args` to its
// end and counts the lines it wrote to standard output; -1 when it could not
// be started or did not exit with status 0.
long RunCounting(const std::string& program, const std::vector<std::string>& args,
                 Stderr stderr_mode = Stderr::Keep);

}  // namespace bench_support
