#pragma once

#include <iosfwd>
#include <string>

namespace norvane::app {

// Shows the main window for `commandLine` through the window part (see window_main.h) and
// returns the application's exit status. Where the part can't be loaded, says why on `err`
// and returns the usage status.
int showWindow(char* programName, const std::string& commandLine, std::ostream& err);

}  // namespace norvane::app
