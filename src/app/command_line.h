#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

// What the program is asked to do by its arguments. Options count only as the first
// argument; anything else is the file to open, as one path.
namespace norvane::app {

// Show the window; `commandLine` is the arguments joined by single blanks (a path with
// blanks names one file whether or not the shell split it), quotes kept for the window to
// strip. Empty when no file is named.
struct OpenWindow {
    std::string commandLine;
};

// --fix FILE...: fix and save each file without a window.
struct FixFiles {
    std::vector<std::string> files;
};

// --check FILE...: say which files hold bare LFs, changing nothing.
struct CheckFiles {
    std::vector<std::string> files;
};

struct ShowHelp {};
struct ShowVersion {};

// A command line that can't be run; `message` says why.
struct UsageError {
    std::string message;
};

using Command = std::variant<OpenWindow, FixFiles, CheckFiles, ShowHelp, ShowVersion, UsageError>;

// Tells whether a path (UTF-8) names an existing file or folder.
using PathExists = std::function<bool(const std::string& path)>;

// Reads the arguments after the program's name. "--" ends the options, so that a file
// named like one can be opened: `norvane -- --fix`. A first argument that starts with "--"
// but is no option is a mistyped option, unless the command line names an existing file.
Command parseCommandLine(const std::vector<std::string>& arguments, const PathExists& exists);

}  // namespace norvane::app
