#pragma once

#include "platform/file_origin.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>

namespace norvane {

// Fixes files without a window, one after another: each is loaded in its own format, a CR
// goes in front of every LF that has none (a CR LF stays as it is, so fixing a file again
// changes nothing), it ends in CR LF as a save makes it, and it is saved over the file
// read, while that is still as it was read. A file reached by several names is fixed once.
class FileFixer {
public:
    struct Fixed {
        std::size_t lineFeeds = 0;  // LFs that got a CR
        std::optional<std::filesystem::path> sameFileAs;  // the name it was fixed by before
    };

    // On failure the file is left as it was and platform::FileError (or std::bad_alloc)
    // passes on.
    Fixed fix(const std::filesystem::path& path);

private:
    std::map<platform::FileOrigin::Key, std::filesystem::path> fixed_;
};

}  // namespace norvane
