#pragma once

// What the POSIX file routines share: descriptors that close themselves, the refusal of
// anything but a regular file, and error messages that name the file.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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

}  // namespace norvane::platform::posix
