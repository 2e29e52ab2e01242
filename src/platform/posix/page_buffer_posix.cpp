#include "platform/page_buffer.h"

#include <sys/mman.h>

#include <new>

namespace norvane::platform {
namespace {

constexpr std::size_t HugePageSize = 2 << 20;

}  // namespace

// Regions are advised for huge pages: touching fresh memory page by page costs more than
// copying into it.
char* PageBuffer::mapRegion(std::size_t& capacity) {
    capacity = (capacity + HugePageSize - 1) / HugePageSize * HugePageSize;
    void* region = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(region, capacity, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
    return static_cast<char*>(region);
}

void PageBuffer::unmapRegion(char* region, std::size_t capacity) noexcept { ::munmap(region, capacity); }

}  // namespace norvane::platform
