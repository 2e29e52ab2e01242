#pragma once

#include "engine/document.h"
#include "engine/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

// How the pane lays characters out in cells. Every character takes one cell, whatever the
// number of units it is stored in; a tab runs to the next tab stop. Nothing else varies, so
// with a fixed-pitch font a cell's place on screen is its column times the cell width.
namespace norvane::ui {

inline constexpr std::uint64_t TabStop = 8;
inline constexpr std::uint64_t NoColumnLimit = std::numeric_limits<std::uint64_t>::max();

constexpr std::uint64_t columnAfterTab(std::uint64_t column) { return column / TabStop * TabStop + TabStop; }

// A character boundary in a line: a position and the column where the character there begins.
struct Cell {
    std::size_t position = 0;
    std::uint64_t column = 0;

    bool operator==(const Cell&) const = default;
};

// Steps over the characters of `units` from `from` (an offset into `units` and its column)
// while the next character starts before `endOffset` and ends at or before `endColumn`.
// Characters are decoded from all of `units`, so one that starts before `endOffset` may end
// after it. Returns where it stopped.
Cell walkUnits(TextEncoding encoding, std::span<const char> units, Cell from, std::size_t endOffset,
               std::uint64_t endColumn);

// The same over the document's units from `from` up to `end`, which ends a line's text.
Cell walkDocument(const Document& document, Cell from, std::size_t end, std::uint64_t endColumn);

}  // namespace norvane::ui
