// Column arithmetic: the chunked index of long lines and the walk of short ones against a
// plain character-by-character count, also under random edits.
#include "engine/document.h"
#include "engine/text_encoding.h"
#include "ui/pane/char_width.h"
#include "ui/pane/column_index.h"
#include "ui/pane/line_columns.h"
#include "ui/pane/scroll_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace norvane::ui {
namespace {

// The character boundaries from `from` up to `end`, with their columns, counted one character
// at a time.
std::vector<Cell> countColumnsFrom(const Document& document, Cell from, std::size_t end) {
    const std::string text = document.slice(from.position, end - from.position);
    std::vector<Cell> cells;
    std::uint64_t column = from.column;
    for (std::size_t i = 0; i < text.size();) {
        cells.push_back({from.position + i, column});
        const DecodedCharacter c = decodeCharacter(document.format().encoding, std::span(text).subspan(i));
        const bool legacy = document.format().encoding == TextEncoding::Legacy;
        column = c.codePoint == '\t' ? (column / 8 + 1) * 8 : column + (legacy ? 1 : cellsOf(c.codePoint));
        i += c.length;
    }
    cells.push_back({end, column});
    return cells;
}

// Every character boundary of a line with its column.
std::vector<Cell> countColumns(const Document& document, std::size_t line) {
    return countColumnsFrom(document, {document.lineStart(line), 0}, document.lineEnd(line));
}

// Checks every boundary of a line both ways: position to column and column to cell.
void expectColumnsMatch(LineColumns& columns, const Document& document, std::size_t line) {
    const std::vector<Cell> cells = countColumns(document, line);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        ASSERT_EQ(columns.columnOf(cells[i].position), cells[i].column) << "position " << cells[i].position;
        // A column holds the last boundary there: behind a character's combining marks.
        if (i + 1 < cells.size() && cells[i + 1].column == cells[i].column) continue;
        ASSERT_EQ(columns.cellAt(line, cells[i].column), cells[i]) << "column " << cells[i].column;
        // A column inside a tab's or a wide character's cells belongs to it.
        if (i + 1 < cells.size() && cells[i + 1].column > cells[i].column + 1) {
            ASSERT_EQ(columns.cellAt(line, cells[i + 1].column - 1), cells[i]);
        }
    }
    EXPECT_EQ(columns.cellAt(line, cells.back().column + 100), cells.back());
}

// Text that exercises every kind of cell: ASCII, tabs, 2-, 3- and 4-unit characters, wide
// ones (an ideograph, an emoji), a combining accent, units that form no character, bare CR
// and LF, and NUL; never a CR LF, so it is one line.
std::string mixedText(std::mt19937& random, std::size_t length) {
    static const std::vector<std::string> pieces = {
        "a", "bc", "defgh", "\t", "\xD0\xB6", "\xE2\x82\xAC", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "e\xCC\x81", "\x80",
        "\xE2\x82", "\n", "\r",
        std::string(1, '\0'), "0123456789abcdef"};
    std::string text;
    while (text.size() < length) {
        const std::string& piece = pieces[random() % pieces.size()];
        if (piece == "\n" && !text.empty() && text.back() == '\r') continue;
        text += piece;
    }
    return text;
}

TEST(LineColumns, ShortAndLongLinesCountLikeAPlainWalk) {
    std::mt19937 random(7);
    for (std::size_t length : {std::size_t{40}, LineColumns::ShortLine + 1, std::size_t{50'000}}) {
        const std::string line = mixedText(random, length);
        const Document document("first\r\n" + line + "\r\nlast");
        LineColumns columns(document);
        expectColumnsMatch(columns, document, 1);
        EXPECT_EQ(columns.knownWidth(1), countColumns(document, 1).back().column);
    }
}

TEST(LineColumns, LegacyTextTakesOneCellPerUnit) {
    const std::string line = std::string(20'000, 'x') + "\x80\x9F\xE9\t" + std::string(3, '\xD0');
    const Document document(line, {TextEncoding::Legacy});
    LineColumns columns(document);
    expectColumnsMatch(columns, document, 0);
    EXPECT_EQ(columns.columnOf(document.size()), 20'000u + 3 + 5 + 3);
}

TEST(LineColumns, TabsAndWideCharactersSpanSeveralCellsAndMarksNone) {
    EXPECT_EQ(cellsOf(U'a'), 1);
    EXPECT_EQ(cellsOf(U'\u00E9'), 1);      // é
    EXPECT_EQ(cellsOf(U'\u0301'), 0);      // combining acute accent
    EXPECT_EQ(cellsOf(U'\u4E2D'), 2);      // 中
    EXPECT_EQ(cellsOf(U'\u3042'), 2);      // あ
    EXPECT_EQ(cellsOf(U'\uD55C'), 2);      // 한
    EXPECT_EQ(cellsOf(U'\uFF21'), 2);      // fullwidth A
    EXPECT_EQ(cellsOf(U'\uFF76'), 1);      // halfwidth katakana
    EXPECT_EQ(cellsOf(U'\u303F'), 1);      // the one narrow CJK symbol
    EXPECT_EQ(cellsOf(U'\U0001F600'), 2);  // an emoji
    EXPECT_EQ(cellsOf(U'\U0001F321'), 1);  // a symbol among the emoji that stays narrow
    EXPECT_EQ(cellsOf(U'\U00020000'), 2);  // an ideograph beyond the first plane

    // a 中 e+accent ｶ Ａ 😀
    const Document document("\tA\r\nab\tB\r\nabcdefgh\tC\r\n\t\tD\r\n"
                            "a\xE4\xB8\xAD" "e\xCC\x81\xEF\xBD\xB6\xEF\xBC\xA1\xF0\x9F\x98\x80");
    LineColumns columns(document);
    EXPECT_EQ(columns.columnOf(1), 8u);
    EXPECT_EQ(columns.columnOf(document.lineStart(1) + 3), 8u);
    EXPECT_EQ(columns.columnOf(document.lineStart(2) + 9), 16u);
    EXPECT_EQ(columns.columnOf(document.lineStart(3) + 2), 16u);
    const std::size_t wide = document.lineStart(4);
    EXPECT_EQ(columns.columnOf(wide + 4), 3u);   // e
    EXPECT_EQ(columns.columnOf(wide + 5), 4u);   // its accent, in no cell of its own
    EXPECT_EQ(columns.columnOf(wide + 7), 4u);   // ｶ
    EXPECT_EQ(columns.columnOf(wide + 10), 5u);  // Ａ
    EXPECT_EQ(columns.columnOf(wide + 13), 7u);  // 😀
    EXPECT_EQ(columns.columnOf(wide + 17), 9u);  // the line's end
    EXPECT_EQ(columns.cellAt(4, 2), (Cell{wide + 1, 1}));
    // Clicking in a tab's or a wide character's cells lands on the nearer of its two edges,
    // and behind a character means behind its combining marks too.
    EXPECT_EQ(columns.nearestPosition(0, 3), 0u);
    EXPECT_EQ(columns.nearestPosition(0, 5), 1u);
    EXPECT_EQ(columns.nearestPosition(1, 7), document.lineStart(1) + 3);
    EXPECT_EQ(columns.nearestPosition(4, 1.9), wide + 1);
    EXPECT_EQ(columns.nearestPosition(4, 2.2), wide + 4);
    EXPECT_EQ(columns.nearestPosition(4, 3.6), wide + 7);
    EXPECT_EQ(columns.nearestPosition(4, 40), wide + 17);
}

TEST(LineColumns, RandomEditsKeepLongLinesExact) {
    std::mt19937 random(2024);
    Document document("head\r\n" + mixedText(random, 60'000) + "\r\ntail");
    LineColumns columns(document);
    columns.columnOf(document.lineEnd(1));  // indexes the long line
    for (int round = 0; round < 300; ++round) {
        const std::size_t start = document.lineStart(1), end = document.lineEnd(1);
        const std::size_t position = start + random() % (end - start + 1);
        const std::size_t removed = std::min<std::size_t>(random() % 3 == 0 ? random() % 9000 : random() % 5, end - position);
        const std::string inserted = mixedText(random, random() % 4 == 0 ? 6000 : random() % 6);
        const LineColumns::Edit edit = columns.beforeEdit(position, removed);
        document.replace(position, removed, inserted);
        columns.afterEdit(edit, inserted.size());

        const std::vector<Cell> cells = countColumns(document, document.lineOf(position));
        ASSERT_EQ(columns.columnOf(cells.back().position), cells.back().column) << "round " << round;
        for (int probe = 0; probe < 20; ++probe) {
            std::size_t i = random() % cells.size();
            ASSERT_EQ(columns.columnOf(cells[i].position), cells[i].column) << "round " << round;
            // The column's last boundary: behind any combining marks.
            while (i + 1 < cells.size() && cells[i + 1].column == cells[i].column) ++i;
            ASSERT_EQ(columns.cellAt(document.lineOf(position), cells[i].column), cells[i]) << "round " << round;
        }
    }
    for (std::size_t line = 0; line < document.lineCount(); ++line) expectColumnsMatch(columns, document, line);
}

TEST(ColumnIndex, EditsBesideAChunkBoundaryRegroupTheUnitsAcrossIt) {
    // A lone lead or continuation unit right at the end of the first chunk: an edit next to
    // it changes which units form a character on both sides of the chunk boundary.
    const std::vector<std::string> edges = {"\xE2", "\xE2\x82", "\xF0\x9F\x98", "\xAC", "\x82\xAC", "\xE2\x82\xAC"};
    const std::vector<std::pair<std::size_t, std::string>> edits = {
        {0, "\xE2"}, {0, "\xE2\x82"}, {0, "\x82"}, {0, "\xAC\xAC"}, {0, "\t"}, {1, ""}, {2, ""}, {1, "b"}};
    for (const std::string& edge : edges) {
        for (std::size_t shift = 0; shift < 3; ++shift) {
            const std::string text = std::string(ColumnIndex::ChunkUnits - shift, 'a') + edge + "a\tb" +
                                     std::string(ColumnIndex::ChunkUnits, 'c');
            for (int delta = -4; delta <= 4; ++delta) {
                for (const auto& [removed, inserted] : edits) {
                    Document document(text);
                    ColumnIndex index(document, 0, document.size());
                    const std::size_t position = index.boundaryAtOffset(document, ColumnIndex::ChunkUnits + 8).position + delta;
                    document.replace(position, removed, inserted);
                    index.edited(document, 0, document.size(), position, removed, inserted.size());

                    const std::vector<Cell> cells = countColumns(document, 0);
                    ASSERT_EQ(index.length(), document.size());
                    ASSERT_EQ(index.width(), cells.back().column);
                    // Every chunk boundary is a character boundary at its true column.
                    std::vector<std::int64_t> columnAt(document.size() + 1, -1);
                    for (const Cell& cell : cells) columnAt[cell.position] = static_cast<std::int64_t>(cell.column);
                    for (const Cell& cell : cells) {
                        const Cell chunkStart = index.boundaryAtOffset(document, cell.position);
                        ASSERT_EQ(columnAt[chunkStart.position], static_cast<std::int64_t>(chunkStart.column))
                            << "edge " << edge.size() << " shift " << shift << " delta " << delta;
                    }
                }
            }
        }
    }
}

// A line indexed lazily, as one of hundreds of MB is: reaching a place measures only the
// chunks there, so columns far away are estimates, yet from any place asked for on, up to a
// chunk further, the columns are exactly what the characters make from its column, in
// whatever order places are asked for; and a pass along the line in order finds every column
// exact.
TEST(ColumnIndex, ALazyIndexIsExactNearThePlacesAskedFor) {
    std::mt19937 random(11);
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Legacy}) {
        SCOPED_TRACE(static_cast<int>(encoding));
        // Its last chunk holds the remainder of the cut too: almost two chunks' worth.
        const Document document(mixedText(random, 101 * ColumnIndex::ChunkUnits - 20), {encoding, false});
        const std::vector<Cell> cells = countColumns(document, 0);
        std::vector<std::int64_t> columnAt(document.size() + 1, -1);
        for (const Cell& cell : cells) columnAt[cell.position] = static_cast<std::int64_t>(cell.column);

        ColumnIndex index(document, 0, document.size(), 0);
        // The cell of a character boundary as the pane finds it: the chunk's start, then a walk.
        const auto cellOf = [&](std::size_t position) {
            const Cell start = index.boundaryAtOffset(document, position);
            EXPECT_GE(columnAt[start.position], 0) << "a chunk starts inside a character";
            return countColumnsFrom(document, start, position).back();
        };
        for (int probe = 0; probe < 200; ++probe) {
            const std::size_t first = cells[random() % cells.size()].position;
            const std::size_t end = std::min(document.size(), first + random() % ColumnIndex::ChunkUnits);
            const std::vector<Cell> near = countColumnsFrom(document, cellOf(first), end);
            const std::size_t last = near.size() > 1 ? near[near.size() - 2].position : first;
            if (probe % 2) cellOf(last);
            cellOf(first);
            ASSERT_EQ(cellOf(last), countColumnsFrom(document, cellOf(first), last).back()) << "probe " << probe;
        }
        for (const Cell& cell : cells) {
            const Cell start = index.boundaryAtOffset(document, cell.position);
            ASSERT_EQ(columnAt[start.position], static_cast<std::int64_t>(start.column));
        }
        EXPECT_EQ(index.width(), cells.back().column);
        // A column asked for lands in the chunk whose cells hold it, at the start of a character.
        for (int probe = 0; probe < 50; ++probe) {
            const std::uint64_t column = random() % cells.back().column;
            const Cell start = index.boundaryAtColumn(document, column);
            ASSERT_EQ(columnAt[start.position], static_cast<std::int64_t>(start.column));
            ASSERT_LE(start.column, column);
        }
    }
}

// Edits anywhere in a lazily indexed line, also inside chunks not yet measured whose cut
// falls inside a character, leave every column exact for a pass along the line in order.
TEST(ColumnIndex, ALazyIndexFollowsEditsAnywhere) {
    std::mt19937 random(12);
    // Without CR no edit can make a CR LF and split the line.
    const auto withoutCr = [](std::string text) {
        std::replace(text.begin(), text.end(), '\r', 'r');
        return text;
    };
    // Long enough that most chunks are neither sampled nor next to a sampled one.
    Document document(withoutCr(mixedText(random, 1000 * ColumnIndex::ChunkUnits)));
    ColumnIndex index(document, 0, document.size(), 0);
    for (int round = 0; round < 100; ++round) {
        const std::size_t position = random() % document.size();
        const std::size_t removed = std::min<std::size_t>(random() % 6, document.size() - position);
        const std::string inserted = withoutCr(mixedText(random, random() % 8));
        document.replace(position, removed, inserted);
        index.edited(document, 0, document.size(), position, removed, inserted.size());
        if (round % 3 == 0) index.boundaryAtOffset(document, random() % document.size());
    }
    const std::vector<Cell> cells = countColumns(document, 0);
    std::vector<std::int64_t> columnAt(document.size() + 1, -1);
    for (const Cell& cell : cells) columnAt[cell.position] = static_cast<std::int64_t>(cell.column);
    ASSERT_EQ(index.length(), document.size());
    for (const Cell& cell : cells) {
        const Cell start = index.boundaryAtOffset(document, cell.position);
        ASSERT_EQ(columnAt[start.position], static_cast<std::int64_t>(start.column)) << "at " << cell.position;
    }
    EXPECT_EQ(index.width(), cells.back().column);
}

TEST(LineColumns, EditsThatSplitOrJoinLinesRenumberThem) {
    std::mt19937 random(5);
    const std::string longLine = mixedText(random, 30'000);
    Document document("a\r\n" + longLine + "\r\n\tz");
    LineColumns columns(document);
    columns.columnOf(document.lineEnd(1));
    // A CR LF typed into the middle of the long line splits it.
    const std::size_t middle = document.lineStart(1) + 15'000;
    LineColumns::Edit edit = columns.beforeEdit(middle, 0);
    document.replace(middle, 0, "\r\n");
    columns.afterEdit(edit, 2);
    ASSERT_EQ(document.lineCount(), 4u);
    for (std::size_t line = 0; line < 4; ++line) expectColumnsMatch(columns, document, line);
    // Deleting the CR LF joins the lines again.
    edit = columns.beforeEdit(middle, 2);
    document.replace(middle, 2, "");
    columns.afterEdit(edit, 0);
    ASSERT_EQ(document.lineCount(), 3u);
    for (std::size_t line = 0; line < 3; ++line) expectColumnsMatch(columns, document, line);
}

// An edit of an earlier line moves a long line that is indexed lazily: the chunks of it
// measured afterwards are read where its text now lies, as for an index made anew.
TEST(LineColumns, AnEditMovesTheLinesIndexedBehindIt) {
    std::mt19937 random(11);
    Document document("head\r\n" + mixedText(random, ColumnIndex::EagerUnits + 100'000));
    LineColumns columns(document);
    const std::size_t first = 100'000;
    columns.columnOf(document.lineStart(1) + first);  // indexes the long line, measuring around there
    const std::string typed(1000, 'x');
    const LineColumns::Edit edit = columns.beforeEdit(1, 0);
    document.replace(1, 0, typed);
    columns.afterEdit(edit, typed.size());

    LineColumns fresh(document);
    const std::size_t start = document.lineStart(1);
    ASSERT_EQ(fresh.columnOf(start + first), columns.columnOf(start + first));
    // Each place measures the chunk that holds it, which the one a chunk further on counts on.
    for (const std::size_t offset : {300'000, 600'000, 900'000}) {
        for (const std::size_t place : {offset, offset + 2 * ColumnIndex::ChunkUnits})
            EXPECT_EQ(columns.columnOf(start + place), fresh.columnOf(start + place)) << place;
    }
}

TEST(LineColumns, WidestLineIsEstimatedThenLearned) {
    // The longest line by units is measured at once when it is short: its tabs make it wider.
    const Document tabs("ab\r\n\t\t\tx\r\nabc\r\n\t\t\t");
    LineColumns tabColumns(tabs);
    EXPECT_EQ(tabColumns.widest(), 25u);
    // A line shorter in units but wider in cells counts once it has been measured.
    tabColumns.knownWidth(3);
    EXPECT_EQ(tabColumns.widest(), 25u);
    const Document wider("abcdefghij\r\n\t\t");
    LineColumns widerColumns(wider);
    EXPECT_EQ(widerColumns.widest(), 10u);
    widerColumns.knownWidth(1);
    EXPECT_EQ(widerColumns.widest(), 16u);
    // A long line starts as its unit count and becomes exact once indexed: 3 units per cell.
    std::string wide;
    for (int i = 0; i < 10'000; ++i) wide += "\xE2\x82\xAC";
    const Document euros("short\r\n" + wide);
    LineColumns columns(euros);
    EXPECT_EQ(columns.widest(), 30'000u);
    columns.columnOf(euros.size());
    EXPECT_EQ(columns.widest(), 10'000u);
}

TEST(ScrollScale, RangesBeyondAnIntStillReachTheirEnd) {
    ScrollScale small;
    small.setMaximum(1000);
    EXPECT_EQ(small.barMaximum(), 1000);
    EXPECT_EQ(small.fromBar(small.toBar(437)), 437u);

    ScrollScale huge;
    const std::uint64_t lines = 5'000'000'000ull;  // more lines than an int counts
    huge.setMaximum(lines);
    EXPECT_LE(static_cast<std::uint64_t>(huge.barMaximum()), ScrollScale::BarLimit);
    EXPECT_EQ(huge.fromBar(huge.barMaximum()), lines);
    EXPECT_EQ(huge.toBar(lines), huge.barMaximum());
    EXPECT_EQ(huge.fromBar(0), 0u);
    const std::uint64_t middle = lines / 2 + 3;
    const std::uint64_t back = huge.fromBar(huge.toBar(middle));
    EXPECT_LE(back, middle);
    EXPECT_LT(middle - back, 5u);
    EXPECT_EQ(huge.barSteps(3), 1);  // a page still moves the bar
    EXPECT_GE(huge.barSteps(lines), huge.barMaximum());
}

}  // namespace
}  // namespace norvane::ui
