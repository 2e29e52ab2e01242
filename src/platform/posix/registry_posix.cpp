// There is no registry here, and no program called MSINFO32. The one value the About box's
// system-information button reads first, the full path of the system-information program,
// is answered with the first program of a fixed list found on PATH; every other lookup
// fails, so the button shows its "unavailable" message when none of them is installed.

#include "platform/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace norvane::platform {
namespace {

// Programs that show the system's hardware and software, most preferred first: the
// desktop's own information centre (KDE), then the desktop-neutral system profilers.
// Each must open its window when started with no arguments, which rules out settings
// panels that need one (GNOME's "About" page of gnome-control-center).
constexpr std::array<std::string_view, 4> SystemInformationPrograms = {
    "kinfocenter",  // KDE Info Center
    "hardinfo2",    // HardInfo 2, system profiler and benchmark
    "hardinfo",     // HardInfo, its predecessor
    "cpu-x",        // CPU-X, processor, board, memory and system details
};

// Registry names are compared without regard to case, as the registry does.
bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::toupper(x) == std::toupper(y);
    });
}

bool isExecutableFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The full path of the first listed program in the folders of `searchPath` (PATH's form:
// folders joined by ':'). Only absolute folders are searched: an empty or relative entry
// would mean the current folder, from which a program must not be picked up by chance.
std::optional<std::string> findSystemInformationProgram(std::string_view searchPath) {
    for (const std::string_view program : SystemInformationPrograms) {
        for (std::size_t start = 0; start <= searchPath.size();) {
            std::size_t end = searchPath.find(':', start);
            if (end == std::string_view::npos) end = searchPath.size();
            const std::string_view folder = searchPath.substr(start, end - start);
            start = end + 1;
            if (!folder.starts_with('/')) continue;
            std::string candidate(folder);
            if (!candidate.ends_with('/')) candidate += '/';
            candidate += program;
            if (isExecutableFile(candidate)) return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace

bool SystemRegistry::getKeyValue(RegistryRoot root, const std::string& keyName, const std::string& subKeyRef,
                                 std::string& keyVal) const {
    if (root == RegistryRoot::LocalMachine && sameName(keyName, SystemInformationPath.key) &&
        sameName(subKeyRef, SystemInformationPath.value)) {
        const char* searchPath = std::getenv("PATH");
        if (const auto program = findSystemInformationProgram(searchPath ? searchPath : "")) {
            keyVal = *program;
            return true;
        }
    }
    keyVal.clear();
    return false;
}

}  // namespace norvane::platform
