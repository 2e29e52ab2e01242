#include "engine/line_index.h"

#include "engine/simd.h"

#include <algorithm>
#include <bit>

namespace norvane {

namespace {

// Finds the CR LF pairs in one run of text and calls found(position of the LF) for each;
// `carry` says whether the run before ended in a CR, and is updated for the next run.
// Returns the number of LFs in the run.
template <class Found>
std::size_t scanPairs(std::span<const char> run, bool& carry, std::size_t offset, Found&& found) {
    std::size_t lineFeeds = 0, i = 0;
#ifdef NORVANE_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= run.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run.data() + i));
        const unsigned lineFeedBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
        const unsigned returnBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
        unsigned pairs = lineFeedBits & ((returnBits << 1) | (carry ? 1u : 0u));
        carry = (returnBits >> 15) & 1;
        lineFeeds += countBits16(lineFeedBits);
        for (; pairs; pairs &= pairs - 1) found(offset + i + static_cast<std::size_t>(std::countr_zero(pairs)));
    }
#endif
    for (; i < run.size(); ++i) {
        if (run[i] == '\n') {
            ++lineFeeds;
            if (carry) found(offset + i);
        }
        carry = run[i] == '\r';
    }
    return lineFeeds;
}

}  // namespace

std::size_t LineIndex::rebuild(const GapArray<char>& text) {
    textLength_ = text.size();
    starts_.clear();
    // Room for a guess at the number of lines, doubled whenever it runs out.
    std::span<std::uint64_t> room = starts_.openEnd(text.size() / 64 + 1024);
    std::size_t count = 0, lineFeeds = 0, offset = 0;
    bool carry = false;
    for (std::span<const char> run : {text.beforeGap(), text.afterGap()}) {
        lineFeeds += scanPairs(run, carry, offset, [&](std::size_t lineFeed) {
            if (count == room.size()) {
                starts_.closeEnd(count);
                room = starts_.openEnd(count);
            }
            room[count++] = lineFeed + 1;
        });
        offset += run.size();
    }
    starts_.closeEnd(count);
    return lineFeeds;
}

std::span<std::uint64_t> LineIndex::beginAssign(std::size_t count) {
    // A larger table is allocated before the old one is let go, so that running out of
    // memory leaves the index as it was.
    if (starts_.capacity() < count)
        starts_ = GapArray<std::uint64_t>(platform::PageBuffer(count * sizeof(std::uint64_t)), 0);
    starts_.clear();
    std::span<std::uint64_t> table = starts_.openEnd(count).first(count);
    starts_.closeEnd(count);
    return table;
}

void LineIndex::endAssign(std::size_t textLength) { textLength_ = textLength; }

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
    // The CR LF cases of a splice, named as the tests name them. The edit "splits a pair"
    // (inserts between its CR and LF), "deletes the CR of a pair" or "deletes its LF": that
    // pair ends no line. Its start lies from position + 1 to position + removed + 1, and is
    // dropped here with the starts of the removed text.
    const std::size_t first = startsBefore(position + 1);
    const std::size_t last = startsUpTo(position + removed + 1);
    moveGap(last);
    starts_.erase(first, last - first);
    textLength_ = text.size();

    // A "CR before a LF joins them", an "LF behind a CR joins them", "a deletion joins a
    // pair" across the edit's edges, and pairs inside the inserted text ("a new pair inside
    // a split one" among them): all are found from the character before the edit to the
    // last one inserted. A pair the edit left whole keeps its start.
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
