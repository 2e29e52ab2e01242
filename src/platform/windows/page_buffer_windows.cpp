#include "platform/page_buffer.h"

#include <windows.h>

#include <new>

namespace norvane::platform {
namespace {

constexpr std::size_t PageSize = 4096;

}  // namespace

// Regions are committed virtual memory: the system hands out zeroed pages only when they
// are first touched, so the unused room behind a document costs no physical memory. Large
// pages would need a privilege that ordinary users lack, so they are not asked for.
char* PageBuffer::mapRegion(std::size_t& capacity) {
    capacity = (capacity + PageSize - 1) / PageSize * PageSize;
    void* region = ::VirtualAlloc(nullptr, capacity, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!region) throw std::bad_alloc();
    return static_cast<char*>(region);
}

void PageBuffer::unmapRegion(char* region, std::size_t) noexcept { ::VirtualFree(region, 0, MEM_RELEASE); }

}  // namespace norvane::platform
