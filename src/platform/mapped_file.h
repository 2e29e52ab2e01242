#pragma once

#include "platform/file_origin.h"

#include <cstddef>
#include <filesystem>
#include <memory>

namespace norvane::platform {

// The bytes of a regular file, for reading. On POSIX systems a file is mapped read-only,
// so that opening it costs neither a copy nor fresh memory: its pages come from the
// system's file cache as they are read. A small file, and one that can't be mapped (one
// whose size reads as 0, as in procfs), is read into memory instead, as on Windows.
//
// Another program may cut the file short or write to it while it is mapped (or read). Reading a
// page that the file no longer has never ends the program: a signal handler maps a page of
// NUL bytes in its place, and changed() reports it from then on. changed() also reports a
// file written to since it was opened (its size, modification or change time differ),
// whose bytes may then differ from those first read; once seen, a change is reported for
// good.
//
// Writing the same file in place (see writeFileAtomically) would change the bytes under a
// reader: detach() first turns the mapped pages into private memory.
//
// All const members may be called from several threads at once.
class MappedFile {
public:
    MappedFile();
    // Refuses anything but a regular file (a folder, FIFO, device, socket) without
    // waiting on it. Throws FileError, whose message names the path.
    explicit MappedFile(const std::filesystem::path& path);
    ~MappedFile();
    MappedFile(MappedFile&&) noexcept;
    MappedFile& operator=(MappedFile&&) noexcept;

    const char* data() const;
    std::size_t size() const;

    bool changed() const;
    // The file as it was opened: a symbolic link in the path was followed then, never later.
    const FileOrigin& origin() const;
    // Whether `path` names this very file (a hard link to it included).
    bool isFile(const std::filesystem::path& path) const;
    // Makes the bytes private memory, no longer tied to the file; costs their size in
    // memory. It changes no byte, so it counts as const: readers may go on reading
    // meanwhile. Throws std::bad_alloc.
    void detach() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace norvane::platform
