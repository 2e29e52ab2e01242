#pragma once

#include "engine/progress.h"
#include "engine/simd.h"
#include "platform/mapped_file.h"
#include "platform/page_buffer.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace norvane {

// Bytes that a document shows pieces of: a file's bytes as mapped, text converted on
// loading, or the text that edits added (which only grows). Beside them it keeps a coarse
// index, the number of LFs and of CR LF pairs before each block of BlockSize bytes, so that
// counting or finding them costs a bisection and a scan of one block, and the index costs
// 16 bytes a block, whatever the text.
class TextStore {
public:
    static constexpr std::size_t BlockSize = 1024;

    TextStore();  // empty; grows with append()
    // A file's bytes from `offset` on (behind a byte-order mark). Indexing reads them all:
    // `progress` is given `from` to `to` percent on the way.
    TextStore(platform::MappedFile file, std::size_t offset, const ProgressReporter& progress = {}, int from = 0,
              int to = 100);
    TextStore(platform::PageBuffer buffer, std::size_t size);

    TextStore(TextStore&& other) noexcept;
    TextStore& operator=(TextStore&& other) noexcept;

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    char operator[](std::size_t position) const { return data_[position]; }

    // Adds bytes at the end; only for a store made empty.
    void append(std::string_view bytes);

    // The file the bytes are mapped from, if any.
    const platform::MappedFile* file() const { return std::get_if<platform::MappedFile>(&owner_); }

    // LFs before `position`; CR LF pairs whose LF is before `position`.
    std::size_t lineFeedsBefore(std::size_t position) const;
    std::size_t pairsBefore(std::size_t position) const;
    // LFs in [begin, end); CR LF pairs whose LF is in [begin, end).
    std::size_t lineFeedsIn(std::size_t begin, std::size_t end) const;
    std::size_t pairsIn(std::size_t begin, std::size_t end) const;
    // The position of the `n`th LF (from 0) from `from` on, or of the LF of the `n`th pair
    // whose LF is there; there must be that many.
    std::size_t lineFeedAt(std::size_t from, std::size_t n) const;
    std::size_t pairAt(std::size_t from, std::size_t n) const;

    // Calls found(position) for every LF in [begin, end) in order, or with `pairsOnly` for
    // every LF behind a CR that is in the range too.
    template <class Found>
    void forEachLineFeed(std::size_t begin, std::size_t end, bool pairsOnly, Found&& found) const {
        bool carry = false;
        std::size_t i = begin;
        for (; i + 16 <= end; i += 16) {
            const unsigned returns = matches16(data_ + i, '\r');
            unsigned lineFeeds = matches16(data_ + i, '\n');
            if (pairsOnly) lineFeeds &= (returns << 1) | (carry ? 1u : 0u);
            carry = (returns >> 15) & 1;
            for (; lineFeeds; lineFeeds &= lineFeeds - 1)
                found(i + static_cast<std::size_t>(std::countr_zero(lineFeeds)));
        }
        for (; i < end; ++i) {
            if (data_[i] == '\n' && (!pairsOnly || carry)) found(i);
            carry = data_[i] == '\r';
        }
    }

    // Where unit `offset` lies in a view of the bytes from `from` on that shows `crs` CRs in
    // front of every LF: in the unit of byte `position` (the CRs in front of an LF and the LF
    // form one unit), `intoUnit` units into it, with `lineFeeds` LFs from `from` to it.
    struct Located {
        std::size_t position = 0;
        std::size_t intoUnit = 0;
        std::size_t lineFeeds = 0;
    };
    Located locate(std::size_t from, std::size_t crs, std::size_t offset) const;

private:
    struct Counts {
        std::size_t lineFeeds = 0, pairs = 0;
    };
    Counts countIn(std::size_t begin, std::size_t end) const;
    // Recounts the blocks from the one that holds `from` to the end.
    void index(std::size_t from, const ProgressReporter& progress = {}, int fromPercent = 0, int toPercent = 0);
    // The block whose start has the most `before` entries not above `n`.
    std::size_t blockWithNth(const std::vector<std::uint64_t>& before, std::size_t n) const;
    // The position of the `n`th match (from 0) from `position` on: LFs, or with `pairs` LFs
    // behind a CR.
    std::size_t scanForNth(std::size_t position, std::size_t n, bool pairs) const;

    // Points data_ at the owner's bytes, which a short string keeps inside itself.
    void pointAtOwner();

    std::variant<std::string, platform::PageBuffer, platform::MappedFile> owner_;
    std::size_t offset_ = 0;  // of data_ in the owner's bytes
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    // Entry b: the count before byte b * BlockSize, for every block start up to size_.
    std::vector<std::uint64_t> lineFeedsBefore_{0};
    std::vector<std::uint64_t> pairsBefore_{0};
};

}  // namespace norvane
