#include "engine/text_store.h"

#include "engine/simd.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace norvane {
namespace {

constexpr std::size_t ProgressStep = 16 << 20;

}  // namespace

TextStore::TextStore() { pointAtOwner(); }

TextStore::TextStore(platform::MappedFile file, std::size_t offset, const ProgressReporter& progress, int from,
                     int to)
    : owner_(std::move(file)) {
    const auto& mapped = std::get<platform::MappedFile>(owner_);
    offset_ = std::min(offset, mapped.size());
    size_ = mapped.size() - offset_;
    pointAtOwner();
    index(0, progress, from, to);
}

TextStore::TextStore(platform::PageBuffer buffer, std::size_t size) : owner_(std::move(buffer)), size_(size) {
    pointAtOwner();
    index(0);
}

TextStore::TextStore(TextStore&& other) noexcept
    : owner_(std::move(other.owner_)),
      offset_(other.offset_),
      size_(other.size_),
      lineFeedsBefore_(std::move(other.lineFeedsBefore_)),
      pairsBefore_(std::move(other.pairsBefore_)) {
    pointAtOwner();
}

TextStore& TextStore::operator=(TextStore&& other) noexcept {
    owner_ = std::move(other.owner_);
    offset_ = other.offset_;
    size_ = other.size_;
    lineFeedsBefore_ = std::move(other.lineFeedsBefore_);
    pairsBefore_ = std::move(other.pairsBefore_);
    pointAtOwner();
    return *this;
}

void TextStore::pointAtOwner() {
    data_ = std::visit([](const auto& owner) { return static_cast<const char*>(owner.data()); }, owner_) + offset_;
}

void TextStore::append(std::string_view bytes) {
    auto& text = std::get<std::string>(owner_);
    const std::size_t old = size_;
    text.append(bytes);
    size_ = text.size();
    pointAtOwner();
    index(old);
}

TextStore::Counts TextStore::countIn(std::size_t begin, std::size_t end) const {
    Counts counts;
    if (begin >= end) return counts;
    bool carry = begin > 0 && data_[begin - 1] == '\r';
    std::size_t i = begin;
    for (; i + 16 <= end; i += 16) {
        const unsigned lineFeeds = matches16(data_ + i, '\n'), returns = matches16(data_ + i, '\r');
        counts.lineFeeds += countBits16(lineFeeds);
        counts.pairs += countBits16(lineFeeds & ((returns << 1) | (carry ? 1u : 0u)));
        carry = (returns >> 15) & 1;
    }
    for (; i < end; ++i) {
        if (data_[i] == '\n') {
            ++counts.lineFeeds;
            counts.pairs += carry;
        }
        carry = data_[i] == '\r';
    }
    return counts;
}

void TextStore::index(std::size_t from, const ProgressReporter& progress, int fromPercent, int toPercent) {
    std::size_t block = from / BlockSize;
    const std::size_t blocks = size_ / BlockSize + 1;
    lineFeedsBefore_.resize(blocks);
    pairsBefore_.resize(blocks);
    int reported = -1;
    for (; block + 1 < blocks; ++block) {
        const Counts counts = countIn(block * BlockSize, (block + 1) * BlockSize);
        lineFeedsBefore_[block + 1] = lineFeedsBefore_[block] + counts.lineFeeds;
        pairsBefore_[block + 1] = pairsBefore_[block] + counts.pairs;
        if (progress && (block * BlockSize) % ProgressStep == 0) {
            const auto percent = fromPercent + static_cast<int>((toPercent - fromPercent) * block / blocks);
            if (percent != reported) progress(reported = percent);
        }
    }
}

std::size_t TextStore::lineFeedsBefore(std::size_t position) const {
    const std::size_t block = position / BlockSize;
    return lineFeedsBefore_[block] + countIn(block * BlockSize, position).lineFeeds;
}

std::size_t TextStore::pairsBefore(std::size_t position) const {
    const std::size_t block = position / BlockSize;
    return pairsBefore_[block] + countIn(block * BlockSize, position).pairs;
}

// A short range is counted directly, a long one from the blocks it spans.
std::size_t TextStore::lineFeedsIn(std::size_t begin, std::size_t end) const {
    if (end <= begin) return 0;
    return end - begin <= BlockSize ? countIn(begin, end).lineFeeds : lineFeedsBefore(end) - lineFeedsBefore(begin);
}

std::size_t TextStore::pairsIn(std::size_t begin, std::size_t end) const {
    if (end <= begin) return 0;
    return end - begin <= BlockSize ? countIn(begin, end).pairs : pairsBefore(end) - pairsBefore(begin);
}

std::size_t TextStore::blockWithNth(const std::vector<std::uint64_t>& before, std::size_t n) const {
    const auto after = std::upper_bound(before.begin(), before.end(), n);
    return static_cast<std::size_t>(after - before.begin()) - 1;
}

std::size_t TextStore::scanForNth(std::size_t position, std::size_t n, bool pairs) const {
    bool carry = position > 0 && data_[position - 1] == '\r';
    for (; position + 16 <= size_; position += 16) {
        const unsigned returns = matches16(data_ + position, '\r');
        unsigned found = matches16(data_ + position, '\n');
        if (pairs) found &= (returns << 1) | (carry ? 1u : 0u);
        carry = (returns >> 15) & 1;
        const unsigned count = countBits16(found);
        if (n < count) {
            for (; n > 0; --n) found &= found - 1;
            return position + static_cast<std::size_t>(std::countr_zero(found));
        }
        n -= count;
    }
    for (; position < size_; ++position) {
        if (data_[position] == '\n' && (!pairs || carry)) {
            if (n == 0) return position;
            --n;
        }
        carry = data_[position] == '\r';
    }
    assert(false && "fewer matches than asked for");
    return size_;
}

// A match within a block of `from` is scanned for from there; one further away is found
// by its block.
std::size_t TextStore::lineFeedAt(std::size_t from, std::size_t n) const {
    if (countIn(from, std::min(size_, from + BlockSize)).lineFeeds > n) return scanForNth(from, n, false);
    n += lineFeedsBefore(from);
    const std::size_t block = blockWithNth(lineFeedsBefore_, n);
    return scanForNth(block * BlockSize, n - lineFeedsBefore_[block], false);
}

std::size_t TextStore::pairAt(std::size_t from, std::size_t n) const {
    if (countIn(from, std::min(size_, from + BlockSize)).pairs > n) return scanForNth(from, n, true);
    n += pairsBefore(from);
    const std::size_t block = blockWithNth(pairsBefore_, n);
    return scanForNth(block * BlockSize, n - pairsBefore_[block], true);
}

TextStore::Located TextStore::locate(std::size_t from, std::size_t crs, std::size_t offset) const {
    // Units from `from` up to a block start, which only grow with the block.
    const std::size_t base = lineFeedsBefore(from);
    auto unitsBefore = [&](std::size_t block) {
        return block * BlockSize - from + crs * (lineFeedsBefore_[block] - base);
    };
    std::size_t low = from / BlockSize + 1, high = size_ / BlockSize + 1;  // first block start past `offset`
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (unitsBefore(middle) <= offset)
            low = middle + 1;
        else
            high = middle;
    }
    std::size_t position = from, units = 0, lineFeeds = 0;
    if (low > from / BlockSize + 1) {
        position = (low - 1) * BlockSize;
        units = unitsBefore(low - 1);
        lineFeeds = lineFeedsBefore_[low - 1] - base;
    }
    for (; position + 16 <= size_; position += 16) {
        const std::size_t count = countBits16(matches16(data_ + position, '\n'));
        if (units + 16 + crs * count > offset) break;
        units += 16 + crs * count;
        lineFeeds += count;
    }
    for (; position < size_; ++position) {
        const bool lineFeed = data_[position] == '\n';
        const std::size_t width = lineFeed ? crs + 1 : 1;
        if (units + width > offset) return {position, offset - units, lineFeeds};
        units += width;
        lineFeeds += lineFeed;
    }
    // Beyond the end only when the bytes changed under the index (see MappedFile).
    return {size_ > 0 ? size_ - 1 : 0, 0, lineFeeds};
}

}  // namespace norvane
