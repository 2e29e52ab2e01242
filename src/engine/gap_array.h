#pragma once

#include "platform/page_buffer.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

namespace norvane {

// A sequence with a movable gap: inserting or erasing at the gap costs only the items
// touched, so a run of edits near one place never moves the whole sequence. Moving the
// gap costs the distance moved. Items are trivially copyable values.
//
// Invariants: the storage holds capacity_ items; gapStart_ + gapLength_ <= capacity_;
// the contents are items [0, gapStart_) followed by items [gapStart_ + gapLength_,
// capacity_), so size() is capacity_ - gapLength_; the items inside the gap mean nothing.
template <class T>
class GapArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GapArray() = default;

    // Takes over storage whose first `size` items are the contents; the rest is the gap.
    GapArray(platform::PageBuffer storage, std::size_t size)
        : storage_(std::move(storage)),
          capacity_(storage_.capacity() / sizeof(T)),
          gapStart_(size),
          gapLength_(capacity_ - size) {
        assert(size <= capacity_);
    }

    std::size_t size() const { return capacity_ - gapLength_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size() == 0; }
    std::size_t gapPosition() const { return gapStart_; }

    T operator[](std::size_t index) const {
        assert(index < size());
        return items()[index < gapStart_ ? index : index + gapLength_];
    }
    T& operator[](std::size_t index) {
        assert(index < size());
        return items()[index < gapStart_ ? index : index + gapLength_];
    }

    // The contents are these two runs, one before the gap and one after it.
    std::span<const T> beforeGap() const { return {items(), gapStart_}; }
    std::span<const T> afterGap() const {
        return {items() + gapStart_ + gapLength_, capacity_ - gapStart_ - gapLength_};
    }

    void copyTo(std::size_t position, std::size_t count, T* out) const {
        assert(position + count <= size());
        if (position < gapStart_) {
            std::size_t part = std::min(count, gapStart_ - position);
            std::memcpy(out, items() + position, part * sizeof(T));
            out += part;
            position += part;
            count -= part;
        }
        if (count > 0) std::memcpy(out, items() + position + gapLength_, count * sizeof(T));
    }

    void moveGap(std::size_t position) {
        assert(position <= size());
        if (position < gapStart_) {
            std::memmove(items() + position + gapLength_, items() + position,
                         (gapStart_ - position) * sizeof(T));
        } else if (position > gapStart_) {
            std::memmove(items() + gapStart_, items() + gapStart_ + gapLength_,
                         (position - gapStart_) * sizeof(T));
        }
        gapStart_ = position;
    }

    void insert(std::size_t position, const T* values, std::size_t count) {
        if (count == 0) return;
        if (gapLength_ < count) grow(count);
        moveGap(position);
        std::memcpy(items() + gapStart_, values, count * sizeof(T));
        gapStart_ += count;
        gapLength_ -= count;
    }

    void erase(std::size_t position, std::size_t count) {
        assert(position + count <= size());
        if (count == 0) return;
        moveGap(position);
        gapLength_ += count;
    }

    void clear() {
        gapStart_ = 0;
        gapLength_ = capacity_;
    }

    // Moves the gap to the end and makes it at least `room` items long, for a pass that
    // rewrites the contents in place. Returns the contents followed by the room.
    std::span<T> openEnd(std::size_t room) {
        moveGap(size());
        if (gapLength_ < room) grow(room);
        return {items(), capacity_};
    }

    // Ends such a pass: the first `newSize` items are now the contents.
    void closeEnd(std::size_t newSize) {
        assert(gapStart_ == size() && newSize <= capacity_);
        gapStart_ = newSize;
        gapLength_ = capacity_ - newSize;
    }

private:
    T* items() { return reinterpret_cast<T*>(storage_.data()); }
    const T* items() const { return reinterpret_cast<const T*>(storage_.data()); }

    // Reallocates with a gap of at least `minimumGap` items, plus headroom in proportion
    // to the size so that a long run of insertions stays linear.
    void grow(std::size_t minimumGap) {
        constexpr std::size_t MinimumHeadroom = 4096;
        const std::size_t used = size();
        const std::size_t gap = std::max({minimumGap, used / 4, MinimumHeadroom});
        platform::PageBuffer larger((used + gap) * sizeof(T));
        T* target = reinterpret_cast<T*>(larger.data());
        const std::size_t newCapacity = larger.capacity() / sizeof(T);
        const std::size_t tail = capacity_ - gapStart_ - gapLength_;
        if (gapStart_) std::memcpy(target, items(), gapStart_ * sizeof(T));
        if (tail) std::memcpy(target + newCapacity - tail, items() + gapStart_ + gapLength_, tail * sizeof(T));
        storage_ = std::move(larger);
        capacity_ = newCapacity;
        gapLength_ = newCapacity - used;
    }

    platform::PageBuffer storage_;
    std::size_t capacity_ = 0;
    std::size_t gapStart_ = 0;
    std::size_t gapLength_ = 0;
};

}  // namespace norvane
