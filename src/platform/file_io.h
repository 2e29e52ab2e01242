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

// Reads a whole regular file, to its end whatever size the system gives it beforehand.
// Anything else (a folder, FIFO, device, socket) is refused without waiting on it.
// capacityFor(fileSize) says how large a buffer to allocate, so the caller can leave room
// for growth behind the contents. Throws FileError.
FileContents readWholeFile(const std::filesystem::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor);

// Receives the bytes of a file being written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

// Saves the bytes that `produce` writes into the sink as the file at `path`, or leaves it as
// it was: on any failure, an exception from `produce` included (I/O failures as FileError),
// the old file keeps its bytes and nothing is left behind. A symbolic link is followed and
// the file it names is saved; the path means what the system makes of it, `..` included.
// Only a regular file is saved over, and never one without write permission, whoever runs
// the program.
// The bytes go to a new file beside the target, which is flushed to disk, given the old
// file's permissions, owner, group and extended attributes (ACLs among them), and renamed
// over the target. Where that would lose something (a second hard link, an owner, group or
// attribute the new file cannot be given, a folder where no file can be created), the file
// is written over in place instead, its old bytes kept in memory to put back on failure;
// `beforeOverwriting` runs first, so that whoever still reads the file's old bytes (a
// MappedFile of it) can stop depending on them.
void writeFileAtomically(const std::filesystem::path& path,
                         const std::function<void(ByteSink&)>& produce,
                         const std::function<void()>& beforeOverwriting = {});

}  // namespace norvane::platform
