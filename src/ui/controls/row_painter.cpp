#include "ui/controls/row_painter.h"

#include "engine/text_encoding.h"

#include <QPainter>

#include <algorithm>
#include <string>

namespace norvane::ui {
namespace {

// Characters drawn as a box mark: control characters other than tab (C0, DEL, C1) and the
// invisible format and separator characters, which would otherwise take an empty cell.
bool isBoxed(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    if (c < 0xA0) return false;
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// Collects neighbouring printable ASCII cells of one colour into one string, drawn in one
// call. Any other character is drawn on its own at the start of its cell, and a glyph
// wider than a cell (a CJK ideograph, say) is squeezed into it, so the cells behind it
// stay where the column arithmetic puts them.
class TextRun {
public:
    TextRun(QPainter& painter, int baseline, int cellWidth)
        : painter_(painter), baseline_(baseline), cellWidth_(cellWidth) {}

    void add(int x, char32_t c, const QColor& colour) {
        if (c > 0x7F) {
            flush();
            drawAlone(x, c, colour);
            return;
        }
        if (!text_.isEmpty() && (colour != colour_ || x != x_ + cellWidth_ * static_cast<int>(text_.size()))) flush();
        if (text_.isEmpty()) {
            x_ = x;
            colour_ = colour;
        }
        text_ += QChar(static_cast<char16_t>(c));
    }

    void flush() {
        if (text_.isEmpty()) return;
        painter_.setPen(colour_);
        painter_.drawText(QPoint(x_, baseline_), text_);
        text_.clear();
    }

private:
    void drawAlone(int x, char32_t c, const QColor& colour) {
        QString glyph;
        if (c > 0xFFFF) {
            glyph += QChar(QChar::highSurrogate(c));
            glyph += QChar(QChar::lowSurrogate(c));
        } else {
            glyph += QChar(static_cast<char16_t>(c));  // an unpaired surrogate shows as the font's box
        }
        painter_.setPen(colour);
        const int advance = painter_.fontMetrics().horizontalAdvance(glyph);
        if (advance <= cellWidth_) {
            painter_.drawText(QPoint(x, baseline_), glyph);
            return;
        }
        painter_.save();
        painter_.translate(x, baseline_);
        painter_.scale(static_cast<double>(cellWidth_) / advance, 1.0);
        painter_.drawText(QPoint(0, 0), glyph);
        painter_.restore();
    }

    QPainter& painter_;
    int baseline_;
    int cellWidth_;
    QString text_;
    QColor colour_;
    int x_ = 0;
};

// One row: the line's cells from the view's first column to the viewport's right edge.
class RowPainter {
public:
    RowPainter(QPainter& painter, const Document& document, LineColumns& columns, const PaneView& view,
               UnitRange selected, const RowColours& colours)
        : painter_(painter), document_(document), columns_(columns), view_(view), selected_(selected),
          colours_(colours), cell_(view.cellSize()), cellsAcross_(view.columnsAcross()) {}

    void paint(std::size_t line, int y) {
        const std::size_t end = document_.lineEnd(line);
        const std::uint64_t firstColumn = view_.firstColumn();
        const Cell first = columns_.cellAt(line, firstColumn);
        // Each visible cell holds at most one character.
        const std::size_t count =
            std::min<std::size_t>(end - first.position, (cellsAcross_ + 1) * MaxCharacterUnits);
        std::string units(count, '\0');
        document_.units().copyTo(first.position, count, units.data());
        const TextEncoding encoding = document_.format().encoding;

        TextRun run(painter_, y + view_.ascent(), cell_.width());
        std::size_t offset = 0;
        std::uint64_t column = first.column;
        while (offset < count && column < firstColumn + cellsAcross_) {
            const std::size_t position = first.position + offset;
            const auto unit = static_cast<unsigned char>(units[offset]);
            const DecodedCharacter c = unit < 0x80 ? DecodedCharacter{unit, 1, true}
                                                   : decodeCharacter(encoding, std::span(units).subspan(offset));
            const std::uint64_t next = c.codePoint == '\t' ? columnAfterTab(column) : column + 1;
            const bool isSelected = position >= selected_.start && position < selected_.end;
            const int x = view_.xOf(column);
            const int width = static_cast<int>(next - column) * cell_.width();
            if (isSelected) painter_.fillRect(x, y, width, cell_.height(), colours_.highlight);
            const QColor& colour = isSelected ? colours_.selectedText : colours_.text;
            if (c.codePoint == '\t') {
                run.flush();
            } else if (isBoxed(c.codePoint)) {
                run.flush();
                painter_.setPen(colour);
                const int top = y + cell_.height() / 5;
                painter_.drawRect(x + 1, top, std::max(1, cell_.width() - 3), std::max(1, y + view_.ascent() - top - 1));
            } else {
                run.add(x, c.codePoint, colour);
            }
            offset += c.length;
            column = next;
        }
        run.flush();
        // A selected line break shows as one selected cell behind the line's text.
        const bool reachedEnd = first.position + offset == end && column < firstColumn + cellsAcross_;
        if (reachedEnd && line + 1 < document_.lineCount() && selected_.start <= end && selected_.end >= end + 2)
            painter_.fillRect(view_.xOf(column), y, cell_.width(), cell_.height(), colours_.highlight);
    }

private:
    QPainter& painter_;
    const Document& document_;
    LineColumns& columns_;
    const PaneView& view_;
    UnitRange selected_;
    const RowColours& colours_;
    QSize cell_;
    std::uint64_t cellsAcross_;
};

}  // namespace

void paintRows(QPainter& painter, QRect exposed, const Document& document, LineColumns& columns,
               const PaneView& view, UnitRange selected, const RowColours& colours) {
    RowPainter row(painter, document, columns, view, selected, colours);
    const int cellHeight = view.cellSize().height();
    const int firstRow = std::max(0, exposed.top() / cellHeight);
    const int lastRow = exposed.bottom() / cellHeight;
    for (int r = firstRow; r <= lastRow; ++r) {
        const std::size_t line = view.firstLine() + static_cast<std::size_t>(r);
        if (line >= document.lineCount()) break;
        row.paint(line, r * cellHeight);
        columns.knownWidth(line);
    }
}

}  // namespace norvane::ui
