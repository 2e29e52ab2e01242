#include "ui/pane/line_columns.h"

#include <algorithm>
#include <cassert>

namespace norvane::ui {
namespace {

// Long lines whose index is kept; the one used longest ago goes first.
constexpr std::size_t MaxIndexedLines = 8;
// Lines looked at for the first estimate of the widest line.
constexpr std::size_t SampledLines = 4096;

}  // namespace

LineColumns::LineColumns(const Document& document) : document_(document) { reset(); }

void LineColumns::reset() {
    revision_ = document_.revision();
    indexed_.clear();
    learned_ = 0;
    learnedLine_.reset();
    // The longest line by units gives the first estimate: of every line in a document of up
    // to SampledLines lines, else of as many spread over it, so that this costs the same
    // for any document; the lines not looked at are learned as they are shown.
    std::size_t longest = 0, longestLine = 0;
    const std::size_t lines = document_.lineCount();
    const std::size_t step = (lines + SampledLines - 1) / SampledLines;
    for (std::size_t line = 0; line < lines; line += step) {
        const std::size_t length = document_.lineEnd(line) - document_.lineStart(line);
        if (length > longest) {
            longest = length;
            longestLine = line;
        }
    }
    estimate_ = longest;
    estimatedLine_ = longestLine;
    if (longest <= ShortLine) knownWidth(longestLine);
}

void LineColumns::expectCurrent() const {
    assert(revision_ == document_.revision() && "the line columns are of another revision of the document");
}

std::uint64_t LineColumns::columnOf(std::size_t position) {
    expectCurrent();
    const std::size_t line = document_.lineOf(position);
    position = std::min(position, document_.lineEnd(line));
    return walkDocument(document_, startFor(line, position), position, NoColumnLimit).column;
}

std::uint64_t LineColumns::columnAfter(std::size_t position) {
    const std::size_t line = document_.lineOf(position);
    const std::size_t end = document_.lineEnd(line);
    const std::uint64_t column = columnOf(position);
    return position < end ? stepOverCharacter(document_, {position, column}, end).column : column;
}

Cell LineColumns::cellAt(std::size_t line, std::uint64_t column) {
    expectCurrent();
    return walkDocument(document_, startForColumn(line, column), document_.lineEnd(line), column);
}

std::size_t LineColumns::nearestPosition(std::size_t line, double column) {
    column = std::max(column, 0.0);
    const std::size_t end = document_.lineEnd(line);
    const Cell cell = cellAt(line, static_cast<std::uint64_t>(column));
    if (cell.position >= end) return cell.position;
    const Cell after = stepOverCharacter(document_, cell, end);
    return static_cast<double>(after.column) - column <= column - static_cast<double>(cell.column) ? after.position
                                                                                                   : cell.position;
}

std::optional<std::uint64_t> LineColumns::knownWidth(std::size_t line) {
    expectCurrent();
    const std::size_t start = document_.lineStart(line), end = document_.lineEnd(line);
    std::uint64_t width = 0;
    if (end - start <= ShortLine)
        width = walkDocument(document_, {start, 0}, end, NoColumnLimit).column;
    else if (const ColumnIndex* known = indexOf(line))
        width = known->width();
    else
        return std::nullopt;
    learnWidth(line, width);
    return width;
}

void LineColumns::learnWidth(std::size_t line, std::uint64_t width) {
    if (estimatedLine_ == line) {
        estimate_ = 0;
        estimatedLine_.reset();
    }
    // The widest line measured again may come out narrower (a long line's estimated chunks
    // measured, an edit): the widest width then follows it, so that the scroll range ends at
    // its end once that is shown.
    if (width >= learned_ || learnedLine_ == line) {
        learned_ = width;
        learnedLine_ = line;
    }
}

LineColumns::Edit LineColumns::beforeEdit(std::size_t position, std::size_t removed) const {
    expectCurrent();
    Edit edit;
    edit.revision = revision_;
    edit.position = position;
    edit.removed = removed;
    edit.line = document_.lineOf(position);
    edit.lineEnd = document_.lineEnd(edit.line);
    edit.withinLine = position + removed <= edit.lineEnd;
    edit.lineCount = document_.lineCount();
    return edit;
}

void LineColumns::afterEdit(const Edit& edit, std::size_t inserted) {
    assert(document_.revision() == edit.revision + 1 && "one edit between beforeEdit and afterEdit");
    revision_ = document_.revision();
    // The indexes of the other lines kept below hold their lines' text still, now where the
    // edit moved it.
    const auto moveOthers = [&](std::size_t editedLine) {
        for (Indexed& entry : indexed_)
            if (entry.line != editedLine)
                entry.index.moved(document_, document_.lineStart(entry.line), document_.lineEnd(entry.line));
    };
    const bool sameLine = edit.withinLine && document_.lineCount() == edit.lineCount &&
                          document_.lineEnd(edit.line) == edit.lineEnd - edit.removed + inserted;
    if (sameLine) {
        const std::size_t start = document_.lineStart(edit.line), end = document_.lineEnd(edit.line);
        if (ColumnIndex* known = indexOf(edit.line)) {
            if (end - start > ShortLine) {
                known->edited(document_, start, end, edit.position - start, edit.removed, inserted);
                moveOthers(edit.line);
                learnWidth(edit.line, known->width());
                return;
            }
            std::erase_if(indexed_, [&](const Indexed& entry) { return entry.line == edit.line; });
        }
        moveOthers(edit.line);
        knownWidth(edit.line);
        return;
    }
    // Line breaks came or went: the lines from the edit's on are numbered anew.
    std::erase_if(indexed_, [&](const Indexed& entry) { return entry.line >= edit.line; });
    moveOthers(edit.line);
    if (estimatedLine_ && *estimatedLine_ >= edit.line) estimatedLine_.reset();
    if (learnedLine_ && *learnedLine_ >= edit.line) learnedLine_.reset();
}

Cell LineColumns::startFor(std::size_t line, std::size_t position) {
    const std::size_t start = document_.lineStart(line);
    if (document_.lineEnd(line) - start <= ShortLine || position - start <= ShortLine) return {start, 0};
    const Cell boundary = index(line).boundaryAtOffset(document_, position - start);
    return {start + boundary.position, boundary.column};
}

Cell LineColumns::startForColumn(std::size_t line, std::uint64_t column) {
    const std::size_t start = document_.lineStart(line);
    // A column is reached within MaxCharacterUnits units per cell.
    if (document_.lineEnd(line) - start <= ShortLine || column <= ShortLine / MaxCharacterUnits) return {start, 0};
    const Cell boundary = index(line).boundaryAtColumn(document_, column);
    return {start + boundary.position, boundary.column};
}

ColumnIndex* LineColumns::indexOf(std::size_t line) {
    for (Indexed& entry : indexed_) {
        if (entry.line == line) {
            entry.lastUse = ++useCounter_;
            return &entry.index;
        }
    }
    return nullptr;
}

ColumnIndex& LineColumns::index(std::size_t line) {
    if (ColumnIndex* known = indexOf(line)) return *known;
    if (indexed_.size() >= MaxIndexedLines) {
        indexed_.erase(std::min_element(indexed_.begin(), indexed_.end(), [](const Indexed& a, const Indexed& b) {
            return a.lastUse < b.lastUse;
        }));
    }
    indexed_.push_back({line, ColumnIndex(document_, document_.lineStart(line), document_.lineEnd(line)), ++useCounter_});
    learnWidth(line, indexed_.back().index.width());
    return indexed_.back().index;
}

}  // namespace norvane::ui
