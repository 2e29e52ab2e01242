#include "platform/mapped_file.h"

#include "platform/file_io.h"
#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

namespace norvane::platform {
namespace {

// The mapped ranges the SIGBUS handler may repair. A signal handler can reach nothing but
// state of the process's own, so this table is the one piece of process-wide state here;
// it holds only lock-free atomics, which a handler may touch.
// A range is claimed, then published begin first and end last, and withdrawn end first:
// the handler, which reads end before begin, never sees it wider than it is.
struct GuardedRange {
    std::atomic<bool> claimed{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
};
constexpr std::size_t MaxGuardedRanges = 64;
constinit std::array<GuardedRange, MaxGuardedRanges> guardedRanges{};
constinit std::atomic<std::uintptr_t> pageSize{0};
constinit struct sigaction previousAction {};

// A page that the file no longer has: a page of NUL bytes takes its place, and reading
// goes on. The page is writable, as detaching a mapping writes to every page. A SIGBUS anywhere else goes to the handler there was before, or ends the
// program as it would have.
void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardedRange& range : guardedRanges) {
        const std::uintptr_t end = range.end.load();
        if (end == 0 || address >= end || address < range.begin.load()) continue;
        const std::uintptr_t page = address & ~(pageSize.load() - 1);
        void* replaced = ::mmap(reinterpret_cast<void*>(page), pageSize.load(), PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (replaced != MAP_FAILED) {
            range.faulted.store(true);
            return;  // the faulting read runs again and finds NUL bytes
        }
    }
    if (previousAction.sa_flags & SA_SIGINFO) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_IGN && previousAction.sa_handler != SIG_DFL) {
        previousAction.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // the faulting read runs again and ends the program
    }
}

void installHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize.store(static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousAction);
    });
}

// Claims a free range of the table; nothing when it is full.
GuardedRange* guard(const char* data, std::size_t size) {
    installHandler();
    for (GuardedRange& range : guardedRanges) {
        bool free = false;
        if (!range.claimed.compare_exchange_strong(free, true)) continue;
        range.faulted.store(false);
        range.begin.store(reinterpret_cast<std::uintptr_t>(data));
        range.end.store(reinterpret_cast<std::uintptr_t>(data) + size);
        return &range;
    }
    return nullptr;
}

void release(GuardedRange& range) {
    range.end.store(0);
    range.begin.store(0);
    range.claimed.store(false);
}

}  // namespace

struct MappedFile::State {
    posix::FileDescriptor fd{-1};
    FileOrigin origin;
    struct stat opened {};
    char* mapping = nullptr;
    std::size_t size = 0;
    GuardedRange* range = nullptr;
    std::atomic<bool> detached{false};
    mutable std::atomic<bool> changed{false};  // once seen, for good
    FileContents contents;  // where the file could not be mapped

    ~State() {
        if (!mapping) return;
        if (range) release(*range);
        ::munmap(mapping, size);
    }
};

MappedFile::MappedFile() = default;

MappedFile::MappedFile(const std::filesystem::path& path) : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.origin = FileOrigin(posix::openOrigin(path, O_RDONLY, state.fd, "open"));
    state.opened = state.origin.state()->identity;
    const auto size = static_cast<std::size_t>(state.opened.st_size);
    // A small file is read: mapping and unmapping it costs more than copying it.
    constexpr std::size_t SmallestMapped = 64 << 10;
    void* mapping = size >= SmallestMapped ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, state.fd.get(), 0)
                                           : MAP_FAILED;
    if (mapping != MAP_FAILED) {
        state.mapping = static_cast<char*>(mapping);
        state.size = size;
        state.range = guard(state.mapping, size);
        if (state.range) {
            ::madvise(mapping, size, MADV_SEQUENTIAL);  // the load reads it through once
            return;
        }
        // Too many files open to guard one more: this one is read instead.
        ::munmap(mapping, size);
        state.mapping = nullptr;
        state.size = 0;
    }
    state.contents = FileContents{PageBuffer(size), 0};
    posix::readToEnd(state.fd.get(), state.contents, [](std::size_t fileSize) { return fileSize; }, path);
    state.detached = true;
    // Written to while it was read: the bytes read may mix the old and the new. (A file
    // whose size reads as 0 tells nothing by its size and times.)
    struct stat now {};
    if (size > 0 && (::fstat(state.fd.get(), &now) != 0 || !posix::sameFileUnchanged(now, state.opened) ||
                     state.contents.size != size))
        state.changed = true;
}

MappedFile::~MappedFile() = default;
MappedFile::MappedFile(MappedFile&&) noexcept = default;
MappedFile& MappedFile::operator=(MappedFile&&) noexcept = default;

const char* MappedFile::data() const {
    if (!state_) return nullptr;
    return state_->mapping ? state_->mapping : state_->contents.buffer.data();
}

std::size_t MappedFile::size() const {
    if (!state_) return 0;
    return state_->mapping ? state_->size : state_->contents.size;
}

bool MappedFile::changed() const {
    if (!state_) return false;
    if (!state_->mapping) return state_->changed.load();  // read whole: later changes are not in it
    if (state_->changed.load()) return true;
    bool changed = state_->range && state_->range->faulted.load();
    if (!changed && !state_->detached.load()) {
        struct stat now {};
        // A change of links alone (a new file renamed over this one, as editors save, or a
        // hard link made) changes the change time but no byte.
        changed = ::fstat(state_->fd.get(), &now) != 0 ||
                  (now.st_nlink == state_->opened.st_nlink ? !posix::sameFileUnchanged(now, state_->opened)
                                                          : now.st_size != state_->opened.st_size ||
                                                                now.st_mtim.tv_sec != state_->opened.st_mtim.tv_sec ||
                                                                now.st_mtim.tv_nsec != state_->opened.st_mtim.tv_nsec);
    }
    if (changed) state_->changed.store(true);
    return changed;
}

const FileOrigin& MappedFile::origin() const {
    static const FileOrigin none;
    return state_ ? state_->origin : none;
}

bool MappedFile::isFile(const std::filesystem::path& path) const {
    struct stat info {};
    return state_ && ::stat(path.c_str(), &info) == 0 && info.st_dev == state_->opened.st_dev &&
           info.st_ino == state_->opened.st_ino;
}

// The bytes are copied into fresh memory, which then takes the mapping's place at the same
// addresses in one step, so readers meanwhile see the same bytes throughout. Copy-on-write
// pages of the mapping itself would not do: cutting a file short discards even the private
// copies of the pages past its new end. A page lost before the copy reads as NUL bytes.
void MappedFile::detach() const {
    if (!state_ || !state_->mapping || state_->detached.load()) return;
    State& state = *state_;
#ifdef __linux__
    void* copy = ::mmap(nullptr, state.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (copy == MAP_FAILED) throw std::bad_alloc();
    std::memcpy(copy, state.mapping, state.size);
    ::mprotect(copy, state.size, PROT_READ);
    if (::mremap(copy, state.size, state.size, MREMAP_MAYMOVE | MREMAP_FIXED, state.mapping) == MAP_FAILED) {
        ::munmap(copy, state.size);
        throw std::bad_alloc();
    }
#else
    // Elsewhere each page is written with the byte it holds, read and written as one atomic
    // step so that a reader meanwhile sees nothing else.
    if (::mprotect(state.mapping, state.size, PROT_READ | PROT_WRITE) != 0) throw std::bad_alloc();
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t at = 0; at < state.size; at += page)
        std::atomic_ref<char>(state.mapping[at]).fetch_add(0, std::memory_order_relaxed);
    ::mprotect(state.mapping, state.size, PROT_READ);
#endif
    state.detached = true;
}

}  // namespace norvane::platform
