#pragma once

#include <string>

namespace norvane::platform {

// Tests whether files exist.
class FileProbe {
public:
    virtual ~FileProbe() = default;

    // True when `path` (UTF-8) names an ordinary file: not a folder, not hidden, not a
    // system file or device. A relative path is taken from the current folder.
    virtual bool isNormalFile(const std::string& path) const = 0;
};

// The file system of this system. On Windows a file with the hidden or system attribute
// is not normal; elsewhere a file whose name starts with a dot is hidden, and anything
// but a regular file (a device, a pipe, a socket) counts as a system file.
class SystemFileProbe final : public FileProbe {
public:
    bool isNormalFile(const std::string& path) const override;
};

}  // namespace norvane::platform
