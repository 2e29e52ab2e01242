#pragma once

#include "engine/document.h"
#include "ui/pane/cell_walk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvane::ui {

// The columns of one long display line, kept per chunk of about ChunkUnits units so that the
// cell of any position or column is found by bisection and a walk through one chunk, and an
// edit rescans only the chunks it touches. Offsets count from the line's start.
//
// Each chunk keeps what it does to a column, which does not depend on where the chunk
// starts: without a tab it adds its characters' cells; with one, the first tab aligns the
// column to a tab stop and the rest of the chunk adds a fixed amount from there.
//
// A line longer than EagerUnits is measured lazily, so that reaching any place of a line of
// a GB costs a few chunks, not the line: it is cut every ChunkUnits units without being read,
// and a chunk not yet measured counts as many cells as a sample of the line gives for its
// units, until a query measures it and moves its ends to character boundaries. Columns are then exact between the
// chunks measured (everywhere near the places asked for, always within a chunk and the one
// after it), and every chunk measured keeps its columns until an edit; only the columns
// behind a chunk measured later move, by what its estimate was off.
//
// The index holds for the document's revision it was made or last updated for (edited,
// moved): queries check that it is still that one.
class ColumnIndex {
public:
    static constexpr std::size_t ChunkUnits = 4096;
    // Lines up to this long are measured whole when indexed.
    static constexpr std::size_t EagerUnits = std::size_t{1} << 20;

    // Indexes the line whose text runs over the document's units [start, end); lines longer
    // than `eagerUnits` lazily.
    ColumnIndex(const Document& document, std::size_t start, std::size_t end, std::size_t eagerUnits = EagerUnits);

    std::size_t length() const { return offsets_.back(); }
    // The line's width in cells: exact once every chunk has been measured.
    std::uint64_t width() const { return columns_.back(); }

    // The last chunk boundary at or before `offset` / at or before `column`, measuring the
    // chunk that holds it.
    Cell boundaryAtOffset(const Document& document, std::size_t offset);
    Cell boundaryAtColumn(const Document& document, std::uint64_t column);

    // Follows an edit inside the line: `removed` units at `offset` were replaced by
    // `inserted` units, and the line's text now runs over [start, end).
    void edited(const Document& document, std::size_t start, std::size_t end, std::size_t offset,
                std::size_t removed, std::size_t inserted);
    // Follows an edit outside the line: its text, unchanged, now runs over [start, end).
    void moved(const Document& document, std::size_t start, std::size_t end);

private:
    struct Chunk {
        std::size_t length = 0;
        bool measured = true;
        bool hasTab = false;
        std::uint64_t lead = 0;  // cells before the first tab, or all cells without one (or the estimate)
        std::uint64_t tail = 0;  // cells from the tab stop after the first tab to the end

        std::uint64_t apply(std::uint64_t column) const {
            return hasTab ? columnAfterTab(column + lead) + tail : column + lead;
        }
    };

    // Chunks the line's text from `from` (a character boundary) on, ending each chunk after
    // at most ChunkUnits units and at `until` when a character boundary falls there.
    // Returns the offset reached, which is `until` or a little past it.
    std::size_t addChunks(const Document& document, std::size_t start, std::size_t end, std::size_t from,
                          std::size_t until, std::vector<Chunk>& out) const;
    Chunk measureChunk(const Document& document, std::size_t chunkStart, std::size_t target,
                       std::size_t end) const;
    // Cuts the line into chunks without reading it, measuring a sample for the estimate.
    void addEstimatedChunks(const Document& document, std::size_t start, std::size_t end);
    // Measures a chunk; measureInPlace leaves the columns behind it to recount().
    void measure(const Document& document, std::size_t chunk);
    void measureInPlace(const Document& document, std::size_t chunk);
    void recount(std::size_t fromChunk);
    // Asserts that the index is one of the document as it is.
    void expectCurrent(const Document& document) const;

    std::uint64_t revision_ = 0;             // the document's revision the index holds for
    std::size_t start_ = 0, end_ = 0;        // where the line's text runs in the document
    std::vector<Chunk> chunks_;
    std::vector<std::size_t> offsets_{0};   // where each chunk starts; last entry: the length
    std::vector<std::uint64_t> columns_{0}; // the column there; last entry: the width
};

}  // namespace norvane::ui
