#pragma once

// What the POSIX file routines share: descriptors that close themselves, the refusal of
// anything but a regular file, error messages that name the file, and what a file read is
// remembered by (FileOrigin's state).

#include "platform/file_io.h"
#include "platform/file_origin.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace norvane::platform::posix {

[[noreturn]] void throwFileError(const std::string& action, const std::filesystem::path& path,
                                 const std::string& reason);
[[noreturn]] void throwFileError(const std::string& action, const std::filesystem::path& path, int error);

// Closes the descriptor it owns when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

void refuseAllButRegularFiles(const struct stat& info, const std::string& action,
                              const std::filesystem::path& path);

// Opens an existing regular file with `access` (O_RDONLY or O_RDWR) and fills `info`.
// Anything else is refused before it is opened: a FIFO would wait for a writer and a
// device may act on being opened. `folder` is a descriptor or AT_FDCWD.
FileDescriptor openRegularFile(int folder, const char* name, int access, struct stat& info,
                               const std::string& action, const std::filesystem::path& path);

// Follows a chain of symbolic links to the file they name; the links themselves stay as
// they are. The final name need not exist. Paths are never collapsed by their text:
// `link/..` is the parent of the folder the link names, as the system resolves it.
// `found`, where given, gets what the final name is (all zero if nothing).
std::filesystem::path resolveLinks(std::filesystem::path path, struct stat* found = nullptr);

// openRegularFile for a name just found to be a regular file: it is opened at once.
FileDescriptor openFoundRegularFile(int folder, const char* name, int access, struct stat& info,
                                    const std::string& action, const std::filesystem::path& path);

// The folder that holds `target`, opened as the system resolves it, for *at() calls.
FileDescriptor openFolderOf(const std::filesystem::path& target, const std::string& action);

// Appends everything from the file's offset to its end to `contents`, whatever size the
// file claimed (procfs files claim 0), growing the buffer to at least capacityFor(size)
// as the size proves larger.
void readToEnd(int fd, FileContents& contents, const std::function<std::size_t(std::size_t)>& capacityFor,
               const std::filesystem::path& path);

// Whether two looks at a file saw the same file, unchanged: device, inode, size and the
// modification and change times.
bool sameFileUnchanged(const struct stat& a, const struct stat& b);

// Where an in-place save keeps the old bytes: beside the file, or in the user's state
// folder when the file's folder can't hold it.
std::string backupNameBeside(const std::string& name);
std::filesystem::path stateFolder();
std::string backupNameInStateFolder(const struct stat& file);
// The backup of the file `name` in `folder` (asked for as `path`; `file` its status) that an
// interrupted save left: beside it, or in the state folder.
std::optional<std::filesystem::path> findLeftoverBackup(int folder, const std::string& name,
                                                        const std::filesystem::path& path, const struct stat& file);

// Removes the temporary files that saves killed on the way left in a folder: those no
// running save holds locked, untouched for a minute.
void removeLeftoverTemporaries(int folder);

}  // namespace norvane::platform::posix

namespace norvane::platform {

struct FileOrigin::State {
    std::filesystem::path path;  // as asked for
    posix::FileDescriptor folder{-1};
    std::string name;  // in the folder, links resolved when it was opened
    struct stat identity {};
};

namespace posix {

// Opens the regular file at `path` with `access` (links followed now, and never again
// afterwards) and remembers where it lies and what it is. Throws FileError.
std::shared_ptr<FileOrigin::State> openOrigin(const std::filesystem::path& path, int access, FileDescriptor& fd,
                                              const std::string& action);

// The origin of the file open as `fd`, named `name` in `folder`, as it is now.
std::shared_ptr<FileOrigin::State> originOf(int fd, const FileDescriptor& folder, const std::string& name,
                                            const std::filesystem::path& path);
// The origin of the file named `name` in `folder`, whose status is `identity`.
std::shared_ptr<FileOrigin::State> originOf(FileDescriptor folder, const std::string& name,
                                            const std::filesystem::path& path, const struct stat& identity);

}  // namespace posix
}  // namespace norvane::platform
