#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

namespace norvane::platform {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void throwFileError(const std::string& action, const fs::path& path, int error) {
    throw FileError("Cannot " + action + " \"" + path.string() + "\": " +
                    std::generic_category().message(error));
}

// Closes the descriptor it owns when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Follows a chain of symbolic links to the file that is to be replaced; the links
// themselves stay as they are. The final name need not exist yet.
fs::path resolveLinks(fs::path path) {
    constexpr int MaxLinks = 40;
    for (int depth = 0; depth < MaxLinks; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
        fs::path target = fs::read_symlink(path, error);
        if (error) throwFileError("follow the link", path, error.value());
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throwFileError("follow the link", path, ELOOP);
}

void writeAll(int fd, const char* data, std::size_t size, const fs::path& path) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            throwFileError("write", path, errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Collects the bytes in an aligned block and writes whole blocks straight to the disk,
// bypassing the page cache where the file system allows it: for large files that is
// several times faster than buffered writing, which must first create a cache page for
// every 4 KiB written.
// `path` is the file being replaced, the one that error messages name.
class TemporaryFileSink final : public ByteSink {
public:
    TemporaryFileSink(int fd, fs::path path) : fd_(fd), path_(std::move(path)), block_(BlockSize) {
        int flags = ::fcntl(fd_, F_GETFL);
#ifdef O_DIRECT
        direct_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
#endif
    }

    void write(const char* data, std::size_t size) override {
        // Whole aligned blocks of a large buffer go to the disk straight from it: one big
        // write lets the kernel keep the disk busy, and skips the copy into the block.
        if (direct_ && used_ == 0 && size >= BlockSize && reinterpret_cast<std::uintptr_t>(data) % Alignment == 0) {
            const std::size_t aligned = size / Alignment * Alignment;
            writeBlocks(data, aligned);
            data += aligned;
            size -= aligned;
        }
        while (size > 0) {
            std::size_t part = std::min(size, BlockSize - used_);
            std::memcpy(block_.data() + used_, data, part);
            used_ += part;
            data += part;
            size -= part;
            if (used_ == BlockSize) {
                writeBlocks(block_.data(), used_);
                used_ = 0;
            }
        }
    }

    // Writes what is left (a partial block, so without direct I/O) and flushes to disk.
    void finish() {
        stopDirect();
        writeAll(fd_, block_.data(), used_, path_);
        used_ = 0;
#if defined(__APPLE__)
        if (::fsync(fd_) != 0) throwFileError("flush", path_, errno);
#else
        if (::fdatasync(fd_) != 0) throwFileError("flush", path_, errno);
#endif
    }

private:
    // Writes whole blocks, directly where that works. A device that wants a larger
    // alignment than ours refuses with EINVAL before writing anything: write through the
    // page cache instead.
    void writeBlocks(const char* data, std::size_t size) {
        if (direct_) {
            const ssize_t written = ::write(fd_, data, size);
            if (written >= 0) {
                data += written;
                size -= static_cast<std::size_t>(written);
            } else if (errno == EINVAL) {
                stopDirect();
            } else if (errno != EINTR) {
                throwFileError("write", path_, errno);
            }
        }
        writeAll(fd_, data, size, path_);
    }

    void stopDirect() {
#ifdef O_DIRECT
        if (direct_) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_DIRECT);
#endif
        direct_ = false;
    }

    static constexpr std::size_t BlockSize = 4 << 20;
    static constexpr std::size_t Alignment = 4096;  // what direct I/O asks of addresses and sizes
    int fd_;
    fs::path path_;
    PageBuffer block_;
    std::size_t used_ = 0;
    bool direct_ = false;
};

}  // namespace

FileContents readWholeFile(const fs::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throwFileError("open", path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throwFileError("read", path, errno);
    if (S_ISDIR(info.st_mode)) throwFileError("open", path, EISDIR);
    if (!S_ISREG(info.st_mode)) throw FileError("Cannot open \"" + path.string() + "\": not a regular file");

    const auto expected = static_cast<std::size_t>(info.st_size);
    FileContents contents{PageBuffer(std::max(capacityFor(expected), expected)), 0};
    while (contents.size < expected) {
        ssize_t got = ::read(fd.get(), contents.buffer.data() + contents.size, expected - contents.size);
        if (got < 0) {
            if (errno == EINTR) continue;
            throwFileError("read", path, errno);
        }
        if (got == 0) break;  // the file shrank while we read it
        contents.size += static_cast<std::size_t>(got);
    }
    return contents;
}

void writeFileAtomically(const fs::path& requested, const std::function<void(ByteSink&)>& produce) {
    const fs::path target = resolveLinks(requested);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) throwFileError("save", target, errno);
    if (exists && S_ISDIR(old.st_mode)) throwFileError("save", target, EISDIR);

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string hiddenName = ".";
    hiddenName += target.filename().string();
    hiddenName += ".norvane-XXXXXX";
    const std::string pattern = (folder / hiddenName).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
    if (fd.get() < 0) throwFileError("save", target, errno);
    const fs::path temporary(name.data());

    try {
        // A new file gets the permissions the umask allows; a replaced one keeps its own.
        mode_t mode = 0;
        if (exists) {
            mode = old.st_mode & 07777;
            if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                // Only possible for a privileged user; an ordinary user keeps ownership.
                [[maybe_unused]] int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
            }
        } else {
            mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd.get(), mode) != 0) throwFileError("save", target, errno);

        TemporaryFileSink sink(fd.get(), target);
        produce(sink);
        sink.finish();
        if (::close(fd.release()) != 0) throwFileError("save", target, errno);
        if (::rename(temporary.c_str(), target.c_str()) != 0) throwFileError("replace", target, errno);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

}  // namespace norvane::platform
