#pragma once

#include <cstddef>

namespace norvane::platform {

// A block of memory for large documents, taken straight from the operating system.
// Big blocks are advised for huge pages: touching fresh memory page by page costs
// more than copying into it, so documents of hundreds of MB live in such blocks.
// Untouched capacity costs address space only. Contents start uninitialised.
class PageBuffer {
public:
    PageBuffer() = default;
    explicit PageBuffer(std::size_t capacity);  // throws std::bad_alloc
    ~PageBuffer();

    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    char* data() noexcept { return data_; }
    const char* data() const noexcept { return data_; }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    void release() noexcept;

    // Maps a region of at least `capacity` bytes straight from the system, rounding
    // `capacity` up to what it maps; throws std::bad_alloc. One per system.
    static char* mapRegion(std::size_t& capacity);
    static void unmapRegion(char* region, std::size_t capacity) noexcept;

    char* data_ = nullptr;
    std::size_t capacity_ = 0;
    bool mapped_ = false;
};

}  // namespace norvane::platform
