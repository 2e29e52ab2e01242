#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace norvane::platform {

// The file a text was read from, or last saved as: where it lies (the folder it was found
// in, kept open, and its name there) and what it was then (device, inode, size,
// modification and change times; the change time is one no program can set back). A save
// over it writes there only while the file at that name is still that very file: not
// written to since, not replaced by another one, not swapped for a symbolic link.
// Copies share one state, which never changes.
class FileOrigin {
public:
    // What tells files apart: the device (volume) and the inode (file index) on it.
    struct Key {
        std::uint64_t device = 0, file = 0;
        auto operator<=>(const Key&) const = default;
    };

    struct State;  // per system

    FileOrigin() = default;  // no file
    explicit FileOrigin(std::shared_ptr<const State> state) : state_(std::move(state)) {}

    bool empty() const { return !state_; }
    // The path the file was asked for by, for messages.
    const std::filesystem::path& path() const;
    // A copy of the file's bytes that an interrupted save left behind, as found now: the
    // file may hold part of that save's text.
    std::optional<std::filesystem::path> leftoverBackup() const;

    Key key() const;

    const State* state() const { return state_.get(); }

private:
    std::shared_ptr<const State> state_;
};

}  // namespace norvane::platform
