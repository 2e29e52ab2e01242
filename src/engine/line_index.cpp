#include "engine/line_index.h"

#include "engine/byte_scan.h"

#include <algorithm>

namespace norvane {

void LineIndex::rebuild(const GapArray<char>& text) {
    textLength_ = text.size();
    starts_.clear();
    // Every CR LF ends at a LF, so the LF count bounds the number of starts.
    const std::size_t lineFeeds = countByte(text.beforeGap(), '\n') + countByte(text.afterGap(), '\n');
    std::span<std::uint64_t> room = starts_.openEnd(lineFeeds);
    std::size_t count = 0;
    forEachByte(text, '\n', [&](std::size_t position) {
        if (position > 0 && text[position - 1] == '\r') room[count++] = position + 1;
    });
    starts_.closeEnd(count);
}

std::size_t LineIndex::startsBefore(std::size_t position) const {
    std::size_t low = 0, high = starts_.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (startAt(middle) < position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void LineIndex::moveGap(std::size_t k) {
    const std::size_t old = starts_.gapPosition();
    starts_.moveGap(k);
    // The starts that crossed the gap change between position and distance from the end.
    for (std::size_t i = std::min(k, old), end = std::max(k, old); i < end; ++i)
        starts_[i] = textLength_ - starts_[i];
}

void LineIndex::update(const GapArray<char>& text, std::size_t position, std::size_t removed,
                       std::size_t inserted) {
    // A pair that lost a character, or that the edit split apart, no longer ends a line:
    // those are the starts from position + 1 to position + removed + 1.
    const std::size_t first = startsBefore(position + 1);
    const std::size_t last = startsUpTo(position + removed + 1);
    moveGap(last);
    starts_.erase(first, last - first);
    textLength_ = text.size();

    // Pairs can form inside the inserted text and across both of its edges.
    const std::size_t from = position > 0 ? position - 1 : 0;
    const std::size_t to = std::min(position + inserted, textLength_ - (textLength_ > 0 ? 1 : 0));
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            const std::uint64_t start = i + 2;
            starts_.insert(starts_.gapPosition(), &start, 1);
        }
    }
}

}  // namespace norvane
