// Program entry: runs a command that needs no window, or shows the main window through the
// window part, which only then brings in Qt.
#include "app/command_line.h"
#include "app/headless.h"
#include "app/window_part.h"
#include "platform/console_output.h"
#include "platform/program_arguments.h"
#include "platform/system_conventions.h"

#include <filesystem>
#include <iostream>
#include <variant>

int main(int argc, char* argv[]) {
    using namespace norvane;
    const auto exists = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(platform::pathFromText(path), error);
    };
    const app::Command command = app::parseCommandLine(platform::programArguments(argc, argv), exists);
    if (const auto* open = std::get_if<app::OpenWindow>(&command); open && platform::canShowWindows())
        return app::showWindow(argv[0], open->commandLine, std::cerr);
    const platform::ConsoleOutput console;
    if (std::holds_alternative<app::OpenWindow>(command)) {
        std::cerr << "norvane: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
                     "--fix FILE... fixes files without a window; see norvane --help\n";
        return app::ExitUsage;
    }
    return app::runHeadless(command, std::cout, std::cerr);
}
