#pragma once

#include "engine/gap_array.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace norvane {

// Where the display lines of a text begin. A display line ends only at a CR LF pair; a
// bare CR or LF stays inside its line. Line 0 begins at 0 and every further line right
// behind a CR LF. The starts are kept in a gap array: those before the gap as positions,
// those after it as distances from the end of the text, so an edit moves the gap to itself
// and the starts behind it follow the changed length without being touched.
//
// Invariants: starts_ holds one entry for each CR LF pair in the text, in text order;
// entry k (line k + 1) is stored as its position when k is before the gap and as
// textLength_ minus its position after it; so the positions strictly increase, each is
// at least 2, and each is at most textLength_; textLength_ is the length of the text.
class LineIndex {
public:
    // Indexes a whole text from scratch; returns the number of LFs in it, found on the way.
    std::size_t rebuild(const GapArray<char>& text);

    // Replaces the index with starts that a pass over the text computes itself: returns a
    // table of `count` entries to fill with the starts of lines 1 to count, in order, and
    // endAssign() takes them once the text has its new length.
    std::span<std::uint64_t> beginAssign(std::size_t count);
    void endAssign(std::size_t textLength);

    std::size_t lineCount() const { return starts_.size() + 1; }

    // Position of the first character of a line; `line` < lineCount().
    std::size_t lineStart(std::size_t line) const { return line == 0 ? 0 : startAt(line - 1); }

    // The line that holds a position (a position at a line's start belongs to that line).
    std::size_t lineOf(std::size_t position) const { return startsUpTo(position); }

    // Updates the index after `removed` characters at `position` were replaced by `inserted`
    // characters; `text` is the text after the edit.
    void update(const GapArray<char>& text, std::size_t position, std::size_t removed,
                std::size_t inserted);

private:
    std::size_t startAt(std::size_t k) const {
        const std::uint64_t stored = starts_[k];
        return k < starts_.gapPosition() ? stored : textLength_ - stored;
    }
    std::size_t startsBefore(std::size_t position) const;  // starts < position
    std::size_t startsUpTo(std::size_t position) const { return startsBefore(position + 1); }
    void moveGap(std::size_t k);

    GapArray<std::uint64_t> starts_;
    std::size_t textLength_ = 0;
};

}  // namespace norvane
