#include "platform/file_probe.h"

#include <sys/stat.h>

#include <string_view>

namespace norvane::platform {

bool SystemFileProbe::isNormalFile(const std::string& path) const {
    const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
    if (name.empty() || name.starts_with('.')) return false;
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace norvane::platform
