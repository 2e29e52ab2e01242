#include "platform/page_buffer.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace norvane::platform {
namespace {

// Below this size the ordinary heap is cheaper than a mapping of its own.
constexpr std::size_t MappingThreshold = 1 << 20;
constexpr std::size_t HugePageSize = 2 << 20;

}  // namespace

PageBuffer::PageBuffer(std::size_t capacity) : capacity_(capacity) {
    if (capacity < MappingThreshold) {
        data_ = capacity ? static_cast<char*>(::operator new(capacity)) : nullptr;
        return;
    }
    capacity_ = (capacity + HugePageSize - 1) / HugePageSize * HugePageSize;
    void* block = ::mmap(nullptr, capacity_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                         -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(block, capacity_, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
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
        ::munmap(data_, capacity_);
    else
        ::operator delete(data_);
    data_ = nullptr;
    capacity_ = 0;
}

}  // namespace norvane::platform
