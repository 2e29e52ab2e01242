#include "platform/file_io.h"

#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

namespace norvane::platform {
namespace fs = std::filesystem;
namespace posix {

[[noreturn]] void throwFileError(const std::string& action, const fs::path& path, const std::string& reason) {
    throw FileError("Cannot " + action + " \"" + path.string() + "\": " + reason);
}

[[noreturn]] void throwFileError(const std::string& action, const fs::path& path, int error) {
    throwFileError(action, path, std::generic_category().message(error));
}

void refuseAllButRegularFiles(const struct stat& info, const std::string& action, const fs::path& path) {
    if (S_ISDIR(info.st_mode)) throwFileError(action, path, EISDIR);
    if (!S_ISREG(info.st_mode)) throwFileError(action, path, "not a regular file");
}

// Opens an existing regular file with `access` (O_RDONLY or O_RDWR) and fills `info`.
// Anything else is refused before it is opened: a FIFO would wait for a writer and a
// device may act on being opened. O_NONBLOCK covers a file swapped for a FIFO in between;
// it is cleared once the open file is known to be regular.
FileDescriptor openRegularFile(int folder, const char* name, int access, struct stat& info,
                               const std::string& action, const fs::path& path) {
    if (::fstatat(folder, name, &info, 0) != 0) throwFileError(action, path, errno);
    refuseAllButRegularFiles(info, action, path);
    FileDescriptor fd(::openat(folder, name, access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) throwFileError(action, path, errno);
    if (::fstat(fd.get(), &info) != 0) throwFileError(action, path, errno);
    refuseAllButRegularFiles(info, action, path);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) throwFileError(action, path, errno);
    return fd;
}

}  // namespace posix

namespace {
using namespace posix;

// Follows a chain of symbolic links to the file that is to be replaced; the links
// themselves stay as they are. The final name need not exist yet. Paths are never
// collapsed by their text: `link/..` is the parent of the folder the link names, as the
// system resolves it.
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

// Reads up to `size` bytes; 0 at the end of the file.
std::size_t readSome(int fd, char* data, std::size_t size, const fs::path& path) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throwFileError("read", path, errno);
    }
}

// Appends everything from the file's offset to its end to `contents`, whatever size the
// file claimed (procfs files claim 0), growing the buffer to at least capacityFor(size)
// as the size proves larger.
void readToEnd(int fd, FileContents& contents, const std::function<std::size_t(std::size_t)>& capacityFor,
               const fs::path& path) {
    for (;;) {
        const std::size_t room = contents.buffer.capacity() - contents.size;
        if (room > 0) {
            const std::size_t got = readSome(fd, contents.buffer.data() + contents.size, room, path);
            if (got == 0) return;
            contents.size += got;
            continue;
        }
        // The buffer is full: a small read tells whether the file goes on before any copy.
        char probe[64 << 10];
        const std::size_t got = readSome(fd, probe, sizeof probe, path);
        if (got == 0) return;
        const std::size_t size = contents.size + got;
        PageBuffer larger(std::max(capacityFor(size), 2 * size));
        if (contents.size > 0) std::memcpy(larger.data(), contents.buffer.data(), contents.size);
        std::memcpy(larger.data() + contents.size, probe, got);
        contents.buffer = std::move(larger);
        contents.size = size;
    }
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

// Writes a file from its current offset on. Collects the bytes in an aligned block and
// writes whole blocks straight to the disk, bypassing the page cache where the file system
// allows it: for large files that is several times faster than buffered writing, which
// must first create a cache page for every 4 KiB written.
// `path` is the file being saved, the one that error messages name.
class FileSink final : public ByteSink {
public:
    FileSink(int fd, fs::path path) : fd_(fd), path_(std::move(path)), block_(BlockSize) {
        int flags = ::fcntl(fd_, F_GETFL);
#ifdef O_DIRECT
        direct_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
#endif
    }
    // Leaves the file as it found it, so that a file written over can be written again.
    ~FileSink() override { stopDirect(); }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(const char* data, std::size_t size) override {
        total_ += size;
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

    // Writes what is left (a partial block, so without direct I/O), ends the file behind
    // the last byte written (a file written over keeps nothing of a longer old text) and
    // flushes it to disk.
    void finish() {
        stopDirect();
        writeAll(fd_, block_.data(), used_, path_);
        used_ = 0;
        if (::ftruncate(fd_, static_cast<off_t>(total_)) != 0) throwFileError("write", path_, errno);
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
    std::size_t total_ = 0;
    bool direct_ = false;
};

// The folder that holds `target`, opened as the system resolves it.
FileDescriptor openFolder(const fs::path& target) {
#ifdef O_PATH
    constexpr int Access = O_PATH;
#else
    constexpr int Access = O_RDONLY;
#endif
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    FileDescriptor fd(::open(folder.c_str(), Access | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) throwFileError("save", target, errno);
    return fd;
}

// Refuses a file without write permission. Its permission bits decide even for a user the
// system lets write anyway (root), as the read-only attribute does on Windows: replacing
// the file would go round them.
void refuseReadOnly(int folder, const char* name, const struct stat& info, const fs::path& target) {
    if ((info.st_mode & 0222) == 0) throwFileError("save", target, "the file is read-only");
    if (::faccessat(folder, name, W_OK, AT_EACCESS) != 0) throwFileError("save", target, errno);
}

// Copies every extended attribute of one file to another; ACLs are such attributes.
// Returns false when one cannot be read or given, so replacing would lose it.
bool copyExtendedAttributes(int from, int to) {
    std::string names;
    for (;;) {
        const ssize_t size = ::flistxattr(from, nullptr, 0);
        if (size < 0) return errno == ENOTSUP;  // a file system without them
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(from, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) return false;  // ERANGE: the list grew meanwhile
    }
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        ssize_t size = -1;
        do {
            size = ::fgetxattr(from, name, nullptr, 0);
            if (size < 0) return false;
            value.resize(static_cast<std::size_t>(size));
            size = ::fgetxattr(from, name, value.data(), value.size());
        } while (size < 0 && errno == ERANGE);
        if (size < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0) return false;
    }
    return true;
}

// A short random name, the same length whatever the target's, so it always fits.
std::string temporaryName(std::random_device& entropy) {
    constexpr std::string_view Letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".norvane-";
    for (int i = 0; i < 12; ++i) name += Letters[entropy() % Letters.size()];
    return name;
}

// The new file of a save, written beside the target and then renamed over it. It has no
// name until it is complete where the file system allows (O_TMPFILE), so a save that is
// killed leaves nothing behind; elsewhere it has a temporary name, removed on failure.
class NewFile {
public:
    // Creates the file in `folder` with `mode`, or nothing when the folder does not let
    // this user create files there.
    static std::optional<NewFile> create(int folder, mode_t mode, const fs::path& target) {
#ifdef O_TMPFILE
        FileDescriptor unnamed(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (unnamed.get() >= 0) {
            // It is linked in through /proc; without /proc, a named file does instead.
            struct stat info {};
            if (::stat(procPath(unnamed.get()).c_str(), &info) == 0)
                return NewFile(std::move(unnamed), folder, {}, target);
        } else if (errno == EACCES || errno == EPERM) {
            return std::nullopt;
        }  // else a file system without unnamed files
#endif
        std::random_device entropy;
        for (int attempt = 0;; ++attempt) {
            std::string name = temporaryName(entropy);
            FileDescriptor named(::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
            if (named.get() >= 0) return NewFile(std::move(named), folder, std::move(name), target);
            if (errno == EACCES || errno == EPERM) return std::nullopt;
            if (errno != EEXIST || attempt == 100) throwFileError("save", target, errno);
        }
    }

    NewFile(NewFile&& other) noexcept
        : fd_(std::move(other.fd_)), folder_(other.folder_), name_(std::exchange(other.name_, {})),
          target_(std::move(other.target_)) {}
    NewFile& operator=(NewFile&&) = delete;
    ~NewFile() {
        if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    }

    int fd() const { return fd_.get(); }

    // Gives the new file the old one's owner, group, permissions and extended attributes
    // (ACLs among them). Returns false when one of them cannot be given: replacing the old
    // file would lose it.
    bool takeOver(int old, const struct stat& info) {
        struct stat own {};
        if (::fstat(fd(), &own) != 0) throwFileError("save", target_, errno);
        if ((own.st_uid != info.st_uid || own.st_gid != info.st_gid) && ::fchown(fd(), info.st_uid, info.st_gid) != 0)
            return false;
        // After fchown, which may clear the set-user-ID bits, and before the ACL, which
        // sets the group bits from its mask.
        if (::fchmod(fd(), info.st_mode & 07777) != 0) throwFileError("save", target_, errno);
        return copyExtendedAttributes(old, fd());
    }

    // Flushes the complete file and renames it over `name` in the folder.
    void replace(const char* name) {
#ifdef O_TMPFILE
        std::random_device entropy;
        for (int attempt = 0; name_.empty(); ++attempt) {
            std::string linked = temporaryName(entropy);
            if (::linkat(AT_FDCWD, procPath(fd()).c_str(), folder_, linked.c_str(), AT_SYMLINK_FOLLOW) == 0)
                name_ = std::move(linked);
            else if (errno != EEXIST || attempt == 100)
                throwFileError("save", target_, errno);
        }
#endif
        if (::close(fd_.release()) != 0) throwFileError("save", target_, errno);
        if (::renameat(folder_, name_.c_str(), folder_, name) != 0) throwFileError("replace", target_, errno);
        name_.clear();
    }

private:
    NewFile(FileDescriptor fd, int folder, std::string name, fs::path target)
        : fd_(std::move(fd)), folder_(folder), name_(std::move(name)), target_(std::move(target)) {}

    static std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

    FileDescriptor fd_;
    int folder_;
    std::string name_;  // while the file has a temporary name
    fs::path target_;
};

void writeInto(int fd, const std::function<void(ByteSink&)>& produce, const fs::path& target) {
    FileSink sink(fd, target);
    produce(sink);
    sink.finish();
}

// Puts a file's old bytes back after a failed write over them. They fit where they were,
// so this works even when the write failed for lack of space.
void putBack(int fd, const FileContents& old, const fs::path& target) {
    auto fail = [&](int error) {
        throwFileError("put back the old contents of", target, error);
    };
    if (::lseek(fd, 0, SEEK_SET) != 0) fail(errno);
    for (std::size_t at = 0; at < old.size;) {
        const ssize_t written = ::write(fd, old.buffer.data() + at, old.size - at);
        if (written > 0)
            at += static_cast<std::size_t>(written);
        else if (written == 0 || errno != EINTR)
            fail(written == 0 ? EIO : errno);
    }
    if (::ftruncate(fd, static_cast<off_t>(old.size)) != 0 || ::fdatasync(fd) != 0) fail(errno);
}

// Writes over the file itself, for when replacing it would lose something. Its old bytes
// are kept in memory and put back if the write fails.
void writeInPlace(int fd, const struct stat& info, const std::function<void(ByteSink&)>& produce,
                  const std::function<void()>& beforeOverwriting, const fs::path& target) {
    std::optional<FileContents> old;
    try {
        old.emplace(FileContents{PageBuffer(static_cast<std::size_t>(info.st_size)), 0});
        readToEnd(fd, *old, [](std::size_t size) { return size; }, target);
    } catch (const std::bad_alloc&) {
        throwFileError("save", target, "not enough memory to keep its old contents while it is written over");
    }
    try {
        if (beforeOverwriting) beforeOverwriting();
    } catch (const std::bad_alloc&) {
        throwFileError("save", target, "not enough memory to keep the text while the file is written over");
    }
    try {
        if (::lseek(fd, 0, SEEK_SET) != 0) throwFileError("save", target, errno);
        writeInto(fd, produce, target);
    } catch (...) {
        putBack(fd, *old, target);
        throw;
    }
}

}  // namespace

FileContents readWholeFile(const fs::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor) {
    struct stat info {};
    const FileDescriptor fd = openRegularFile(AT_FDCWD, path.c_str(), O_RDONLY, info, "open", path);
    const auto expected = static_cast<std::size_t>(info.st_size);
    FileContents contents{PageBuffer(std::max(capacityFor(expected), expected)), 0};
    readToEnd(fd.get(), contents, capacityFor, path);
    return contents;
}

void writeFileAtomically(const fs::path& requested, const std::function<void(ByteSink&)>& produce,
                         const std::function<void()>& beforeOverwriting) {
    const fs::path target = resolveLinks(requested);
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") throwFileError("save", target, EISDIR);
    const FileDescriptor folder = openFolder(target);

    struct stat info {};
    if (::fstatat(folder.get(), name.c_str(), &info, 0) != 0) {
        if (errno != ENOENT) throwFileError("save", target, errno);
        // A new file: the system gives it the permissions the umask allows.
        std::optional<NewFile> file = NewFile::create(folder.get(), 0666, target);
        if (!file) throwFileError("save", target, EACCES);
        writeInto(file->fd(), produce, target);
        file->replace(name.c_str());
        return;
    }
    refuseAllButRegularFiles(info, "save", target);
    refuseReadOnly(folder.get(), name.c_str(), info, target);
    const FileDescriptor old = openRegularFile(folder.get(), name.c_str(), O_RDWR, info, "save", target);

    // A second hard link would keep the old text under its name.
    if (info.st_nlink == 1) {
        std::optional<NewFile> file = NewFile::create(folder.get(), 0600, target);
        if (file && file->takeOver(old.get(), info)) {
            writeInto(file->fd(), produce, target);
            file->replace(name.c_str());
            return;
        }
    }
    writeInPlace(old.get(), info, produce, beforeOverwriting, target);
}

}  // namespace norvane::platform
