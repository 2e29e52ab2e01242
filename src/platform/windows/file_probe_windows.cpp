#include "platform/file_probe.h"

#include "platform/windows/wide_text.h"

#include <windows.h>

namespace norvane::platform {

bool SystemFileProbe::isNormalFile(const std::string& path) const {
    const DWORD attributes = ::GetFileAttributesW(windows::wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD NotNormal =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & NotNormal) == 0;
}

}  // namespace norvane::platform
