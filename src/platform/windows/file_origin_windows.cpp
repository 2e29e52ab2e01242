#include "platform/file_origin.h"

#include "platform/file_io.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace norvane::platform {
namespace fs = std::filesystem;

// What a file was when it was read: its volume and index, size and write and change times.
struct FileOrigin::State {
    fs::path path;
    std::uint64_t volume = 0, index = 0, size = 0;
    std::int64_t written = 0, changed = 0;
    bool operator==(const State& other) const {
        return volume == other.volume && index == other.index && size == other.size && written == other.written &&
               changed == other.changed;
    }
};

const fs::path& FileOrigin::path() const {
    static const fs::path none;
    return state_ ? state_->path : none;
}

// Saves on Windows never write over a file in place, so they leave no backup.
std::optional<fs::path> FileOrigin::leftoverBackup() const { return std::nullopt; }

FileOrigin::Key FileOrigin::key() const {
    if (!state_) return {};
    return {state_->volume, state_->index};
}

namespace windows {

// The file at `path` as it is now, or nothing when it can't be opened.
std::shared_ptr<FileOrigin::State> originOf(const fs::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO basic{};
    const bool known = ::GetFileInformationByHandle(file, &information) &&
                       ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    ::CloseHandle(file);
    if (!known) return nullptr;
    auto origin = std::make_shared<FileOrigin::State>();
    origin->path = fs::absolute(path);
    origin->volume = information.dwVolumeSerialNumber;
    origin->index = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    origin->size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    origin->written = basic.LastWriteTime.QuadPart;
    origin->changed = basic.ChangeTime.QuadPart;
    return origin;
}

// Whether the file at the origin's path is still that file, unchanged.
bool isUnchanged(const FileOrigin& origin) {
    const auto now = originOf(origin.path());
    return now && origin.state() && *now == *origin.state();
}

}  // namespace windows
}  // namespace norvane::platform
