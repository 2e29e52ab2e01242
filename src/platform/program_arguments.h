#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace norvane::platform {

// The arguments the program was started with, its own name left out, in the system's
// narrow form: the bytes as given on POSIX systems (names need not be valid UTF-8), UTF-8
// taken from the wide command line on Windows.
std::vector<std::string> programArguments(int argc, char** argv);

// The file-system path that an argument of programArguments() names.
std::filesystem::path pathFromArgument(const std::string& argument);

}  // namespace norvane::platform
