#include "engine/line_fixer.h"

#include "engine/simd.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace norvane {
namespace {

constexpr std::size_t ProgressStep = 1 << 20;

// Rewrites text[0, size) in place as text[0, size + lineFeeds) with a CR in front of every
// LF, working from the end so that no byte is overwritten before it has been read: the
// distance between writing and reading is the number of LFs still ahead. Since every LF
// then ends a CR LF pair, the pass also fills `lineStarts` with the position behind each
// LF, from the last slot to the first. It stops as soon as the last LF is done: the bytes
// in front of the first LF keep their places.
class LineFeedExpander {
public:
    LineFeedExpander(char* text, std::size_t size, std::size_t lineFeeds, std::span<std::uint64_t> lineStarts)
        : text_(text), source_(size), target_(size + lineFeeds), lineStarts_(lineStarts.data()) {}

    bool done() const { return target_ == source_; }
    std::size_t source() const { return source_; }

    // Processes the text down to position `stop`, or until done.
    void runDownTo(std::size_t stop) {
#ifdef NORVANE_HAVE_SSE2
        while (source_ >= stop + ChunkSize && !done()) {
            if (target_ - source_ >= SafeDistance && source_ >= 2 * ChunkSize)
                expandChunk();
            else
                runBytesDownTo(source_ - ChunkSize);
        }
#endif
        runBytesDownTo(stop);
    }

private:
    void runBytesDownTo(std::size_t stop) {
        while (source_ > stop && !done()) {
            const char c = text_[--source_];
            text_[--target_] = c;
            if (c == '\n') {
                lineStarts_[target_ - source_ - 1] = target_ + 1;
                text_[--target_] = '\r';
            }
        }
    }

#ifdef NORVANE_HAVE_SSE2
    static constexpr std::size_t ChunkSize = 64;
    // With this many LFs still ahead, every store of a chunk lands at or above source_,
    // so the chunk below source_ and the one below that are still unchanged source bytes.
    static constexpr std::size_t SafeDistance = 3 * ChunkSize;

    __m128i load(std::size_t at) const { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + at)); }

    // Copies the 64 bytes that end at `from` to end at `to`.
    void copyChunk(std::size_t to, std::size_t from) {
        const __m128i a = load(from - 64), b = load(from - 48), c = load(from - 32), d = load(from - 16);
        auto* out = reinterpret_cast<__m128i*>(text_ + to - 64);
        _mm_storeu_si128(out, a);
        _mm_storeu_si128(out + 1, b);
        _mm_storeu_si128(out + 2, c);
        _mm_storeu_si128(out + 3, d);
    }

    std::uint64_t lineFeedMask(std::size_t at) const {
        const __m128i lineFeed = _mm_set1_epi8('\n');
        std::uint64_t mask = 0;
        for (int part = 3; part >= 0; --part) {
            const __m128i bytes = load(at + 16 * static_cast<std::size_t>(part));
            mask = mask << 16 | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
        }
        return mask;
    }

    // Moves the chunk below source_ into place, a segment per LF from the top down. Each
    // segment is copied as the 64 source bytes that end where it ends; the surplus below
    // it is overwritten by the next segment down and its CR.
    void expandChunk() {
        const std::size_t base = source_ - ChunkSize;
        std::uint64_t lineFeeds = lineFeedMask(base);
        std::size_t end = ChunkSize, target = target_, slot = target_ - source_;
        while (lineFeeds) {
            const auto lineFeedAt = static_cast<std::size_t>(std::bit_width(lineFeeds)) - 1;
            lineFeeds &= ~(std::uint64_t{1} << lineFeedAt);
            copyChunk(target, base + end);
            target -= end - lineFeedAt;
            lineStarts_[--slot] = target + 1;
            text_[--target] = '\r';
            end = lineFeedAt;
        }
        copyChunk(target, base + end);
        target_ = target - end;
        source_ = base;
    }
#endif

    char* text_;
    std::size_t source_;
    std::size_t target_;
    std::uint64_t* lineStarts_;
};

}  // namespace

void fixLineEnds(Document& document, const ProgressReporter& progress) {
    const std::size_t size = document.size(), lineFeeds = document.lineFeedCount();
    if (lineFeeds > 0) {
        const Document::Rewrite rewrite = document.beginRewrite(lineFeeds, lineFeeds);
        LineFeedExpander expander(rewrite.text.data(), size, lineFeeds, rewrite.lineStarts);
        int reported = -1;
        while (!expander.done()) {
            const std::size_t source = expander.source();
            if (source == 0) throw std::logic_error("the document's LF count does not match its text");
            expander.runDownTo(source > ProgressStep ? source - ProgressStep : 0);
            const auto percent = static_cast<int>((size - expander.source()) * 100 / size);
            if (progress && percent != reported && !expander.done()) progress(reported = percent);
        }
        document.endRewrite(size + lineFeeds, lineFeeds);
    }
    if (progress) progress(100);
}

}  // namespace norvane
