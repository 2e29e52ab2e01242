// The window part linked into the program, as on Windows, where the program is one file.
#include "app/window_part.h"

#include "app/window_main.h"

namespace norvane::app {

int showWindow(char* programName, const std::string& commandLine, std::ostream&) {
    return norvane_window_main(programName, commandLine.c_str());
}

}  // namespace norvane::app
