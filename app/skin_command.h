#pragma once

#include <string_view>

namespace app {

// `skin verify FILE`, `skin pack OUT FILE...` and `skin unpack FILE DIR`:
// inspect, build and take apart skin packages from the command line.
// argv[0] is "skin". Output is UTF-8. Exit status 0 on success, 1 when the
// package or a file cannot be read or written, 2 on a usage error (reported
// on stderr).
int RunSkinCommand(int argc, char** argv);

// The file-name extension that suits an image's leading bytes: "png",
// "jpg", "gif", "bmp", "ico", or "bin" when none matches.
std::string_view ImageExtension(std::string_view data);

}  // namespace app
