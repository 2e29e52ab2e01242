#pragma once

#include "engine/document.h"
#include "engine/text_encoding.h"
#include "ui/pane/char_width.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

// How the pane lays characters out in cells. A character takes the cells cellsOf() gives it
// (two for a wide one, none for a combining mark, else one), whatever the number of units it
// is stored in; a tab runs to the next tab stop. A cell's place on screen is its column times
// the cell width.
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

// The column after a character that begins at `column`.
constexpr std::uint64_t columnAfter(char32_t c, std::uint64_t column) {
    return c == '\t' ? columnAfterTab(column) : column + static_cast<std::uint64_t>(cellsOf(c));
}

// Steps over the characters of `units` from `from` (an offset into `units` and its column)
// while the next character starts before `endOffset` and ends at or before `endColumn`.
// Characters are decoded from all of `units`, so one that starts before `endOffset` may end
// after it. Returns where it stopped.
Cell walkUnits(TextEncoding encoding, std::span<const char> units, Cell from, std::size_t endOffset,
               std::uint64_t endColumn);

// The same over the document's units from `from` up to `end`, which ends a line's text.
Cell walkDocument(const Document& document, Cell from, std::size_t end, std::uint64_t endColumn);

// Steps over the one character at `from` (before `end`, which ends a line's text), and over
// the combining marks behind it, which share its cells.
Cell stepOverCharacter(const Document& document, Cell from, std::size_t end);

}  // namespace norvane::ui
