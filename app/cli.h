#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The program's entry point: with no command it opens the main window,
// otherwise it runs the named command. Output is UTF-8; usage errors go to
// stderr with exit status 2.
int RunCommandLine(int argc, char** argv);

// Output forms of the search command, exposed for tests. Cells are UTF-8.
// A row is its cells joined by TAB, with "\" TAB LF CR inside a cell written
// "\\" "\t" "\n" "\r".
std::string TabSeparatedRow(const std::vector<std::string>& cells);
// A JSON string literal (quotes included); invalid UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view utf8);

}  // namespace app
