#pragma once

#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace norvane {

// How fixing one file ended: fixed, or the exception (platform::FileError, std::bad_alloc)
// it failed by, the file then left as it was.
struct FixOutcome {
    struct Fixed {
        std::size_t lineFeeds = 0;  // LFs that got a CR
        std::optional<std::filesystem::path> sameFileAs;  // the name it was fixed by before
    };
    std::optional<Fixed> fixed;
    std::exception_ptr failure;
};

// Fixes files without a window: each is loaded in its own format, a CR goes in front of
// every LF that has none (a CR LF stays as it is, so fixing a file again changes nothing),
// it ends in CR LF as a save makes it, and it is saved over the file read, while that is
// still as it was read. A file reached by several names is fixed once, by the first.
// Several files are read and written at once, and their flushes to disk are shared (see
// platform::SaveBatch); `report` gets each file's outcome, in order, on the calling thread.
void fixFiles(const std::vector<std::filesystem::path>& paths,
              const std::function<void(std::size_t index, const FixOutcome& outcome)>& report);

}  // namespace norvane
