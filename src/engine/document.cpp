#include "engine/document.h"

#include "engine/simd.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace norvane {

Document::Document() = default;

Document::Document(std::string_view text, FileFormat format) : format_(format) { setText(text); }

Document::Document(TextStore original, FileFormat format) : original_(std::move(original)), format_(format) {
    if (original_.size() > 0) pieces_.push_back(makePiece(false, 0, 0, original_.size()));
    recount();
}

void Document::setText(std::string_view text) {
    original_ = TextStore();
    original_.append(text);
    added_ = TextStore();
    pieces_.clear();
    if (!text.empty()) pieces_.push_back(makePiece(false, 0, 0, text.size()));
    recount();
}

Document::Piece Document::makePiece(bool added, std::size_t crs, std::size_t from, std::size_t to) const {
    const TextStore& store = added ? added_ : original_;
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

void Document::copyTo(std::size_t position, std::size_t count, char* out) const {
    forEachRun(position, count, [&](std::span<const char> run) {
        std::memcpy(out, run.data(), run.size());
        out += run.size();
    });
}

void Document::forEachRun(std::size_t position, std::size_t count,
                          const std::function<void(std::span<const char>)>& take) const {
    while (count > 0) {
        const std::size_t i = pieceAt(position);
        const Piece& piece = pieces_[i];
        const std::size_t offset = position - starts_[i], part = std::min(count, piece.length() - offset);
        if (piece.crs == 0)
            take({storeOf(piece).data() + piece.from + offset, part});
        else
            expand(piece, offset, part, take);
        position += part;
        count -= part;
    }
}

// Writes the piece's units into a buffer, a CR run in front of each LF, and hands the
// buffer on whenever it fills. Groups of 16 bytes without an LF are copied whole.
void Document::expand(const Piece& piece, std::size_t offset, std::size_t count,
                      const std::function<void(std::span<const char>)>& take) const {
    constexpr std::size_t LargestBuffer = 64 << 10;
    const TextStore& store = storeOf(piece);
    const std::size_t crs = piece.crs;
    // Room for one group, each of whose bytes may be an LF with its CRs.
    const std::size_t groupRoom = 16 * (crs + 1);
    const std::size_t capacity = std::max(std::min(LargestBuffer, count + groupRoom), groupRoom);
    std::vector<char> buffer(capacity);
    std::size_t used = 0;
    const TextStore::Located located = store.locate(piece.from, crs, offset);
    std::size_t position = located.position, skip = located.intoUnit;
    while (count > 0) {
        if (used > 0 && used + groupRoom > capacity) {
            take({buffer.data(), used});
            used = 0;
        }
#ifdef NORVANE_HAVE_SSE2
        if (skip == 0 && position + 16 <= piece.to && count >= groupRoom) {
            const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(store.data() + position));
            auto lineFeeds =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, _mm_set1_epi8('\n'))));
            if (lineFeeds == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer.data() + used), group);
                used += 16;
            } else {
                const std::size_t before = used;
                std::size_t from = 0;
                for (; lineFeeds; lineFeeds &= lineFeeds - 1) {
                    const auto at = static_cast<std::size_t>(std::countr_zero(lineFeeds));
                    std::memcpy(buffer.data() + used, store.data() + position + from, at - from);
                    used += at - from;
                    std::memset(buffer.data() + used, '\r', crs);
                    used += crs;
                    buffer[used++] = '\n';
                    from = at + 1;
                }
                std::memcpy(buffer.data() + used, store.data() + position + from, 16 - from);
                used += 16 - from;
                count -= used - before - 16;  // the CRs
            }
            position += 16;
            count -= 16;
            continue;
        }
#endif
        if (position >= piece.to) {
            // Fewer LFs than counted: the file changed under the text (see sourceChanged).
            const std::size_t fill = std::min(count, capacity - used);
            std::memset(buffer.data() + used, '\0', fill);
            used += fill;
            count -= fill;
            continue;
        }
        // One unit, or what is left of it.
        const char c = store[position];
        const std::size_t width = c == '\n' ? crs + 1 : 1;
        for (; skip < width && count > 0; ++skip, --count) buffer[used++] = skip + 1 < width ? '\r' : c;
        if (skip == width) {
            ++position;
            skip = 0;
        }
    }
    if (used > 0) take({buffer.data(), used});
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
            const std::size_t unit = added_.size();
            added_.append(std::string(piece.crs, '\r') + '\n');
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
        const std::size_t from = added_.size();
        added_.append(inserted);
        Piece* before = first > 0 ? &pieces_[first - 1] : nullptr;
        if (before && before->added && before->crs == 0 && before->to == from) {
            *before = makePiece(true, 0, before->from, added_.size());  // typing goes on where it was
        } else {
            pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                           makePiece(true, 0, from, added_.size()));
        }
    }
    recount();
}

void Document::insertCrBeforeEveryLf() {
    for (Piece& piece : pieces_) {
        ++piece.crs;
        piece.innerPairs = piece.lineFeeds;
    }
    recount();
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
        const std::size_t lineFeed = store.lineFeedAt(store.lineFeedsBefore(piece.from) + k);
        return starts_[i] + (lineFeed - piece.from) + piece.crs * (k + 1) + 1;
    }
    const std::size_t lineFeed = store.pairAt(store.pairsBefore(piece.from + 1) + k);
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

bool Document::sourceChanged() const {
    const platform::MappedFile* file = original_.file();
    return file && file->changed();
}

bool Document::readsFrom(const std::filesystem::path& path) const {
    const platform::MappedFile* file = original_.file();
    return file && file->isFile(path);
}

void Document::detachFromFile() const {
    if (const platform::MappedFile* file = original_.file()) file->detach();
}

}  // namespace norvane
