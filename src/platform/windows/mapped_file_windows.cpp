#include "platform/mapped_file.h"

#include "platform/file_io.h"

#include <filesystem>

namespace norvane::platform {

// Windows keeps a mapped file from being replaced or cut short, which would stop the user
// saving over it: the file is read into memory instead.
struct MappedFile::State {
    FileContents contents;
    std::filesystem::path path;
    FileOrigin origin;
};

namespace windows {
std::shared_ptr<FileOrigin::State> originOf(const std::filesystem::path& path);
}  // namespace windows

MappedFile::MappedFile() = default;

// The file is known as it was before it was read: a change while it is read shows at the
// next save over it.
MappedFile::MappedFile(const std::filesystem::path& path) {
    FileOrigin origin(windows::originOf(path));
    state_ = std::make_unique<State>(State{readWholeFile(path, [](std::size_t size) { return size; }),
                                           std::filesystem::absolute(path), std::move(origin)});
}

MappedFile::~MappedFile() = default;
MappedFile::MappedFile(MappedFile&&) noexcept = default;
MappedFile& MappedFile::operator=(MappedFile&&) noexcept = default;

const char* MappedFile::data() const { return state_ ? state_->contents.buffer.data() : nullptr; }
std::size_t MappedFile::size() const { return state_ ? state_->contents.size : 0; }
bool MappedFile::changed() const { return false; }

const FileOrigin& MappedFile::origin() const {
    static const FileOrigin none;
    return state_ ? state_->origin : none;
}

bool MappedFile::isFile(const std::filesystem::path& path) const {
    std::error_code error;
    return state_ && std::filesystem::equivalent(state_->path, path, error);
}

void MappedFile::detach() const {}

}  // namespace norvane::platform
