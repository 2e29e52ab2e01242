#pragma once

#include "engine/document.h"
#include "ui/pane/cell_walk.h"
#include "ui/pane/column_index.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace norvane::ui {

// The column arithmetic of a document's display lines, and the width of the widest line.
// A short line is walked from its start; a long one keeps a ColumnIndex, so any column of
// a line of hundreds of MB is found by a short walk. The widest line is learned, never
// searched for at paint time: at first its width is estimated from the longest line's unit
// count, and every line measured on the way (painted, edited, indexed) refines it.
//
// What it keeps holds for the document's revision it was reset or last edited for: queries
// check that it is still that one, so a change of the document that bypassed reset() or the
// edit calls is caught where it would give wrong columns.
class LineColumns {
public:
    // Lines up to this many units are walked from their start; longer ones are indexed.
    static constexpr std::size_t ShortLine = 2 * ColumnIndex::ChunkUnits;

    explicit LineColumns(const Document& document);

    // Forgets everything: the document was replaced or rewritten.
    void reset();

    // The column where the character at `position` begins; a position behind the text of
    // its line (inside its CR LF) counts as the line's end.
    std::uint64_t columnOf(std::size_t position);
    // The column behind the character at `position` and its combining marks; for a
    // position behind the text of its line, the line's end.
    std::uint64_t columnAfter(std::size_t position);
    // The character of `line` whose cells hold `column`, or the line's end when the column
    // lies behind its text.
    Cell cellAt(std::size_t line, std::uint64_t column);
    // The character boundary of `line` nearest to `column`, a place along the line counted
    // in cells (2.5 is the middle of the third cell): a place in the right half of a tab or
    // a wide character gives the boundary behind it.
    std::size_t nearestPosition(std::size_t line, double column);
    // The width of a line in cells, when it can be had without indexing a long line.
    std::optional<std::uint64_t> knownWidth(std::size_t line);

    // The widest line's width in cells, as far as known.
    std::uint64_t widest() const { return std::max(estimate_, learned_); }
    // `line` reaches at least this column (the caret stands there, say).
    void includeColumn(std::size_t line, std::uint64_t column) {
        if (column <= learned_) return;
        learned_ = column;
        learnedLine_ = line;
    }

    // Edits: call beforeEdit, replace the units, then afterEdit with what it returned.
    struct Edit {
        std::size_t position = 0;
        std::size_t removed = 0;
        std::size_t line = 0;       // the line the edit starts in
        std::size_t lineEnd = 0;    // where that line's text ended
        bool withinLine = false;    // it stays inside that line's text
        std::size_t lineCount = 0;
        std::uint64_t revision = 0;  // the document's before the edit
    };
    Edit beforeEdit(std::size_t position, std::size_t removed) const;
    void afterEdit(const Edit& edit, std::size_t inserted);

private:
    struct Indexed {
        std::size_t line;
        ColumnIndex index;
        std::uint64_t lastUse;
    };

    // Where to start walking to reach `position` or `column` in a line: the line's start,
    // or, for a target far into a long line, the nearest chunk boundary before it.
    Cell startFor(std::size_t line, std::size_t position);
    Cell startForColumn(std::size_t line, std::uint64_t column);
    ColumnIndex* indexOf(std::size_t line);
    ColumnIndex& index(std::size_t line);
    void learnWidth(std::size_t line, std::uint64_t width);
    // Asserts that what is kept is of the document as it is.
    void expectCurrent() const;

    const Document& document_;
    std::uint64_t revision_ = 0;  // the document's revision what is kept holds for
    std::vector<Indexed> indexed_;  // a few recently used long lines
    std::uint64_t useCounter_ = 0;
    std::uint64_t estimate_ = 0;
    std::optional<std::size_t> estimatedLine_;  // the line the estimate was taken from
    std::uint64_t learned_ = 0;
    std::optional<std::size_t> learnedLine_;  // the line learned_ is the width of
};

}  // namespace norvane::ui
