#pragma once

#include <string>
#include <vector>

namespace norvane::platform {

// The arguments the program was started with, its own name left out, in the system's
// narrow form: the bytes as given on POSIX systems (names need not be valid UTF-8), UTF-8
// taken from the wide command line on Windows. pathFromText() turns one into the path it
// names.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace norvane::platform
