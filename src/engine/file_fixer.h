#pragma once

#include "platform/file_origin.h"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace norvane {

// Fixes files without a window: each is loaded in its own format, a CR goes in front of
// every LF that has none (a CR LF stays as it is, so fixing a file again changes nothing),
// it ends in CR LF as a save makes it, and it is saved over the file read, while that is
// still as it was read. A file reached by several names is fixed once.
class FileFixer {
public:
    struct Fixed {
        std::size_t lineFeeds = 0;  // LFs that got a CR
        std::optional<std::filesystem::path> sameFileAs;  // the name it was fixed by before
    };
    // How fixing one file ended: fixed, or the exception (platform::FileError,
    // std::bad_alloc) it failed by, the file then left as it was.
    struct Outcome {
        std::optional<Fixed> fixed;
        std::exception_ptr failure;
    };

    // Fixes the files in a few groups whose flushes to disk are shared (see
    // platform::prepareSave); `report` gets each file's outcome, in order.
    void fixAll(const std::vector<std::filesystem::path>& paths,
                const std::function<void(std::size_t index, const Outcome& outcome)>& report);

private:
    std::map<platform::FileOrigin::Key, std::filesystem::path> fixed_;
};

}  // namespace norvane
