#include "engine/line_fixer.h"

#include "engine/byte_scan.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define NORVANE_HAVE_SSE2 1
#endif

namespace norvane {
namespace {

constexpr std::size_t ProgressStep = 1 << 20;

// Expands the 16 bytes at `source` into `out`, ending at `out + 32`, with CR in front of
// every LF; returns how many bytes it produced.
inline std::size_t expandBlock(const char* source, char* out) {
    std::size_t free = 33;  // out has 33 bytes: one spare below the lowest one written
    for (int i = 15; i >= 0; --i) {
        const char c = source[i];
        out[--free] = c;
        out[free - 1] = '\r';
        free -= (c == '\n');
    }
    return 33 - free;
}

// Rewrites text[0, size) in place as text[0, size + lineFeeds), working from the end so
// that no byte is overwritten before it has been read. Stops early once every LF is done,
// since the bytes in front of the first LF keep their places.
void expandLineFeeds(char* text, std::size_t size, std::size_t lineFeeds, const ProgressReporter& progress) {
    std::size_t source = size, target = size + lineFeeds;
    int reported = -1;
    while (target != source) {
        const std::size_t stop = source > ProgressStep ? source - ProgressStep : 0;
#ifdef NORVANE_HAVE_SSE2
        const __m128i lineFeed = _mm_set1_epi8('\n');
        while (source >= stop + 16 && target != source) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + source - 16));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(block, lineFeed)) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(text + target - 16), block);
                source -= 16;
                target -= 16;
                continue;
            }
            alignas(16) char in[16];
            char out[33];
            _mm_store_si128(reinterpret_cast<__m128i*>(in), block);
            const std::size_t produced = expandBlock(in, out);
            // Two overlapping 16-byte stores cover the 17 to 32 bytes produced.
            std::memcpy(text + target - produced, out + 33 - produced, 16);
            std::memcpy(text + target - 16, out + 33 - 16, 16);
            source -= 16;
            target -= produced;
        }
#endif
        while (source > stop && target != source) {
            const char c = text[--source];
            text[--target] = c;
            if (c == '\n') text[--target] = '\r';
        }
        const int percent = static_cast<int>((size - source) * 100 / size);
        if (progress && percent != reported && target != source) progress(reported = percent);
    }
}

}  // namespace

void fixLineEnds(Document& document, const ProgressReporter& progress) {
    const GapArray<char>& units = document.units();
    const std::size_t lineFeeds = countByte(units.beforeGap(), '\n') + countByte(units.afterGap(), '\n');
    if (lineFeeds > 0) {
        const std::size_t size = document.size();
        std::span<char> text = document.beginRewrite(lineFeeds);
        expandLineFeeds(text.data(), size, lineFeeds, progress);
        document.endRewrite(size + lineFeeds);
    }
    if (progress) progress(100);
}

}  // namespace norvane
