#include "platform/page_buffer.h"

#include <new>
#include <utility>

namespace norvane::platform {
namespace {

// Below this size the ordinary heap is cheaper than a region of its own.
constexpr std::size_t RegionThreshold = 1 << 20;

}  // namespace

PageBuffer::PageBuffer(std::size_t capacity) : capacity_(capacity) {
    if (capacity < RegionThreshold) {
        data_ = capacity ? static_cast<char*>(::operator new(capacity)) : nullptr;
        return;
    }
    data_ = mapRegion(capacity_);
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
        unmapRegion(data_, capacity_);
    else
        ::operator delete(data_);
    data_ = nullptr;
    capacity_ = 0;
}

}  // namespace norvane::platform
