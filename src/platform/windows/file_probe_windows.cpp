#include "platform/file_probe.h"

#include "platform/windows/wide_text.h"

#include <windows.h>

namespace norvane::platform {

// Device names (NUL, CON, COM1, ...) answer GetFileAttributesW as if they were files in every
// folder, so a candidate is also opened, without any access right, to ask what it is: that
// works even while another program holds the file open without sharing it.
bool SystemFileProbe::isNormalFile(const std::string& path) const {
    const std::wstring name = windows::wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD NotNormal =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    if (attributes & NotNormal) return false;
    const HANDLE file = ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool onDisk = ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    return onDisk;
}

}  // namespace norvane::platform
