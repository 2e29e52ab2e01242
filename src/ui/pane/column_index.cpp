#include "ui/pane/column_index.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>

namespace norvane::ui {
namespace {

template <class T>
std::size_t lastAtOrBefore(const std::vector<T>& values, T value) {
    const auto after = std::upper_bound(values.begin(), values.end(), value);
    return static_cast<std::size_t>(std::distance(values.begin(), after)) - 1;
}

// The first character boundary at or after `offset` of the line's text in [start, end): a unit
// that continues no sequence starts a character, and so does the unit behind a whole one.
// Double-byte legacy text is walked from the last unit behind `offset` that ends a character.
std::size_t characterBoundaryFrom(const Document& document, std::size_t start, std::size_t end, std::size_t offset) {
    const TextEncoding encoding = document.format().encoding;
    if (isOneUnitEach(encoding) || offset >= end - start) return offset;
    if (isDoubleByteLegacy(encoding)) {
        const auto unitAt = [&](std::size_t i) { return document.at(start + i); };
        const std::size_t at = legacyCharacterStart(unitAt, 0, offset, end - start);
        if (at == offset) return offset;
        char units[2];
        units[0] = unitAt(at);
        units[1] = unitAt(at + 1);  // the character holds `offset`, behind `at`: two units
        return at + decodeCharacter(encoding, {units, 2}).length;
    }
    const std::size_t from = offset > MaxTrail ? offset - MaxTrail : 0;
    char units[2 * MaxCharacterUnits];
    const std::size_t count = std::min(end - start - from, sizeof units);
    document.copyTo(start + from, count, units);
    // Walk from the last unit at or before `offset` that starts a sequence; with none within
    // MaxTrail units, no character reaches over `offset`.
    std::size_t at = offset - from;
    while (at > 0 && isUtf8Continuation(units[at])) --at;
    if (isUtf8Continuation(units[at])) return offset;
    while (at < offset - from) at += decodeCharacter(encoding, std::span<const char>(units, count).subspan(at)).length;
    return from + at;
}

}  // namespace

ColumnIndex::ColumnIndex(const Document& document, std::size_t start, std::size_t end, std::size_t eagerUnits)
    : revision_(document.revision()), start_(start), end_(end) {
    if (end - start <= eagerUnits) {
        addChunks(document, start, end, 0, end - start, chunks_);
        recount(0);
    } else {
        addEstimatedChunks(document, start, end);
    }
}

void ColumnIndex::addEstimatedChunks(const Document& document, std::size_t start, std::size_t end) {
    // Cut every ChunkUnits units, reading nothing: the file's pages stay untouched until a
    // chunk is measured. A short remainder joins the last chunk.
    const std::size_t length = end - start;
    const std::size_t count = std::max<std::size_t>(1, length / ChunkUnits);
    chunks_.assign(count, Chunk{ChunkUnits, false, false, 0, 0});
    chunks_.back().length = length - (count - 1) * ChunkUnits;
    offsets_.resize(count + 1);
    for (std::size_t k = 0; k <= count; ++k) offsets_[k] = std::min(k * ChunkUnits, length);
    // Chunks spread over the line, measured, give the cells a unit makes in the rest.
    constexpr std::size_t Samples = 64;
    std::uint64_t cells = 0, units = 0;
    for (std::size_t i = 0; i < Samples; ++i) {
        const std::size_t k = i * count / Samples;
        if (chunks_[k].measured) continue;
        measureInPlace(document, k);
        cells += chunks_[k].apply(0);
        units += chunks_[k].length;
    }
    for (Chunk& chunk : chunks_)
        if (!chunk.measured) chunk.lead = units ? (chunk.length * cells + units / 2) / units : chunk.length;
    recount(0);
}

void ColumnIndex::expectCurrent([[maybe_unused]] const Document& document) const {
    assert(document.revision() == revision_ && "the column index is of another revision of the document");
}

Cell ColumnIndex::boundaryAtOffset(const Document& document, std::size_t offset) {
    expectCurrent(document);
    std::size_t k = lastAtOrBefore(offsets_, offset);
    // Measured, a chunk may start a little later, behind a character its cut fell into.
    while (k < chunks_.size() && !chunks_[k].measured) {
        measure(document, k);
        k = lastAtOrBefore(offsets_, offset);
    }
    return {offsets_[k], columns_[k]};
}

Cell ColumnIndex::boundaryAtColumn(const Document& document, std::uint64_t column) {
    expectCurrent(document);
    std::size_t k = lastAtOrBefore(columns_, column);
    // Measured, a chunk may end before the column, which then lies in a later one.
    while (k < chunks_.size() && !chunks_[k].measured) {
        measure(document, k);
        k = lastAtOrBefore(columns_, column);
    }
    return {offsets_[k], columns_[k]};
}

void ColumnIndex::measure(const Document& document, std::size_t k) {
    if (chunks_[k].measured) return;
    measureInPlace(document, k);
    recount(k > 0 ? k - 1 : 0);
}

void ColumnIndex::measureInPlace(const Document& document, std::size_t k) {
    // An end that is not yet a character boundary moves to the next one; the neighbour that
    // shares it is then not measured either (measuring it moved their end already), and
    // keeps its estimate.
    const std::size_t from = k == 0 ? 0 : characterBoundaryFrom(document, start_, end_, offsets_[k]);
    const std::size_t to =
        k + 1 == chunks_.size() ? offsets_[k + 1] : characterBoundaryFrom(document, start_, end_, offsets_[k + 1]);
    if (k > 0) chunks_[k - 1].length += from - offsets_[k];
    if (k + 1 < chunks_.size()) chunks_[k + 1].length -= to - offsets_[k + 1];
    offsets_[k] = from;
    offsets_[k + 1] = to;
    chunks_[k] = measureChunk(document, start_ + from, to - from, end_);
    chunks_[k].length = to - from;  // its ends are character boundaries: the walk stops on them
}

void ColumnIndex::edited(const Document& document, std::size_t start, std::size_t end, std::size_t offset,
                         std::size_t removed, std::size_t inserted) {
    revision_ = document.revision();
    start_ = start;
    end_ = end;
    const std::size_t newLength = end - start;
    const auto shifted = [&](std::size_t oldOffset) { return oldOffset - removed + inserted; };
    if (chunks_.empty()) {
        addChunks(document, start, end, 0, newLength, chunks_);
        recount(0);
        return;
    }
    // An edit can change how the few units before it decode: an old chunk boundary up to
    // MaxTrail units behind it may now fall inside a character.
    const std::size_t first = std::min(lastAtOrBefore(offsets_, offset > MaxTrail ? offset - MaxTrail : 0),
                                       chunks_.size() - 1);
    // The old boundaries from `k` on lie behind the edit; the chunks before `k` are redone,
    // up to the first old boundary that is still a character boundary.
    std::size_t k = static_cast<std::size_t>(
        std::distance(offsets_.begin(), std::lower_bound(offsets_.begin(), offsets_.end(), offset + removed)));
    k = std::clamp(k, first + 1, chunks_.size());
    // A chunk not yet measured may have been cut inside a character: the chunks are redone
    // from the character boundary behind its cut, which still lies before the edit.
    std::size_t reached = first == 0 ? 0 : characterBoundaryFrom(document, start, end, offsets_[first]);
    if (first > 0) chunks_[first - 1].length += reached - offsets_[first];
    std::vector<Chunk> fresh;
    for (;;) {
        const std::size_t target = k < chunks_.size() ? shifted(offsets_[k]) : newLength;
        reached = addChunks(document, start, end, reached, target, fresh);
        if (reached == target) break;
        while (k < chunks_.size() && shifted(offsets_[k]) < reached) ++k;
    }
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(first), chunks_.begin() + static_cast<std::ptrdiff_t>(k));
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(first), fresh.begin(), fresh.end());
    recount(first > 0 ? first - 1 : 0);
}

void ColumnIndex::moved(const Document& document, std::size_t start, std::size_t end) {
    assert(end - start == end_ - start_ && "a line moved by an edit elsewhere keeps its length");
    revision_ = document.revision();
    start_ = start;
    end_ = end;
}

std::size_t ColumnIndex::addChunks(const Document& document, std::size_t start, std::size_t end, std::size_t from,
                                   std::size_t until, std::vector<Chunk>& out) const {
    while (from < until) {
        const Chunk chunk = measureChunk(document, start + from, std::min(ChunkUnits, until - from), end);
        out.push_back(chunk);
        from += chunk.length;
    }
    return from;
}

ColumnIndex::Chunk ColumnIndex::measureChunk(const Document& document, std::size_t chunkStart, std::size_t target,
                                             std::size_t end) const {
    const TextEncoding encoding = document.format().encoding;
    // A chunk is at most ChunkUnits units and a character, or, cut without reading, the last
    // one of a long line, under twice that.
    char units[2 * ChunkUnits + MaxTrail];
    const std::size_t count = std::min({end - chunkStart, target + MaxTrail, sizeof units});
    document.copyTo(chunkStart, count, units);
    const std::span<const char> run(units, count);
    const std::size_t limit = std::min(target, count);

    Chunk chunk;
    Cell at;
    // A tab unit is always a character of its own, so the walk up to it stops right on it.
    if (const void* tab = std::memchr(units, '\t', limit)) {
        at = walkUnits(encoding, run, at, static_cast<std::size_t>(static_cast<const char*>(tab) - units),
                       NoColumnLimit);
        chunk.hasTab = true;
        chunk.lead = at.column;
    }
    at = walkUnits(encoding, run, at, limit, NoColumnLimit);
    chunk.length = at.position;
    if (chunk.hasTab)
        chunk.tail = at.column - columnAfterTab(chunk.lead);
    else
        chunk.lead = at.column;
    return chunk;
}

void ColumnIndex::recount(std::size_t fromChunk) {
    offsets_.resize(chunks_.size() + 1);
    columns_.resize(chunks_.size() + 1);
    for (std::size_t i = fromChunk; i < chunks_.size(); ++i) {
        offsets_[i + 1] = offsets_[i] + chunks_[i].length;
        columns_[i + 1] = chunks_[i].apply(columns_[i]);
    }
}

}  // namespace norvane::ui
