#include "platform/page_buffer.h"

#include <windows.h>

#include <new>
#include <utility>

namespace norvane::platform {
namespace {

// Below this size the ordinary heap is cheaper than a region of its own.
constexpr std::size_t RegionThreshold = 1 << 20;
constexpr std::size_t PageSize = 4096;

}  // namespace

// Large blocks are committed virtual memory: the system hands out zeroed pages only when they
// are first touched, so the unused room behind a document costs no physical memory. Large
// pages would need a privilege that ordinary users lack, so they are not asked for.
PageBuffer::PageBuffer(std::size_t capacity) : capacity_(capacity) {
    if (capacity < RegionThreshold) {
        data_ = capacity ? static_cast<char*>(::operator new(capacity)) : nullptr;
        return;
    }
    capacity_ = (capacity + PageSize - 1) / PageSize * PageSize;
    void* block = ::VirtualAlloc(nullptr, capacity_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block) throw std::bad_alloc();
    data_ = static_cast<char*>(block);
    mapped_ = true;
}

PageBuffer::~PageBuffer() { release(); }

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void PageBuffer::release() noexcept {
    if (!data_) return;
    if (mapped_)
        ::VirtualFree(data_, 0, MEM_RELEASE);
    else
        ::operator delete(data_);
    data_ = nullptr;
    capacity_ = 0;
}

}  // namespace norvane::platform
