#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The program's entry point: with no command it opens the main window,
// otherwise it runs the named command. Output is UTF-8; usage errors go to
// stderr with exit status 2.
int RunCommandLine(int argc, char** argv);

}  // namespace app
