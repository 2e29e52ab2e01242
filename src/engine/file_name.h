#pragma once

#include <string>
#include <string_view>

namespace norvane {

// The file name at the end of a UTF-8 path: what follows its last `separator`, looking
// back over at most 255 characters. A path ending in a separator gives an empty name; with
// no separator within reach, the last 255 characters (or the whole shorter path) are the name.
std::string GetFileName(std::string_view path, char separator);

// The path named by a command line: the whole text, spaces included, less one double
// quote at its start and one at its end. A lone double quote gives an empty path.
std::string unquoteCommandLine(std::string_view commandLine);

}  // namespace norvane
