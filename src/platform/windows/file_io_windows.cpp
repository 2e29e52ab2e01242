#include "platform/file_io.h"

#include "platform/windows/wide_text.h"

#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <mutex>
#include <utility>

namespace norvane::platform {
namespace fs = std::filesystem;
namespace {

// Windows names a path for long-path calls with this prefix; messages show it without.
constexpr std::wstring_view LongPathPrefix = LR"(\\?\)";
constexpr std::wstring_view LongUncPrefix = LR"(\\?\UNC\)";

std::wstring withoutLongPathPrefix(std::wstring path) {
    if (path.starts_with(LongUncPrefix)) return LR"(\\)" + path.substr(LongUncPrefix.size());
    if (path.starts_with(LongPathPrefix)) return path.substr(LongPathPrefix.size());
    return path;
}

// The system's description of an error, without its closing full stop and line break.
std::string systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(error) : windows::narrow(text);
}

[[noreturn]] void throwFileError(const std::string& action, const fs::path& path, const std::string& reason) {
    throw FileError("Cannot " + action + " \"" + windows::narrow(withoutLongPathPrefix(path.native())) +
                    "\": " + reason);
}

[[noreturn]] void throwFileError(const std::string& action, const fs::path& path, DWORD error) {
    throwFileError(action, path, systemMessage(error));
}

// Closes the handle it owns when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool close() {
        return !valid() || ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE handle_;
};

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int MaxLinks = 40;
// ReadFile and WriteFile count in 32 bits: large transfers go in pieces of this size.
constexpr std::size_t LargestTransfer = 1 << 30;

bool isFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring fullPathOf(const fs::path& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path.native();
    std::wstring full(size, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(written < size ? written : 0);
    return full;
}

// The path by which the system knows an opened file, after every link on the way.
std::wstring finalPathOf(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (size == 0) return {};
        if (size < path.size()) {
            path.resize(size);
            return path;
        }
        path.assign(size, L'\0');
    }
}

bool sameText(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

// The link's own record: which path a symbolic link names (REPARSE_DATA_BUFFER's layout
// for IO_REPARSE_TAG_SYMLINK, which the user-mode headers do not declare).
struct SymbolicLinkRecord {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteNameOffset;
    USHORT substituteNameLength;
    USHORT printNameOffset;
    USHORT printNameLength;
    ULONG flags;
};
constexpr ULONG RelativeLink = 1;  // SYMLINK_FLAG_RELATIVE

// The path the symbolic link at `link` names, read from the link itself so that a link to a
// file not there yet is followed too. Nothing for a reparse point of another kind.
std::optional<fs::path> symbolicLinkTarget(const fs::path& link) {
    FileHandle file(::CreateFileW(link.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) throwFileError("follow the link", link, ::GetLastError());
    alignas(ULONG) std::array<std::byte, MAXIMUM_REPARSE_DATA_BUFFER_SIZE> data{};
    DWORD size = 0;
    if (!::DeviceIoControl(file.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                           static_cast<DWORD>(data.size()), &size, nullptr))
        throwFileError("follow the link", link, ::GetLastError());
    SymbolicLinkRecord record{};
    if (size < sizeof record) return std::nullopt;
    std::memcpy(&record, data.data(), sizeof record);
    if (record.tag != IO_REPARSE_TAG_SYMLINK) return std::nullopt;
    auto name = [&](USHORT offset, USHORT length) {
        if (sizeof record + offset + length > size) throwFileError("follow the link", link, ERROR_INVALID_REPARSE_DATA);
        std::wstring text(length / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data() + sizeof record + offset, length);
        return text;
    };
    std::wstring target = name(record.printNameOffset, record.printNameLength);
    if (target.empty()) {
        // The substitute name is in the object manager's form: \??\C:\... or \??\UNC\...
        target = name(record.substituteNameOffset, record.substituteNameLength);
        if (target.starts_with(LR"(\??\UNC\)")) target = LR"(\\)" + target.substr(8);
        else if (target.starts_with(LR"(\??\)")) target = target.substr(4);
    }
    if (record.flags & RelativeLink) return link.parent_path() / target;
    return fs::path(target);
}

// Follows symbolic links to the file that is to be replaced, so that the links themselves
// stay as they are. The final name need not exist yet. A path that names no link is kept as
// given, so that messages name the file as the user did.
fs::path resolveLinks(fs::path path) {
    for (int depth = 0; depth < MaxLinks; ++depth) {
        FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (file.valid()) {
            // The system has followed every link: it knows where they end.
            std::wstring finalPath = finalPathOf(file.get());
            if (finalPath.empty() || sameText(withoutLongPathPrefix(finalPath), fullPathOf(path))) return path;
            return fs::path(std::move(finalPath));
        }
        // Nothing to open: a new file, or a link that names a file not there yet.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
        std::optional<fs::path> target = symbolicLinkTarget(path);
        if (!target) return path;
        path = std::move(*target);
    }
    throwFileError("follow the link", path, ERROR_CANT_RESOLVE_FILENAME);
}

void writeAll(HANDLE file, const char* data, std::size_t size, const fs::path& path) {
    while (size > 0) {
        DWORD written = 0;
        const auto part = static_cast<DWORD>(std::min(size, LargestTransfer));
        if (!::WriteFile(file, data, part, &written, nullptr)) throwFileError("write", path, ::GetLastError());
        if (written == 0) throwFileError("write", path, ERROR_WRITE_FAULT);
        data += written;
        size -= written;
    }
}

// Collects small pieces into a block so that the disk sees few large writes; a large piece
// goes to the file straight from the caller's buffer.
// `path` is the file being replaced, the one that error messages name.
class TemporaryFileSink final : public ByteSink {
public:
    // `sizeHint`: about how many bytes will be written, 0 when unknown; the block is no larger.
    TemporaryFileSink(HANDLE file, fs::path path, std::size_t sizeHint)
        : file_(file),
          path_(std::move(path)),
          blockSize_(sizeHint > 0 && sizeHint < MaximumBlockSize ? sizeHint : MaximumBlockSize),
          block_(blockSize_) {}

    void write(const char* data, std::size_t size) override {
        if (size >= blockSize_) {
            writeAll(file_, block_.data(), std::exchange(used_, 0), path_);
            writeAll(file_, data, size, path_);
            return;
        }
        while (size > 0) {
            const std::size_t part = std::min(size, blockSize_ - used_);
            std::memcpy(block_.data() + used_, data, part);
            used_ += part;
            data += part;
            size -= part;
            if (used_ == blockSize_) writeAll(file_, block_.data(), std::exchange(used_, 0), path_);
        }
    }

    // Writes what is left and flushes the file to disk.
    void finish() {
        writeAll(file_, block_.data(), std::exchange(used_, 0), path_);
        if (!::FlushFileBuffers(file_)) throwFileError("flush", path_, ::GetLastError());
    }

private:
    static constexpr std::size_t MaximumBlockSize = 4 << 20;
    HANDLE file_;
    fs::path path_;
    std::size_t blockSize_;
    PageBuffer block_;
    std::size_t used_ = 0;
};

// A short name beside the target that no other save picks at the same time; its length
// does not depend on the target's, so it always fits the name limit.
std::wstring temporaryName(unsigned attempt) {
    static std::atomic<std::uint64_t> counter{0};
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    std::uint64_t seed = static_cast<std::uint64_t>(now.QuadPart) ^ (std::uint64_t{::GetCurrentProcessId()} << 32) ^
                         (++counter * 0x9E3779B97F4A7C15ull) ^ attempt;
    constexpr std::wstring_view Letters = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring name = L".norvane-";
    for (int i = 0; i < 12; ++i) {
        seed ^= seed >> 31;
        seed *= 0xBF58476D1CE4E5B9ull;
        name += Letters[seed % Letters.size()];
    }
    return name;
}

// Gives `replacement` the access rights of `replaced`: its list of who may do what, whether
// that list takes entries from the folder, and, where this user may set them, its owner and
// group (a standard user may not give a file to someone else; the file is then theirs).
void copyAccessRights(const fs::path& replaced, const fs::path& replacement) {
    PACL dacl = nullptr;
    PSID owner = nullptr;
    PSID group = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = ::GetNamedSecurityInfoW(replaced.c_str(), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION |
                                              GROUP_SECURITY_INFORMATION,
                                          &owner, &group, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) throwFileError("save", replaced, error);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION inheritance =
        (control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
    // The API takes the name as writable, though it does not write it.
    std::wstring name = replacement.native();
    error = ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                                    nullptr, dacl, nullptr);
    if (error == ERROR_SUCCESS)
        ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                owner, group, nullptr, nullptr);
    ::LocalFree(descriptor);
    if (error != ERROR_SUCCESS) throwFileError("save", replaced, error);
}

// Reads up to `size` bytes; 0 at the end of the file.
std::size_t readSome(HANDLE file, char* data, std::size_t size, const fs::path& path) {
    DWORD got = 0;
    if (!::ReadFile(file, data, static_cast<DWORD>(std::min(size, LargestTransfer)), &got, nullptr))
        throwFileError("read", path, ::GetLastError());
    return got;
}

// Refuses what is not a file on disk (a device such as NUL, a pipe): it is neither read
// nor replaced.
void refuseAllButDiskFiles(HANDLE file, const fs::path& path, const std::string& action) {
    if (::GetFileType(file) != FILE_TYPE_DISK) throwFileError(action, path, "not a regular file");
}

}  // namespace

FileContents readWholeFile(const fs::path& path, const std::function<std::size_t(std::size_t)>& capacityFor) {
    // Others may go on writing or renaming the file while it is read, as they do with logs.
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) throwFileError("open", path, ::GetLastError());
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file.get(), &information)) throwFileError("read", path, ::GetLastError());
    if (isFolder(information.dwFileAttributes)) throwFileError("open", path, "it is a folder");
    refuseAllButDiskFiles(file.get(), path, "open");
    LARGE_INTEGER fileSize{};
    if (!::GetFileSizeEx(file.get(), &fileSize)) throwFileError("read", path, ::GetLastError());

    // Read to the end, whatever the size said: the file may grow while it is read.
    const auto expected = static_cast<std::size_t>(fileSize.QuadPart);
    FileContents contents{PageBuffer(std::max(capacityFor(expected), expected)), 0};
    for (;;) {
        const std::size_t room = contents.buffer.capacity() - contents.size;
        if (room > 0) {
            const std::size_t got = readSome(file.get(), contents.buffer.data() + contents.size, room, path);
            if (got == 0) return contents;
            contents.size += got;
            continue;
        }
        // The buffer is full: a small read tells whether the file goes on before any copy.
        std::array<char, 64 << 10> probe;
        const std::size_t got = readSome(file.get(), probe.data(), probe.size(), path);
        if (got == 0) return contents;
        const std::size_t size = contents.size + got;
        PageBuffer larger(std::max(capacityFor(size), 2 * size));
        if (contents.size > 0) std::memcpy(larger.data(), contents.buffer.data(), contents.size);
        std::memcpy(larger.data() + contents.size, probe.data(), got);
        contents.buffer = std::move(larger);
        contents.size = size;
    }
}

namespace windows {
std::shared_ptr<FileOrigin::State> originOf(const fs::path& path);
bool isUnchanged(const FileOrigin& origin);
}  // namespace windows

// A MappedFile reads the whole file into memory here, so nothing reads the old bytes while
// they are written over: `beforeOverwriting` has nothing to do. Saves replace the file
// whole, so they need no lock: the last one wins, each whole.
FileOrigin writeFileAtomically(const fs::path& requested, const std::function<void(ByteSink&)>& produce,
                               const SaveOptions& options) {
    const fs::path target = resolveLinks(options.over ? options.over->path() : requested);
    if (options.over && !windows::isUnchanged(*options.over))
        throwFileError("save", target, "another program changed, replaced or removed the file since it was read; "
                                       "it is left as the other program made it");

    const DWORD old = ::GetFileAttributesW(target.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) throwFileError("save", target, error);
    }
    if (isFolder(old)) throwFileError("save", target, "it is a folder");
    if (exists && (old & FILE_ATTRIBUTE_READONLY)) throwFileError("save", target, "the file is read-only");
    if (exists) {
        FileHandle existing(::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!existing.valid()) throwFileError("save", target, ::GetLastError());
        refuseAllButDiskFiles(existing.get(), target, "save");
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");
    fs::path temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder / temporaryName(attempt);
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = ::GetLastError();
        if (created == INVALID_HANDLE_VALUE && (error != ERROR_FILE_EXISTS || attempt == 100))
            throwFileError("save", target, error);
    }
    FileHandle file(created);

    try {
        {
            TemporaryFileSink sink(file.get(), target, options.sizeHint);
            produce(sink);
            sink.finish();
        }
        if (!file.close()) throwFileError("save", target, ::GetLastError());
        if (!exists) {
            // Never over a file that appeared meanwhile.
            if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
                throwFileError("save", target, ::GetLastError());
            return FileOrigin(windows::originOf(target));
        }
        // The new file takes the old one's attributes and access rights, then its place in
        // one rename, so that the name never stands empty, not even for a moment
        // (ReplaceFileW removes the old file first on some systems). NTFS gives a file that
        // takes another's name the old one's creation time by itself.
        constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        copyAccessRights(target, temporary);
        if (old & Kept) ::SetFileAttributesW(temporary.c_str(), old & Kept);
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throwFileError("replace", target, ::GetLastError());
        return FileOrigin(windows::originOf(target));
    } catch (...) {
        file.close();
        ::DeleteFileW(temporary.c_str());
        throw;
    }
}

// Windows saves replace each file whole with a write-through rename: a save of many files
// is each file's save in turn.
struct PreparedSave::State {
    FileOrigin done;
};

PreparedSave::PreparedSave(std::unique_ptr<State> state) : state_(std::move(state)) {}
PreparedSave::PreparedSave(PreparedSave&&) noexcept = default;
PreparedSave& PreparedSave::operator=(PreparedSave&&) noexcept = default;
PreparedSave::~PreparedSave() = default;

FileOrigin PreparedSave::commit() { return state_->done; }

PreparedSave prepareSave(const fs::path& path, const std::function<void(ByteSink&)>& produce,
                         const SaveOptions& options, bool /*flushEach*/) {
    return PreparedSave(std::make_unique<PreparedSave::State>(PreparedSave::State{writeFileAtomically(path, produce, options)}));
}

// Each save is complete when it is added.
struct SaveBatch::Work {
    std::mutex mutex;
    std::vector<std::exception_ptr> failures;
};

SaveBatch::SaveBatch() : work_(std::make_unique<Work>()) {}
SaveBatch::~SaveBatch() = default;

std::size_t SaveBatch::add(PreparedSave save) {
    save.commit();
    const std::lock_guard lock(work_->mutex);
    work_->failures.emplace_back();
    return work_->failures.size() - 1;
}

std::vector<std::exception_ptr> SaveBatch::finish() {
    const std::lock_guard lock(work_->mutex);
    return std::exchange(work_->failures, {});
}

// One: a file one thread has open to read it cannot be replaced by another, and each save
// is complete when prepared, so there is no wait to share.
std::size_t savesToPrepareAtOnce() { return 1; }

// Windows has no small limit of open files a process must raise.
std::size_t raiseOpenFileLimit() { return 8192; }

}  // namespace norvane::platform
