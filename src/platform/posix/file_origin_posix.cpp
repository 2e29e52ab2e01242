#include "platform/file_origin.h"

#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace norvane::platform {
namespace fs = std::filesystem;

const fs::path& FileOrigin::path() const {
    static const fs::path none;
    return state_ ? state_->path : none;
}

std::optional<fs::path> FileOrigin::leftoverBackup() const {
    if (!state_) return std::nullopt;
    return posix::findLeftoverBackup(state_->folder.get(), state_->name, state_->path, state_->identity);
}

FileOrigin::Key FileOrigin::key() const {
    if (!state_) return {};
    return {static_cast<std::uint64_t>(state_->identity.st_dev), static_cast<std::uint64_t>(state_->identity.st_ino)};
}

namespace posix {
namespace {

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool isRegularFileAt(int folder, const char* name) {
    struct stat info {};
    return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<fs::path> findLeftoverBackup(int folder, const std::string& name, const fs::path& path,
                                           const struct stat& file) {
    const std::string beside = backupNameBeside(name);
    if (isRegularFileAt(folder, beside.c_str())) return path.parent_path() / beside;
    const fs::path kept = stateFolder() / backupNameInStateFolder(file);
    if (isRegularFileAt(AT_FDCWD, kept.c_str())) return kept;
    return std::nullopt;
}

bool sameFileUnchanged(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           sameTime(a.st_mtim, b.st_mtim) && sameTime(a.st_ctim, b.st_ctim);
}

std::string backupNameBeside(const std::string& name) { return name + ".norvane-backup"; }

fs::path stateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && fs::path(state).is_absolute())
        return fs::path(state) / "norvane";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "state" / "norvane";
}

std::string backupNameInStateFolder(const struct stat& file) {
    return std::to_string(file.st_dev) + "-" + std::to_string(file.st_ino) + ".norvane-backup";
}

std::shared_ptr<FileOrigin::State> originOf(int fd, const FileDescriptor& folder, const std::string& name,
                                            const fs::path& path) {
    FileDescriptor own(::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0));
    struct stat identity {};
    if (own.get() < 0 || ::fstat(fd, &identity) != 0) throwFileError("open", path, errno);
    return originOf(std::move(own), name, path, identity);
}

std::shared_ptr<FileOrigin::State> originOf(FileDescriptor folder, const std::string& name, const fs::path& path,
                                            const struct stat& identity) {
    auto origin = std::make_shared<FileOrigin::State>();
    origin->path = path;
    origin->folder = std::move(folder);
    origin->name = name;
    origin->identity = identity;
    return origin;
}

std::shared_ptr<FileOrigin::State> openOrigin(const fs::path& path, int access, FileDescriptor& fd,
                                              const std::string& action) {
    struct stat info {};
    const fs::path target = resolveLinks(path, &info);
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") throwFileError(action, path, EISDIR);
    FileDescriptor folder = openFolderOf(target, action);
    fd = S_ISREG(info.st_mode)
             ? openFoundRegularFile(folder.get(), name.c_str(), access | O_NOFOLLOW, info, action, path)
             : openRegularFile(folder.get(), name.c_str(), access | O_NOFOLLOW, info, action, path);
    return originOf(std::move(folder), name, path, info);
}

}  // namespace posix
}  // namespace norvane::platform
