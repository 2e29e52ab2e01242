#pragma once

#include "platform/file_origin.h"
#include "platform/page_buffer.h"

#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace norvane::platform {

// A file could not be read or written; what() says which file and why, in UTF-8.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FileContents {
    PageBuffer buffer;
    std::size_t size = 0;
};

// Reads a whole regular file, to its end whatever size the system gives it beforehand.
// Anything else (a folder, FIFO, device, socket) is refused without waiting on it.
// capacityFor(fileSize) says how large a buffer to allocate, so the caller can leave room
// for growth behind the contents. Throws FileError.
FileContents readWholeFile(const std::filesystem::path& path,
                           const std::function<std::size_t(std::size_t)>& capacityFor);

// Receives the bytes of a file being written.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

// The steps of a save over an existing file, in the order it takes them. A test may act
// at each of them (see SaveOptions::reached), as another program might.
enum class SaveStep {
    WaitingForLock,  // another save of the file holds its lock
    Locked,          // the lock is held and the file is still the one expected
    BackedUp,        // in place: a flushed copy of the old bytes is on disk
    Detached,        // in place: nothing reads the old bytes from the file any more
    Written,         // the new bytes are complete and flushed, not yet in the file's place
};

struct SaveOptions {
    // Save File: write only over this file, and only while it is still as it was (see
    // FileOrigin). Without it, whatever file the path names now is saved over.
    const FileOrigin* over = nullptr;
    // Runs before the file is written over in place, so that whoever still reads the
    // file's old bytes (a MappedFile of it) can stop depending on them.
    std::function<void()> beforeOverwriting;
    // How long to wait for another save of the same file to end.
    std::chrono::milliseconds lockWait{5000};
    // Runs as the save reaches each step.
    std::function<void(SaveStep)> reached;
    // About how many bytes `produce` writes, where known: the save's buffers are no larger,
    // so that saving a small file costs no more than its size. Zero: unknown.
    std::size_t sizeHint = 0;
};

// Saves the bytes that `produce` writes into the sink as the file at `path`, or leaves it as
// it was: on any failure, an exception from `produce` included (I/O failures as FileError),
// the old file keeps its bytes and nothing is left behind. A symbolic link is followed and
// the file it names is saved; the path means what the system makes of it, `..` included.
// Only a regular file is saved over, and never one without write permission, whoever runs
// the program. One save of a file runs at a time, across processes: a save that finds
// another one under way waits for it up to `lockWait`, then goes on or refuses.
// The bytes go to a new file beside the target, which is flushed to disk, given the old
// file's permissions, owner, group and extended attributes (ACLs among them), and renamed
// over the target; the folder is flushed too. Where that would lose something (a second
// hard link, an owner, group or attribute the new file cannot be given, a folder where no
// file can be created), the file is written over in place instead: its old bytes go first
// to a flushed backup file (beside it, else in the user's state folder), which is removed
// once the new bytes are flushed, so a crash at any moment leaves either file whole. A
// leftover backup of an earlier interrupted save is never replaced: that save is refused.
// Returns the file saved, as the origin of a later save over it.
FileOrigin writeFileAtomically(const std::filesystem::path& path, const std::function<void(ByteSink&)>& produce,
                               const SaveOptions& options = {});

// A save prepared up to its new bytes written (see SaveBatch): prepareSave writes the new
// file without flushing it when `flushEach` is false (a save in place is done whole,
// flushed); commit() then puts it in place. A PreparedSave dropped uncommitted leaves the
// old file and nothing behind. writeFileAtomically is prepareSave with `flushEach` and
// commit().
class PreparedSave {
public:
    struct State;  // per system
    explicit PreparedSave(std::unique_ptr<State> state);
    PreparedSave(PreparedSave&&) noexcept;
    PreparedSave& operator=(PreparedSave&&) noexcept;
    ~PreparedSave();

    // Puts the new file in place; returns the file saved.
    FileOrigin commit();

private:
    friend class SaveBatch;
    std::unique_ptr<State> state_;
};

PreparedSave prepareSave(const std::filesystem::path& path, const std::function<void(ByteSink&)>& produce,
                         const SaveOptions& options, bool flushEach);

// Saves of many files that share their waits for the disk. Each save added has its new
// bytes flushed at once, on threads of the batch's own, while the caller prepares the next
// one, so that the flushes overlap each other and the writing. finish() waits for them,
// then puts each file in place, then flushes each folder once, making the new names last.
// A file is put in place only once its own new bytes are on disk, so a crash at any moment
// leaves each file old or new; and none is put in place before all are prepared, so that
// whoever prepares them reads each file as it was.
class SaveBatch {
public:
    SaveBatch();
    SaveBatch(const SaveBatch&) = delete;
    SaveBatch& operator=(const SaveBatch&) = delete;
    ~SaveBatch();  // finishes the saves added

    // Hands a save over, from any thread; returns its position in what finish() returns.
    std::size_t add(PreparedSave save);
    // Once every add() has returned, waits for every save added; returns how each ended, in the order added: null when
    // saved, else its failure (FileError, std::bad_alloc), its file then left as it was.
    std::vector<std::exception_ptr> finish();

private:
    struct Work;  // per system
    std::unique_ptr<Work> work_;
};

// How many threads may read and prepare the saves of one SaveBatch at once.
std::size_t savesToPrepareAtOnce();

// Lets the process open as many files as the system allows it; returns how many that is,
// less a margin for what else it opens.
std::size_t raiseOpenFileLimit();

}  // namespace norvane::platform
