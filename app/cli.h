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
// "\\" "\t" "\n" "\r", and every other C0 control byte, DEL and the two
// bytes of a C1 control written "\xHH" each: no cell reaches the terminal
// as a control sequence.
std::string TabSeparatedRow(const std::vector<std::string>& cells);
void AppendTsvEscaped(std::string& out, std::string_view utf8);
// A JSON string literal (quotes included); invalid UTF-8 becomes U+FFFD.
// Control characters, C1 controls included, are written as \u00XX.
std::string JsonString(std::string_view utf8);
void AppendJsonEscaped(std::string& out, std::string_view valid_utf8);

}  // namespace app
