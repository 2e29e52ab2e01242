#include "platform/system_conventions.h"

#include <cstdlib>

namespace norvane::platform {

std::filesystem::path pathFromText(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string pathText(const std::filesystem::path& path) { return path.native(); }

const std::string_view AllFilesPattern = "*";
const std::string_view PlainTextLineBreak = "\n";

bool canShowWindows() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace norvane::platform
