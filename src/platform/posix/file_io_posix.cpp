#include "platform/file_io.h"

#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <dirent.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

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

// Opens `name`, which was just found in `folder` to be a regular file, with `access` (O_RDONLY
// or O_RDWR), and fills `info` from the file opened, refusing it unless it is still a
// regular file. O_NONBLOCK covers a file swapped for a FIFO in between; on the regular
// file it is, it changes nothing (reads and writes of regular files block for the disk
// whatever it says), so it stays.
FileDescriptor openFoundRegularFile(int folder, const char* name, int access, struct stat& info,
                                    const std::string& action, const fs::path& path) {
    FileDescriptor fd(::openat(folder, name, access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) throwFileError(action, path, errno);
    if (::fstat(fd.get(), &info) != 0) throwFileError(action, path, errno);
    refuseAllButRegularFiles(info, action, path);
    return fd;
}

// Anything but a regular file is refused before it is opened: a FIFO would wait for a
// writer and a device may act on being opened.
FileDescriptor openRegularFile(int folder, const char* name, int access, struct stat& info,
                               const std::string& action, const fs::path& path) {
    if (::fstatat(folder, name, &info, 0) != 0) throwFileError(action, path, errno);
    refuseAllButRegularFiles(info, action, path);
    return openFoundRegularFile(folder, name, access, info, action, path);
}

fs::path resolveLinks(fs::path path, struct stat* found) {
    constexpr int MaxLinks = 40;
    for (int depth = 0; depth < MaxLinks; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            if (found) *found = info;  // all zero where nothing is found
            return path;
        }
        std::error_code error;
        fs::path target = fs::read_symlink(path, error);
        if (error) throwFileError("follow the link", path, error.value());
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throwFileError("follow the link", path, ELOOP);
}

FileDescriptor openFolderOf(const fs::path& target, const std::string& action) {
#ifdef O_PATH
    constexpr int Access = O_PATH;
#else
    constexpr int Access = O_RDONLY;
#endif
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    FileDescriptor fd(::open(folder.c_str(), Access | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) throwFileError(action, target, errno);
    return fd;
}

namespace {

// Reads up to `size` bytes; 0 at the end of the file.
std::size_t readSome(int fd, char* data, std::size_t size, const fs::path& path) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throwFileError("read", path, errno);
    }
}

}  // namespace

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

}  // namespace posix

namespace {
using namespace posix;

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

// Flushes a file's bytes, and what it takes to read them back, to disk.
void flushFile(int fd, const fs::path& path) {
#if defined(__APPLE__)
    if (::fsync(fd) != 0) throwFileError("flush", path, errno);
#else
    if (::fdatasync(fd) != 0) throwFileError("flush", path, errno);
#endif
}

// Writes a file from its current offset on. Collects the bytes in an aligned block and
// writes whole blocks straight to the disk, bypassing the page cache where the file system
// allows it: for large files that is several times faster than buffered writing, which
// must first create a cache page for every 4 KiB written.
// `path` is the file being saved, the one that error messages name.
class FileSink final : public ByteSink {
public:
    // `sizeHint`: about how many bytes will be written, 0 when unknown. A file smaller than
    // a block gets a block of its size, written through the page cache.
    FileSink(int fd, fs::path path, std::size_t sizeHint)
        : fd_(fd),
          path_(std::move(path)),
          blockSize_(sizeHint > 0 && sizeHint < BlockSize ? (sizeHint + Alignment - 1) / Alignment * Alignment
                                                           : BlockSize),
          block_(blockSize_) {
#ifdef O_DIRECT
        if (blockSize_ == BlockSize) {
            const int flags = ::fcntl(fd_, F_GETFL);
            direct_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
        }
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
        if (direct_ && used_ == 0 && size >= blockSize_ && reinterpret_cast<std::uintptr_t>(data) % Alignment == 0) {
            const std::size_t aligned = size / Alignment * Alignment;
            writeBlocks(data, aligned);
            data += aligned;
            size -= aligned;
        }
        while (size > 0) {
            std::size_t part = std::min(size, blockSize_ - used_);
            std::memcpy(block_.data() + used_, data, part);
            used_ += part;
            data += part;
            size -= part;
            if (used_ == blockSize_) {
                writeBlocks(block_.data(), used_);
                used_ = 0;
            }
        }
    }

    // Writes what is left (a partial block, so without direct I/O) and, unless `flush` is
    // false, flushes the file to disk; returns the bytes written in all.
    std::size_t finish(bool flush) {
        stopDirect();
        writeAll(fd_, block_.data(), used_, path_);
        used_ = 0;
        if (flush) flushFile(fd_, path_);
        return total_;
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
    std::size_t blockSize_;
    PageBuffer block_;
    std::size_t used_ = 0;
    std::size_t total_ = 0;
    bool direct_ = false;
};

// Refuses a file without write permission. Its permission bits decide even for a user the
// system lets write anyway (root), as the read-only attribute does on Windows: replacing
// the file would go round them. Opening it for writing then refuses what else forbids it.
void refuseReadOnly(const struct stat& info, const fs::path& target) {
    if ((info.st_mode & 0222) == 0) throwFileError("save", target, "the file is read-only");
}

// Copies every extended attribute of one file to another; ACLs are such attributes.
// Returns false when one cannot be read or given, so replacing would lose it.
bool copyExtendedAttributes(int from, int to) {
    std::string names;
    for (;;) {
        const ssize_t size = ::flistxattr(from, nullptr, 0);
        if (size < 0) return errno == ENOTSUP;  // a file system without them
        if (size == 0) return true;
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

constexpr std::string_view TemporaryPrefix = ".norvane-";
constexpr std::size_t TemporaryLetters = 12;
constexpr std::string_view Letters = "abcdefghijklmnopqrstuvwxyz0123456789";

// A short random name, the same length whatever the target's, so it always fits.
std::string temporaryName() {
    unsigned char random[TemporaryLetters];
    ::arc4random_buf(random, sizeof random);
    std::string name(TemporaryPrefix);
    for (const unsigned char byte : random) name += Letters[byte % Letters.size()];
    return name;
}

// Flushes a folder's entries (a new, renamed or removed name) to disk. Best effort: a
// folder this user can't read can't be opened to flush it.
void flushFolder(int folder) {
    const FileDescriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (readable.get() >= 0) ::fsync(readable.get());
}

// The new file of a save, written beside the target and then renamed over it. It has no
// name until it is complete where the file system allows (O_TMPFILE), so a save that is
// killed leaves nothing behind; elsewhere it has a temporary name, removed on failure,
// and is locked while it lives, so that a later save can tell one left by a killed save
// (see removeLeftoverTemporaries).
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
        removeLeftoverTemporaries(folder);
        for (int attempt = 0;; ++attempt) {
            std::string name = temporaryName();
            FileDescriptor named(::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
            if (named.get() >= 0) {
                ::flock(named.get(), LOCK_EX | LOCK_NB);
                return NewFile(std::move(named), folder, std::move(name), target);
            }
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

    // Gives the complete, flushed file the name `name` in the folder, in place of the file
    // there, or with `replacing` false only where no file has it (else false), and flushes
    // the folder unless `flush` is false. The descriptor stays open.
    bool name(const char* name, bool replacing, bool flush = true) {
#ifdef O_TMPFILE
        if (name_.empty() && !replacing) {
            if (::linkat(AT_FDCWD, procPath(fd()).c_str(), folder_, name, AT_SYMLINK_FOLLOW) == 0) {
                if (flush) flushFolder(folder_);
                return true;
            }
            if (errno == EEXIST) return false;
            throwFileError("save", target_, errno);
        }
        for (int attempt = 0; name_.empty(); ++attempt) {
            std::string linked = temporaryName();
            if (::linkat(AT_FDCWD, procPath(fd()).c_str(), folder_, linked.c_str(), AT_SYMLINK_FOLLOW) == 0)
                name_ = std::move(linked);
            else if (errno != EEXIST || attempt == 100)
                throwFileError("save", target_, errno);
        }
#endif
        const int renamed = replacing ? ::renameat(folder_, name_.c_str(), folder_, name)
                                      : ::renameat2(folder_, name_.c_str(), folder_, name, RENAME_NOREPLACE);
        if (renamed != 0) {
            if (!replacing && errno == EEXIST) return false;
            throwFileError("replace", target_, errno);
        }
        name_.clear();
        if (flush) flushFolder(folder_);
        return true;
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

// Writes what `produce` makes into `fd` from its current offset, and flushes it unless
// `flush` is false; returns the bytes written.
std::size_t writeInto(int fd, const std::function<void(ByteSink&)>& produce, const fs::path& target,
                      std::size_t sizeHint, bool flush) {
    FileSink sink(fd, target, sizeHint);
    produce(sink);
    return sink.finish(flush);
}

// Copies `from` as it is now into `to`, both from their start; returns the bytes copied.
std::size_t copyFile(int from, int to, const fs::path& target) {
    if (::lseek(from, 0, SEEK_SET) != 0 || ::lseek(to, 0, SEEK_SET) != 0) throwFileError("save", target, errno);
    std::size_t copied = 0;
    bool kernelCopies = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t got = -1;
        if (kernelCopies) {
            got = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
            if (got < 0 && errno != EINTR) {
                if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                    throwFileError("save", target, errno);
                kernelCopies = false;
            }
        } else {
            buffer.resize(1 << 20);
            got = ::read(from, buffer.data(), buffer.size());
            if (got < 0 && errno != EINTR) throwFileError("save", target, errno);
            if (got > 0) writeAll(to, buffer.data(), static_cast<std::size_t>(got), target);
        }
        if (got == 0) break;
        if (got > 0) copied += static_cast<std::size_t>(got);
    }
    if (::ftruncate(to, static_cast<off_t>(copied)) != 0) throwFileError("save", target, errno);
    return copied;
}

// The old bytes of a file written over in place, flushed to disk under a name of their own
// before the first byte is written, and removed once the new bytes are flushed: beside the
// file, or in the user's state folder when its folder can't hold it.
class Backup {
public:
    Backup(int file, const struct stat& info, int folder, const std::string& name, const fs::path& target)
        : target_(target) {
        // Beside the file where its folder lets this user create files and the name fits.
        const bool fits = backupNameBeside(name).size() <= NAME_MAX;
        std::optional<NewFile> copy = fits ? NewFile::create(folder, 0600, target) : std::nullopt;
        if (copy) {
            folder_ = FileDescriptor(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
            name_ = backupNameBeside(name);
            path_ = target.parent_path() / name_;
        } else {
            const fs::path state = stateFolder();
            auto refuse = [&](int error) {
                throwFileError("save", target, "no backup of its old contents can be made in \"" + state.string() +
                                                   "\": " + std::generic_category().message(error));
            };
            std::error_code error;
            fs::create_directories(state, error);
            if (!error) fs::permissions(state, fs::perms::owner_all, error);
            folder_ = FileDescriptor(::open(state.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (folder_.get() < 0) refuse(errno);
            if (auto kept = NewFile::create(folder_.get(), 0600, target)) copy.emplace(std::move(*kept));
            if (!copy) refuse(EACCES);
            name_ = backupNameInStateFolder(info);
            path_ = state / name_;
        }
        copyFile(file, copy->fd(), target);
        if (::fdatasync(copy->fd()) != 0) throwFileError("save", target, errno);
        if (!copy->name(name_.c_str(), false)) {
            name_.clear();
            throwFileError("save", target, "a copy of its old contents from an earlier save that did not finish is at \"" +
                                               path_.string() + "\"; put it back or remove it first");
        }
        backup_ = FileDescriptor(::openat(folder_.get(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (backup_.get() < 0) throwFileError("save", target, errno);
    }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;
    ~Backup() { remove(); }

    // Puts the old bytes back after a failed write over them. They fit where they were, so
    // this works even when the write failed for lack of space. Where it fails, the backup
    // stays and the message says where.
    void putBack(int file) {
        try {
            copyFile(backup_.get(), file, target_);
            if (::fdatasync(file) != 0) throwFileError("save", target_, errno);
        } catch (const FileError& error) {
            name_.clear();  // kept
            throw FileError(std::string(error.what()) + "; its old contents are in \"" + path_.string() + "\"");
        }
    }

    void remove() {
        if (name_.empty()) return;
        ::unlinkat(folder_.get(), name_.c_str(), 0);
        flushFolder(folder_.get());
        name_.clear();
    }

private:
    fs::path target_;
    FileDescriptor folder_{-1};
    std::string name_;  // while the backup is there and ours
    fs::path path_;
    FileDescriptor backup_{-1};
};

FileError changedSinceRead(const fs::path& target, const std::string& how) {
    return FileError("Cannot save \"" + target.string() + "\": " + how +
                     " since it was read; it is left as the other program made it");
}

// Writes over the file itself, for when replacing it would lose something. Its old bytes
// are kept in a backup until the new ones are on disk, and put back if the write fails.
void writeInPlace(int fd, const struct stat& info, int folder, const std::string& name,
                  const std::function<void(ByteSink&)>& produce, const SaveOptions& options, const fs::path& target) {
    Backup backup(fd, info, folder, name, target);
    if (options.reached) options.reached(SaveStep::BackedUp);
    try {
        if (options.beforeOverwriting) options.beforeOverwriting();
    } catch (const std::bad_alloc&) {
        throwFileError("save", target, "not enough memory to keep the text while the file is written over");
    }
    if (options.reached) options.reached(SaveStep::Detached);
    // Another program's change meanwhile (the backup would not hold it, a reader of the
    // old bytes may have lost some): their bytes stay.
    struct stat now {};
    if (::fstat(fd, &now) != 0) throwFileError("save", target, errno);
    if (!sameFileUnchanged(now, info)) throw changedSinceRead(target, "another program changed the file");
    try {
        if (::lseek(fd, 0, SEEK_SET) != 0) throwFileError("save", target, errno);
        const std::size_t written = writeInto(fd, produce, target, options.sizeHint, false);
        // Nothing of a longer old text stays behind the new end.
        if (::ftruncate(fd, static_cast<off_t>(written)) != 0) throwFileError("write", target, errno);
        flushFile(fd, target);
    } catch (...) {
        backup.putBack(fd);
        throw;
    }
    if (options.reached) options.reached(SaveStep::Written);
    backup.remove();
}

// Takes the save lock of an open file: an open-file-description lock where the system has
// them, else flock. Waits up to `wait` for another save to end.
void lockForSaving(int fd, const SaveOptions& options, const fs::path& target) {
    const auto giveUp = std::chrono::steady_clock::now() + options.lockWait;
    bool told = false;
    for (;;) {
#ifdef F_OFD_SETLK
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        int locked = ::fcntl(fd, F_OFD_SETLK, &lock);
        if (locked != 0 && errno == EINVAL) locked = ::flock(fd, LOCK_EX | LOCK_NB);
#else
        int locked = ::flock(fd, LOCK_EX | LOCK_NB);
#endif
        if (locked == 0) return;
        // A file system without locks (some network and user-space ones) saves unlocked.
        if (errno == ENOLCK || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) return;
        if (errno != EAGAIN && errno != EACCES && errno != EWOULDBLOCK && errno != EINTR)
            throwFileError("save", target, errno);
        if (std::chrono::steady_clock::now() >= giveUp) throwFileError("save", target, "another program is saving this file");
        if (!std::exchange(told, true) && options.reached) options.reached(SaveStep::WaitingForLock);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

void posix::removeLeftoverTemporaries(int folder) {
    constexpr auto OldEnough = std::chrono::seconds(60);
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return;
    DIR* entries = ::fdopendir(listed);
    if (!entries) {
        ::close(listed);
        return;
    }
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(TemporaryPrefix) || name.size() != TemporaryPrefix.size() + TemporaryLetters ||
            name.find_first_not_of(Letters, TemporaryPrefix.size()) != std::string_view::npos)
            continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
        const auto modified = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
        if (now - modified < OldEnough) continue;
        // A save that is still running holds its temporary's lock.
        const FileDescriptor file(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0 && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

FileContents readWholeFile(const fs::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor) {
    struct stat info {};
    const FileDescriptor fd = posix::openRegularFile(AT_FDCWD, path.c_str(), O_RDONLY, info, "open", path);
    const auto expected = static_cast<std::size_t>(info.st_size);
    FileContents contents{PageBuffer(std::max(capacityFor(expected), expected)), 0};
    posix::readToEnd(fd.get(), contents, capacityFor, path);
    return contents;
}

// A save whose new file is written and waits to be put in place, or one already done.
struct PreparedSave::State {
    FileDescriptor folder{-1};
    std::string name;
    fs::path target;
    FileDescriptor old{-1};  // the file replaced, locked until it is replaced
    std::optional<NewFile> file;
    bool replacing = false;
    bool flushEach = true;
    FileOrigin done;  // a save already complete (in place)
};

PreparedSave::PreparedSave(std::unique_ptr<State> state) : state_(std::move(state)) {}
PreparedSave::PreparedSave(PreparedSave&&) noexcept = default;
PreparedSave& PreparedSave::operator=(PreparedSave&&) noexcept = default;
PreparedSave::~PreparedSave() = default;

namespace {

// Gives the new file of a save its name, in place of the file it replaces.
void putInPlace(PreparedSave::State& save) {
    if (!save.file->name(save.name.c_str(), save.replacing, save.flushEach))
        throwFileError("save", save.target, "another program made the file meanwhile");
    save.old = FileDescriptor(-1);  // replaced: its lock has done its work
}

}  // namespace

FileOrigin PreparedSave::commit() {
    State& save = *state_;
    if (!save.file) return save.done;
    putInPlace(save);
    FileOrigin saved(originOf(save.file->fd(), save.folder, save.name, save.target));
    save.file.reset();
    return saved;
}

struct SaveBatch::Work {
    static constexpr std::size_t MostThreads = 32;

    std::mutex mutex;
    std::condition_variable added;
    std::deque<PreparedSave> saves;  // a deque: a save stays where it is while more are added
    std::vector<std::exception_ptr> failures;
    std::size_t next = 0;  // the first save no thread has taken
    bool finishing = false;
    std::vector<std::jthread> threads;  // last: they end before what they use; added under the mutex

    // Flushes saves as they are added, until finish() is called and none is left.
    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            added.wait(lock, [&] { return next < saves.size() || finishing; });
            if (next == saves.size()) return;
            const std::size_t index = next++;
            PreparedSave& taken = saves[index];
            lock.unlock();
            std::exception_ptr failure;
            try {
                if (const PreparedSave::State& save = *taken.state_; save.file) flushFile(save.file->fd(), save.target);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            failures[index] = failure;
        }
    }
};

SaveBatch::SaveBatch() : work_(std::make_unique<Work>()) {}

SaveBatch::~SaveBatch() { finish(); }

std::size_t SaveBatch::add(PreparedSave save) {
    Work& work = *work_;
    const std::lock_guard lock(work.mutex);
    work.saves.push_back(std::move(save));
    work.failures.emplace_back();
    work.added.notify_one();
    // One save alone is done by finish(), with no thread to start.
    if (work.saves.size() > 1 && work.threads.size() < Work::MostThreads) {
        try {
            work.threads.emplace_back([&work] { work.run(); });
        } catch (const std::system_error&) {
            // Those there are do the saves, and finish() helps.
        }
    }
    return work.saves.size() - 1;
}

std::vector<std::exception_ptr> SaveBatch::finish() {
    Work& work = *work_;
    {
        const std::lock_guard lock(work.mutex);
        work.finishing = true;
    }
    work.added.notify_all();
    work.run();
    work.threads.clear();
    // Every new file is on disk: a few threads put them in place.
    std::atomic<std::size_t> next{0};
    auto putSomeInPlace = [&] {
        for (std::size_t i; (i = next++) < work.saves.size();) {
            PreparedSave::State& save = *work.saves[i].state_;
            if (work.failures[i] || !save.file) continue;
            try {
                putInPlace(save);
                save.file.reset();
            } catch (...) {
                work.failures[i] = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        try {
            for (std::size_t i = 1; i < std::min(savesToPrepareAtOnce(), work.saves.size()); ++i)
                helpers.emplace_back(putSomeInPlace);
        } catch (const std::system_error&) {
            // Fewer threads: those there are do it all.
        }
        putSomeInPlace();
    }
    // Each folder once: the new names last.
    std::vector<std::pair<dev_t, ino_t>> flushed;
    for (std::size_t i = 0; i < work.saves.size(); ++i) {
        struct stat folder {};
        const int fd = work.saves[i].state_->folder.get();
        if (work.failures[i] || fd < 0 || ::fstat(fd, &folder) != 0) continue;
        const std::pair key{folder.st_dev, folder.st_ino};
        if (std::find(flushed.begin(), flushed.end(), key) != flushed.end()) continue;
        flushed.push_back(key);
        flushFolder(fd);
    }
    work.saves.clear();
    work.next = 0;
    work.finishing = false;
    return std::exchange(work.failures, {});
}

PreparedSave prepareSave(const fs::path& requested, const std::function<void(ByteSink&)>& produce,
                         const SaveOptions& options, bool flushEach) {
    using namespace posix;
    auto save = std::make_unique<PreparedSave::State>();
    save->flushEach = flushEach;
    // Where: the file that was read, found again through the folder it was found in; else
    // the file the path names now.
    const FileOrigin::State* over = options.over ? options.over->state() : nullptr;
    const fs::path target = over ? over->path : resolveLinks(requested);
    const std::string name = over ? over->name : target.filename().string();
    if (name.empty() || name == "." || name == "..") throwFileError("save", target, EISDIR);
    save->target = target;
    save->name = name;
    save->folder =
        over ? FileDescriptor(::fcntl(over->folder.get(), F_DUPFD_CLOEXEC, 0)) : openFolderOf(target, "save");
    const FileDescriptor& folder = save->folder;
    if (folder.get() < 0) throwFileError("save", target, errno);

    for (int attempt = 0;; ++attempt) {
        struct stat info {};
        if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) throwFileError("save", target, errno);
            if (over) throw changedSinceRead(target, "another program removed or renamed the file");
            // A new file: the system gives it the permissions the umask allows.
            if (auto created = NewFile::create(folder.get(), 0666, target)) save->file.emplace(std::move(*created));
            if (!save->file) throwFileError("save", target, EACCES);
            writeInto(save->file->fd(), produce, target, options.sizeHint, flushEach);
            if (options.reached) options.reached(SaveStep::Written);
            return PreparedSave(std::move(save));
        }
        if (over && S_ISLNK(info.st_mode))
            throw changedSinceRead(target, "another program put a symbolic link in the file's place");
        refuseAllButRegularFiles(info, "save", target);
        refuseReadOnly(info, target);
        FileDescriptor old = openFoundRegularFile(folder.get(), name.c_str(), O_RDWR | O_NOFOLLOW, info, "save", target);
        lockForSaving(old.get(), options, target);

        // While the lock was awaited, the save that held it may have put a new file in place.
        struct stat named {};
        if (::fstat(old.get(), &info) != 0) throwFileError("save", target, errno);
        const bool stillNamed = ::fstatat(folder.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                                named.st_dev == info.st_dev && named.st_ino == info.st_ino;
        if (over && (!stillNamed || !sameFileUnchanged(info, over->identity)))
            throw changedSinceRead(target, "another program changed or replaced the file");
        if (!stillNamed) {
            if (attempt == 10) throwFileError("save", target, "another program keeps replacing the file");
            continue;
        }
        if (options.reached) options.reached(SaveStep::Locked);
        if (const auto leftover = findLeftoverBackup(folder.get(), name, target, info))
            throwFileError("save", target, "a copy of its old contents from an earlier save that did not finish is at \"" +
                                               leftover->string() + "\"; put it back or remove it first");

        // A second hard link would keep the old text under its name.
        if (info.st_nlink == 1) {
            std::optional<NewFile> file = NewFile::create(folder.get(), 0600, target);
            if (file && file->takeOver(old.get(), info)) {
                writeInto(file->fd(), produce, target, options.sizeHint, flushEach);
                if (options.reached) options.reached(SaveStep::Written);
                save->file.emplace(std::move(*file));
                save->replacing = true;
                save->old = std::move(old);
                return PreparedSave(std::move(save));
            }
        }
        writeInPlace(old.get(), info, folder.get(), name, produce, options, target);
        save->done = FileOrigin(originOf(old.get(), folder, name, target));
        return PreparedSave(std::move(save));
    }
}

std::size_t savesToPrepareAtOnce() {
    // Saving small files is mostly the system's work on one folder, where threads also wait
    // for each other: twice as many threads as cores keep them busy; more only wait.
    constexpr std::size_t MostThreads = 4;
    return std::clamp<std::size_t>(2 * std::thread::hardware_concurrency(), 1, MostThreads);
}

std::size_t raiseOpenFileLimit() {
    constexpr std::size_t Margin = 64;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024 - Margin;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 1 << 20);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > Margin ? static_cast<std::size_t>(limit.rlim_cur) - Margin : 1;
}

FileOrigin writeFileAtomically(const fs::path& path, const std::function<void(ByteSink&)>& produce,
                               const SaveOptions& options) {
    return prepareSave(path, produce, options, true).commit();
}

}  // namespace norvane::platform
