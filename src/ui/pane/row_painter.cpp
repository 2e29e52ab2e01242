#include "ui/pane/row_painter.h"

#include "engine/text_encoding.h"
#include "ui/pane/cell_text.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace norvane::ui {
namespace {

// Characters drawn as a mark in their cell rather than as a glyph: a bare LF as a box, the
// problem the user came to fix; the other invisible characters, which would otherwise take an
// empty cell (control characters other than tab, format characters such as a zero-width
// joiner, line and paragraph separators), as a box struck through, so that none is taken for an LF.
enum class Mark { None, LineFeed, Invisible };

Mark markOf(char32_t c) {
    if (c == '\n') return Mark::LineFeed;
    if (c == '\t') return Mark::None;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return Mark::Invisible;
    if (c < 0xA0) return Mark::None;
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return Mark::Invisible;
    default:
        return Mark::None;
    }
}

// A character of a row and the columns it spans.
struct RowCharacter {
    char32_t c;
    std::size_t position;
    std::uint64_t column;
    std::uint64_t next;
};

// Units copied out of the document at a time while a row is read.
constexpr std::size_t RowBlockUnits = 1024;
// The most characters read per cell of a row: a run of combining marks longer than this
// is cut short rather than read to its end at every paint.
constexpr std::size_t MaxCharactersPerCell = 16;

class RowPainter {
public:
    RowPainter(QPainter& painter, const Document& document, LineColumns& columns, const PaneView& view,
               GlyphCache& glyphs, UnitRange selected, const RowColours& colours)
        : painter_(painter), document_(document), columns_(columns), view_(view), text_(painter, glyphs),
          selected_(selected), colours_(colours), cell_(view.cellSize()), cellsAcross_(view.columnsAcross()),
          devicePixel_(1.0 / painter.device()->devicePixelRatioF()) {}

    void paint(std::size_t line, qreal y) {
        const std::size_t end = document_.lineEnd(line);
        const std::uint64_t limit = view_.firstColumn() + cellsAcross_;
        const std::vector<RowCharacter> row = readRow(line, limit);
        const qreal baseline = y + view_.ascent();
        for (std::size_t i = 0; i < row.size(); ++i) {
            const RowCharacter& c = row[i];
            const bool isSelected = c.position >= selected_.start && c.position < selected_.end;
            const QRectF cells(view_.xOf(c.column), y, static_cast<qreal>(c.next - c.column) * cell_.width(),
                               cell_.height());
            if (isSelected && cells.width() > 0) painter_.fillRect(cells, colours_.highlight);
            const QColor& colour = isSelected ? colours_.selectedText : colours_.text;
            if (c.c == '\t') continue;
            if (const Mark mark = markOf(c.c); mark != Mark::None) {
                drawMark(mark, cells, colour);
                continue;
            }
            // A character and the combining marks behind it are drawn together, in its cells.
            std::size_t marks = 0;
            while (i + 1 + marks < row.size() && row[i + 1 + marks].next == row[i + 1 + marks].column) ++marks;
            if (marks == 0) {
                text_.draw(c.c, cells, baseline, colour);
                continue;
            }
            QString cluster;
            for (std::size_t k = i; k <= i + marks; ++k) cluster += QString::fromUcs4(&row[k].c, 1);
            text_.drawCluster(cluster, cells, baseline, colour);
            i += marks;
        }
        // A selected line break shows as one selected cell behind the line's text.
        const bool reachedEnd = reached_.position == end && reached_.column < limit;
        if (reachedEnd && line + 1 < document_.lineCount() && selected_.start <= end && selected_.end >= end + 2)
            painter_.fillRect(QRectF(view_.xOf(reached_.column), y, cell_.width(), cell_.height()), colours_.highlight);
    }

private:
    // The characters of a line from the one whose cells hold the view's first column to the
    // one that reaches past `limit`, with the combining marks behind it; reached_ is where
    // it stopped.
    std::vector<RowCharacter> readRow(std::size_t line, std::uint64_t limit) {
        const std::size_t end = document_.lineEnd(line);
        const TextEncoding encoding = document_.format().encoding;
        Cell at = columns_.cellAt(line, view_.firstColumn());
        const std::size_t maxCharacters = (cellsAcross_ + 2) * MaxCharactersPerCell;
        std::vector<RowCharacter> row;
        std::string units;
        std::size_t blockStart = at.position;
        while (at.position < end) {
            if (at.position + MaxCharacterUnits > blockStart + units.size() && blockStart + units.size() < end) {
                blockStart = at.position;
                units.resize(std::min(end - blockStart, RowBlockUnits));
                document_.copyTo(blockStart, units.size(), units.data());
            }
            const std::size_t offset = at.position - blockStart;
            const auto unit = static_cast<unsigned char>(units[offset]);
            const DecodedCharacter c = unit < 0x80 ? DecodedCharacter{unit, 1, true}
                                                   : decodeCharacter(encoding, std::span(units).subspan(offset));
            const std::uint64_t next = isOneUnitEach(encoding) && c.codePoint != '\t'
                                           ? at.column + 1
                                           : columnAfter(c.codePoint, at.column);
            if ((at.column >= limit && next > at.column) || row.size() >= maxCharacters) break;
            row.push_back({c.codePoint, at.position, at.column, next});
            at = {at.position + c.length, next};
        }
        reached_ = at;
        return row;
    }

    void drawMark(Mark mark, const QRectF& cell, const QColor& colour) {
        painter_.setPen(colour);
        painter_.setBrush(Qt::NoBrush);
        const qreal top = cell.top() + std::round(cell.height() / 5);
        const qreal bottom = cell.top() + view_.ascent() - 1;
        const QRectF box(cell.left() + 1, top, std::max(devicePixel_, cell.width() - 3),
                         std::max(devicePixel_, bottom - top));
        painter_.drawRect(box);
        if (mark == Mark::Invisible) painter_.drawLine(box.bottomLeft(), box.topRight());
    }

    QPainter& painter_;
    const Document& document_;
    LineColumns& columns_;
    const PaneView& view_;
    CellText text_;  // draws the glyphs of all rows together, when the painter goes
    UnitRange selected_;
    const RowColours& colours_;
    QSizeF cell_;
    std::uint64_t cellsAcross_;
    qreal devicePixel_;
    Cell reached_;
};

}  // namespace

void paintRows(QPainter& painter, QRect exposed, const Document& document, LineColumns& columns,
               const PaneView& view, GlyphCache& glyphs, UnitRange selected, const RowColours& colours) {
    RowPainter row(painter, document, columns, view, glyphs, selected, colours);
    const qreal cellHeight = view.cellSize().height();
    const auto firstRow = static_cast<std::size_t>(std::max(0.0, std::floor(exposed.top() / cellHeight)));
    const auto lastRow = static_cast<std::size_t>(std::max(0.0, std::floor(exposed.bottom() / cellHeight)));
    for (std::size_t r = firstRow; r <= lastRow; ++r) {
        const std::size_t line = view.firstLine() + r;
        if (line >= document.lineCount()) break;
        row.paint(line, view.yOf(r));
        columns.knownWidth(line);
    }
}

}  // namespace norvane::ui
