#pragma once

#include "platform/page_buffer.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace norvane::platform {

// A file could not be read or written; what() says which file and why, in UTF-8.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FileContents {
    PageBuffer buffer;
    std::size_t size = 0;
};

// Reads a whole regular file. capacityFor(fileSize) says how large a buffer to allocate,
// so the caller can leave room for growth behind the contents. Throws FileError.
FileContents readWholeFile(const std::filesystem::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor);

// Receives the bytes of a file being written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

// Replaces the file at `path` with the bytes that `produce` writes into the sink, or leaves
// it untouched. The bytes go to a temporary file beside the target, which is flushed to
// disk and then renamed over the target; on any failure, an exception from `produce`
// included, the temporary file is removed and the exception passes on (I/O failures as
// FileError). A symbolic link is followed and the file it names is replaced; the replaced
// file keeps its permissions.
void writeFileAtomically(const std::filesystem::path& path,
                         const std::function<void(ByteSink&)>& produce);

}  // namespace norvane::platform
