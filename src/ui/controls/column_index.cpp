#include "ui/controls/column_index.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace norvane::ui {
namespace {

template <class T>
std::size_t lastAtOrBefore(const std::vector<T>& values, T value) {
    const auto after = std::upper_bound(values.begin(), values.end(), value);
    return static_cast<std::size_t>(std::distance(values.begin(), after)) - 1;
}

}  // namespace

ColumnIndex::ColumnIndex(const Document& document, std::size_t start, std::size_t end) {
    addChunks(document, start, end, 0, end - start, chunks_);
    recount(0);
}

Cell ColumnIndex::boundaryAtOffset(std::size_t offset) const {
    const std::size_t k = lastAtOrBefore(offsets_, offset);
    return {offsets_[k], columns_[k]};
}

Cell ColumnIndex::boundaryAtColumn(std::uint64_t column) const {
    const std::size_t k = lastAtOrBefore(columns_, column);
    return {offsets_[k], columns_[k]};
}

void ColumnIndex::edited(const Document& document, std::size_t start, std::size_t end, std::size_t offset,
                         std::size_t removed, std::size_t inserted) {
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
    std::vector<Chunk> fresh;
    std::size_t reached = offsets_[first];
    for (;;) {
        const std::size_t target = k < chunks_.size() ? shifted(offsets_[k]) : newLength;
        reached = addChunks(document, start, end, reached, target, fresh);
        if (reached == target) break;
        while (k < chunks_.size() && shifted(offsets_[k]) < reached) ++k;
    }
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(first), chunks_.begin() + static_cast<std::ptrdiff_t>(k));
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(first), fresh.begin(), fresh.end());
    recount(first);
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
    char units[ChunkUnits + MaxTrail];
    const std::size_t count = std::min(end - chunkStart, target + MaxTrail);
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
