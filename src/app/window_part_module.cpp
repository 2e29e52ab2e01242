// The window part as a module loaded on demand: beside the program in the build folder, or
// where the installation puts it (NORVANE_WINDOW_MODULE_FROM_PROGRAM, relative to the
// program's folder). The program is found through /proc, not argv[0], which any caller sets.
#include "app/window_part.h"

#include "app/headless.h"
#include "app/window_main.h"

#include <dlfcn.h>

#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

namespace norvane::app {
namespace {

constexpr const char* ModuleName = "norvane-window.so";

std::vector<std::filesystem::path> moduleCandidates() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path folder = program.parent_path();
    return {folder / ModuleName, folder / NORVANE_WINDOW_MODULE_FROM_PROGRAM / ModuleName};
}

}  // namespace

int showWindow(char* programName, const std::string& commandLine, std::ostream& err) {
    std::string failure = "it is not installed beside the program";
    for (const std::filesystem::path& candidate : moduleCandidates()) {
        std::error_code error;
        if (!std::filesystem::exists(candidate, error)) continue;
        // Never closed: Qt's threads and exit handlers live in it until the process ends.
        void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            failure = dlerror();
            break;
        }
        auto* entry = reinterpret_cast<NorvaneWindowEntry>(dlsym(module, NorvaneWindowEntryName));
        if (entry == nullptr) {
            failure = candidate.string() + " has no window entry";
            break;
        }
        return entry(programName, commandLine.c_str());
    }
    err << "norvane: the window could not be loaded: " << failure
        << "\n--fix FILE... fixes files without a window; see norvane --help\n";
    return ExitUsage;
}

}  // namespace norvane::app
