#include "engine/document.h"

#include "engine/simd.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace norvane {

Document::Document() : original_(std::make_shared<TextStore>()), added_(std::make_shared<TextStore>()) {}

Document::Document(std::string_view text, FileFormat format) : format_(format) { setText(text); }

Document::Document(TextStore original, FileFormat format)
    : original_(std::make_shared<TextStore>(std::move(original))),
      added_(std::make_shared<TextStore>()),
      format_(format) {
    if (original_->size() > 0) pieces_.push_back(makePiece(false, 0, 0, original_->size()));
    recount();
}

void Document::setText(std::string_view text) {
    auto original = std::make_shared<TextStore>();
    original->append(text);
    original_ = std::move(original);
    added_ = std::make_shared<TextStore>();
    pieces_.clear();
    if (!text.empty()) pieces_.push_back(makePiece(false, 0, 0, text.size()));
    recount();
    ++revision_;
}

std::size_t Document::appendAdded(std::string_view bytes) {
    if (added_.use_count() > 1) {
        auto copy = std::make_shared<TextStore>();
        copy->append({added_->data(), added_->size()});
        added_ = std::move(copy);
    }
    const std::size_t from = added_->size();
    added_->append(bytes);
    return from;
}

Document::Piece Document::makePiece(bool added, std::size_t crs, std::size_t from, std::size_t to) const {
    const TextStore& store = added ? *added_ : *original_;
    Piece piece{added, crs, from, to};
    piece.lineFeeds = store.lineFeedsIn(from, to);
    // With CRs shown, every LF has one of them right in front of it.
    piece.innerPairs = crs > 0 ? piece.lineFeeds : store.pairsIn(from + 1, to);
    return piece;
}

char Document::firstUnit(const Piece& piece) const {
    const char first = storeOf(piece)[piece.from];
    return piece.crs > 0 && first == '\n' ? '\r' : first;
}

char Document::lastUnit(const Piece& piece) const { return storeOf(piece)[piece.to - 1]; }

void Document::recount() {
    starts_.resize(pieces_.size() + 1);
    linesBefore_.resize(pieces_.size() + 1);
    lineFeeds_ = 0;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        const Piece& piece = pieces_[i];
        // A pair split between two pieces ends its line at the start of the second.
        const bool straddling = i > 0 && firstUnit(piece) == '\n' && lastUnit(pieces_[i - 1]) == '\r';
        starts_[i + 1] = starts_[i] + piece.length();
        linesBefore_[i + 1] = linesBefore_[i] + piece.innerPairs + straddling;
        lineFeeds_ += piece.lineFeeds;
    }
}

std::size_t Document::pieceAt(std::size_t position) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end() - 1, position);
    return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

char Document::unitOf(const Piece& piece, std::size_t offset) const {
    const TextStore& store = storeOf(piece);
    if (piece.crs == 0) return store[piece.from + offset];
    const TextStore::Located located = store.locate(piece.from, piece.crs, offset);
    const char c = store[located.position];
    return c == '\n' && located.intoUnit < piece.crs ? '\r' : c;
}

char Document::at(std::size_t position) const {
    const std::size_t i = pieceAt(position);
    return unitOf(pieces_[i], position - starts_[i]);
}

std::string Document::slice(std::size_t position, std::size_t count) const {
    if (position > size() || count > size() - position) throw std::out_of_range("Document::slice");
    std::string piece(count, '\0');
    copyTo(position, count, piece.data());
    return piece;
}

void Document::forEachPiecePart(std::size_t position, std::size_t count,
                                const std::function<void(const Piece&, std::size_t, std::size_t)>& take) const {
    while (count > 0) {
        const std::size_t i = pieceAt(position);
        const Piece& piece = pieces_[i];
        const std::size_t offset = position - starts_[i], part = std::min(count, piece.length() - offset);
        take(piece, offset, part);
        position += part;
        count -= part;
    }
}

void Document::copyTo(std::size_t position, std::size_t count, char* out) const {
    forEachPiecePart(position, count, [&](const Piece& piece, std::size_t offset, std::size_t part) {
        if (piece.crs == 0)
            std::memcpy(out, storeOf(piece).data() + piece.from + offset, part);
        else
            expandInto(piece, offset, part, out);
        out += part;
    });
}

void Document::forEachRun(std::size_t position, std::size_t count,
                          const std::function<void(std::span<const char>)>& take) const {
    constexpr std::size_t BufferSize = 256 << 10;
    std::vector<char> buffer;
    forEachPiecePart(position, count, [&](const Piece& piece, std::size_t offset, std::size_t part) {
        if (piece.crs == 0) {
            take({storeOf(piece).data() + piece.from + offset, part});
            return;
        }
        buffer.resize(std::min(BufferSize, part));
        for (std::size_t done = 0; done < part;) {
            const std::size_t step = std::min(buffer.size(), part - done);
            expandInto(piece, offset + done, step, buffer.data());
            take({buffer.data(), step});
            done += step;
        }
    });
}

namespace {

constexpr std::size_t Block = 64;

#ifdef NORVANE_HAVE_SSE2
std::uint64_t lineFeedsOfBlock(const char* at) {
    const __m128i lineFeed = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    for (int part = 3; part >= 0; --part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
        mask = mask << 16 | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
    }
    return mask;
}

// Copies a whole block, whatever part of it is needed: four loads and four stores cost
// less than deciding how many.
void copyOver(char* out, const char* from) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 48));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), d);
}
#endif

}  // namespace

// Writes `count` units of the piece from `offset` on, a CR run in front of each LF. A block
// of 64 bytes is moved as a whole block copied from the start of each segment between LFs;
// what a copy writes beyond its segment is written over by what follows, so blocks go this
// way only while more than that is still to come.
void Document::expandInto(const Piece& piece, std::size_t offset, std::size_t count, char* out) const {
    const TextStore& store = storeOf(piece);
    const char* const bytes = store.data();
    const std::size_t crs = piece.crs;
    const TextStore::Located located = store.locate(piece.from, crs, offset);
    std::size_t position = located.position, skip = located.intoUnit;
    while (count > 0) {
#ifdef NORVANE_HAVE_SSE2
        if (skip == 0 && position + 2 * Block <= piece.to && count >= Block * (crs + 2)) {
            const char* const source = bytes + position;
            std::uint64_t lineFeeds = lineFeedsOfBlock(source);
            if (lineFeeds == ~std::uint64_t{0} && crs == 1) {
                // Nothing but LFs: 64 CR LF pairs.
                const __m128i pairs = _mm_set1_epi16(static_cast<short>('\r' | '\n' << 8));
                for (std::size_t at = 0; at < 2 * Block; at += 16)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), pairs);
                out += 2 * Block;
                position += Block;
                count -= 2 * Block;
                continue;
            }
            char* const begin = out;
            std::size_t from = 0;
            for (; lineFeeds; lineFeeds &= lineFeeds - 1) {
                const auto at = static_cast<std::size_t>(std::countr_zero(lineFeeds));
                copyOver(out, source + from);
                out += at - from;
                if (crs == 1)
                    *out++ = '\r';
                else
                    out = std::fill_n(out, crs, '\r');
                *out++ = '\n';
                from = at + 1;
            }
            copyOver(out, source + from);
            out += Block - from;
            position += Block;
            count -= static_cast<std::size_t>(out - begin);
            continue;
        }
#endif
        if (position >= piece.to) {
            // Fewer LFs than counted: the file changed under the text (see sourceChanged).
            out = std::fill_n(out, count, '\0');
            return;
        }
        // One unit, or what is left of it.
        const char c = bytes[position];
        const std::size_t width = c == '\n' ? crs + 1 : 1;
        for (; skip < width && count > 0; ++skip, --count) *out++ = skip + 1 < width ? '\r' : c;
        if (skip == width) {
            ++position;
            skip = 0;
        }
    }
}

std::size_t Document::splitAt(std::size_t position) {
    if (position == size()) return pieces_.size();
    const std::size_t i = pieceAt(position);
    const std::size_t offset = position - starts_[i];
    if (offset == 0) return i;
    const Piece piece = pieces_[i];
    std::vector<Piece> parts;
    auto add = [&](bool added, std::size_t crs, std::size_t from, std::size_t to) {
        if (to > from) parts.push_back(makePiece(added, crs, from, to));
    };
    std::size_t first = i + 1;  // the index of the piece that will start at `position`
    if (piece.crs == 0) {
        add(piece.added, 0, piece.from, piece.from + offset);
        add(piece.added, 0, piece.from + offset, piece.to);
    } else {
        const TextStore::Located located = storeOf(piece).locate(piece.from, piece.crs, offset);
        add(piece.added, piece.crs, piece.from, located.position);
        if (located.intoUnit > 0) {
            // Inside the CRs in front of an LF: that unit becomes added text of its own, cut in two.
            const std::size_t unit = appendAdded(std::string(piece.crs, '\r') + '\n');
            add(true, 0, unit, unit + located.intoUnit);
            first = i + parts.size();
            add(true, 0, unit + located.intoUnit, unit + piece.crs + 1);
            add(piece.added, piece.crs, located.position + 1, piece.to);
        } else {
            first = i + parts.size();
            add(piece.added, piece.crs, located.position, piece.to);
        }
    }
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(i));
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(i), parts.begin(), parts.end());
    recount();
    return first;
}

void Document::replace(std::size_t position, std::size_t removed, std::string_view inserted) {
    if (position > size() || removed > size() - position) throw std::out_of_range("Document::replace");
    const std::size_t first = splitAt(position);
    const std::size_t last = splitAt(position + removed);
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                  pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    if (!inserted.empty()) {
        const std::size_t from = appendAdded(inserted);
        Piece* before = first > 0 ? &pieces_[first - 1] : nullptr;
        if (before && before->added && before->crs == 0 && before->to == from) {
            *before = makePiece(true, 0, before->from, added_->size());  // typing goes on where it was
        } else {
            pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                           makePiece(true, 0, from, added_->size()));
        }
    }
    recount();
    ++revision_;
}

void Document::insertCrBeforeEveryLf() {
    for (Piece& piece : pieces_) {
        ++piece.crs;
        piece.innerPairs = piece.lineFeeds;
    }
    recount();
    ++revision_;
}

std::size_t Document::lineStart(std::size_t line) const {
    if (line == 0) return 0;
    // The line starts behind the LF of pair number line - 1.
    const std::size_t pair = line - 1;
    const auto after = std::upper_bound(linesBefore_.begin(), linesBefore_.end() - 1, pair);
    const auto i = static_cast<std::size_t>(after - linesBefore_.begin()) - 1;
    const Piece& piece = pieces_[i];
    const TextStore& store = storeOf(piece);
    std::size_t k = pair - linesBefore_[i];
    const bool straddling = linesBefore_[i + 1] - linesBefore_[i] > piece.innerPairs;
    if (straddling) {
        if (k == 0) return starts_[i] + 1;
        --k;
    }
    if (piece.crs > 0) {
        const std::size_t lineFeed = store.lineFeedAt(piece.from, k);
        return starts_[i] + (lineFeed - piece.from) + piece.crs * (k + 1) + 1;
    }
    const std::size_t lineFeed = store.pairAt(piece.from + 1, k);
    return starts_[i] + (lineFeed - piece.from) + 1;
}

std::size_t Document::lineEnd(std::size_t line) const {
    return line + 1 < lineCount() ? lineStart(line + 1) - 2 : size();
}

std::size_t Document::lineOf(std::size_t position) const {
    if (position >= size()) return lineCount() - 1;
    const std::size_t i = pieceAt(position);
    const Piece& piece = pieces_[i];
    const TextStore& store = storeOf(piece);
    const std::size_t offset = position - starts_[i];
    std::size_t line = linesBefore_[i];
    if (offset == 0) return line;
    line += linesBefore_[i + 1] - linesBefore_[i] - piece.innerPairs;  // a pair straddling into the piece
    if (piece.crs > 0) return line + store.locate(piece.from, piece.crs, offset).lineFeeds;
    return line + store.pairsIn(piece.from + 1, piece.from + offset);
}

std::size_t Document::longestLine() const {
    std::size_t longest = 0, longestLine = 0, line = 0, start = 0;
    // A line ends where its pair's LF stands.
    auto lineEndsAt = [&](std::size_t lineFeed) {
        if (lineFeed - 1 - start > longest) {
            longest = lineFeed - 1 - start;
            longestLine = line;
        }
        ++line;
        start = lineFeed + 1;
    };
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        const Piece& piece = pieces_[i];
        const std::size_t base = starts_[i];
        if (linesBefore_[i + 1] - linesBefore_[i] > piece.innerPairs) lineEndsAt(base);  // a straddling pair
        if (piece.crs > 0) {
            std::size_t before = 0;
            storeOf(piece).forEachLineFeed(piece.from, piece.to, false, [&](std::size_t lineFeed) {
                lineEndsAt(base + (lineFeed - piece.from) + piece.crs * ++before);
            });
        } else {
            storeOf(piece).forEachLineFeed(piece.from, piece.to, true, [&](std::size_t lineFeed) {
                lineEndsAt(base + (lineFeed - piece.from));
            });
        }
    }
    return size() - start > longest ? line : longestLine;
}

bool Document::sourceChanged() const {
    const platform::MappedFile* file = original_->file();
    return file && file->changed();
}

bool Document::readsFrom(const std::filesystem::path& path) const {
    const platform::MappedFile* file = original_->file();
    return file && file->isFile(path);
}

void Document::detachFromFile() const {
    if (const platform::MappedFile* file = original_->file()) file->detach();
}

}  // namespace norvane
