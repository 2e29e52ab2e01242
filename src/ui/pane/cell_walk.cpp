#include "ui/pane/cell_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace norvane::ui {
namespace {

constexpr std::uint64_t Ones = 0x0101010101010101ull;
constexpr std::uint64_t HighBits = 0x8080808080808080ull;

// True when eight units are all ASCII and none is a tab: eight cells of one unit each.
bool plainWord(const char* units) {
    std::uint64_t word;
    std::memcpy(&word, units, 8);
    const std::uint64_t tabs = word ^ (Ones * '\t');
    const bool hasTab = ((tabs - Ones) & ~tabs & HighBits) != 0;
    return (word & HighBits) == 0 && !hasTab;
}

// Blocks in which walkDocument copies the units out of the document.
constexpr std::size_t BlockUnits = 64 * 1024;

}  // namespace

Cell walkUnits(TextEncoding encoding, std::span<const char> units, Cell from, std::size_t endOffset,
               std::uint64_t endColumn) {
    std::size_t offset = from.position;
    std::uint64_t column = from.column;
    endOffset = std::min(endOffset, units.size());
    const bool oneUnitEach = isOneUnitEach(encoding);
    while (offset < endOffset) {
        if (offset + 8 <= endOffset && endColumn >= column && endColumn - column >= 8 &&
            plainWord(units.data() + offset)) {
            offset += 8;
            column += 8;
            continue;
        }
        const unsigned char unit = static_cast<unsigned char>(units[offset]);
        std::size_t length = 1;
        std::uint64_t next = unit == '\t' ? columnAfterTab(column) : column + 1;
        if (unit >= 0x80 && !oneUnitEach) {
            const DecodedCharacter c = decodeCharacter(encoding, units.subspan(offset));
            length = c.length;
            next = columnAfter(c.codePoint, column);
        }
        if (next > endColumn) break;
        offset += length;
        column = next;
    }
    return {offset, column};
}

Cell walkDocument(const Document& document, Cell from, std::size_t end, std::uint64_t endColumn) {
    std::vector<char> block;
    while (from.position < end) {
        const std::size_t count = std::min(end - from.position, BlockUnits);
        const bool last = from.position + count == end;
        block.resize(count);
        document.copyTo(from.position, count, block.data());
        // A character that starts in the last few units may run into the next block: it is
        // left for that block, unless the text ends here.
        const std::size_t limit = last ? count : count - MaxTrail;
        const Cell reached = walkUnits(document.format().encoding, block, {0, from.column}, limit, endColumn);
        from = {from.position + reached.position, reached.column};
        if (last || reached.position < limit) break;
    }
    return from;
}

Cell stepOverCharacter(const Document& document, Cell from, std::size_t end) {
    if (from.position >= end) return from;
    char units[MaxCharacterUnits];
    const std::size_t count = std::min(MaxCharacterUnits, end - from.position);
    document.copyTo(from.position, count, units);
    const Cell after = walkUnits(document.format().encoding, {units, count}, {0, from.column}, 1, NoColumnLimit);
    // What follows within the character's last column takes no cell of its own.
    return walkDocument(document, {from.position + after.position, after.column}, end, after.column);
}

}  // namespace norvane::ui
