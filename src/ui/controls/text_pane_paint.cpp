// Drawing the text pane: only the rows and cells the paint event exposes.
#include "ui/controls/text_pane.h"

#include "engine/text_encoding.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <string>

namespace norvane::ui {
namespace {

constexpr std::size_t MaxCharacterUnits = 4;

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

}  // namespace

QPalette::ColorGroup TextPane::colorGroup() const {
    if (!isEnabled()) return QPalette::Disabled;
    return isActiveWindow() ? QPalette::Active : QPalette::Inactive;
}

bool TextPane::selectionShown() const { return hasFocus() || contextMenuOpen_; }

void TextPane::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(colorGroup(), QPalette::Base));
    // The document may be half rewritten while it changes: nothing of it is drawn.
    if (changing_) return;
    painter.setFont(font());
    const std::uint64_t widestBefore = columns_.widest();
    const int firstRow = std::max(0, event->rect().top() / cellHeight_);
    const int lastRow = event->rect().bottom() / cellHeight_;
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::size_t line = topLine_ + static_cast<std::size_t>(row);
        if (line >= document_.lineCount()) break;
        paintLine(painter, line, row * cellHeight_);
        columns_.knownWidth(line);
    }
    if (hasFocus() && caretOn_) paintCaret(painter);
    // A line wider than known came into view: widen the scroll range once painting is done.
    if (columns_.widest() > widestBefore) QMetaObject::invokeMethod(this, &TextPane::updateScrollBars, Qt::QueuedConnection);
}

void TextPane::paintLine(QPainter& painter, std::size_t line, int y) {
    const QPalette::ColorGroup group = colorGroup();
    const QColor textColour = palette().color(group, QPalette::Text);
    const QColor selectedColour = palette().color(group, QPalette::HighlightedText);
    const QColor highlight = palette().color(group, QPalette::Highlight);
    const UnitRange selected = selectionShown() ? selection() : UnitRange{};

    const std::size_t end = document_.lineEnd(line);
    const std::uint64_t cellsAcross = static_cast<std::uint64_t>(viewport()->width() / cellWidth_) + 1;
    const Cell first = columns_.cellAt(line, firstColumn_);
    // Each visible cell holds at most one character, of at most four units.
    const std::size_t count = std::min<std::size_t>(end - first.position, (cellsAcross + 1) * MaxCharacterUnits);
    std::string units(count, '\0');
    document_.units().copyTo(first.position, count, units.data());
    const TextEncoding encoding = document_.format().encoding;

    const auto xOf = [&](std::uint64_t column) {
        return static_cast<int>(static_cast<std::int64_t>(column) - static_cast<std::int64_t>(firstColumn_)) * cellWidth_;
    };
    TextRun run(painter, y + ascent_, cellWidth_);
    std::size_t offset = 0;
    std::uint64_t column = first.column;
    while (offset < count && column < firstColumn_ + cellsAcross) {
        const std::size_t position = first.position + offset;
        const auto unit = static_cast<unsigned char>(units[offset]);
        const DecodedCharacter c = unit < 0x80 ? DecodedCharacter{unit, 1, true}
                                               : decodeCharacter(encoding, std::span(units).subspan(offset));
        const std::uint64_t next = c.codePoint == '\t' ? columnAfterTab(column) : column + 1;
        const bool isSelected = position >= selected.start && position < selected.end;
        const int x = xOf(column);
        const int width = static_cast<int>(next - column) * cellWidth_;
        if (isSelected) painter.fillRect(x, y, width, cellHeight_, highlight);
        const QColor& colour = isSelected ? selectedColour : textColour;
        if (c.codePoint == '\t') {
            run.flush();
        } else if (isBoxed(c.codePoint)) {
            run.flush();
            painter.setPen(colour);
            const int top = y + cellHeight_ / 5;
            painter.drawRect(x + 1, top, std::max(1, cellWidth_ - 3), std::max(1, y + ascent_ - top - 1));
        } else {
            run.add(x, c.codePoint, colour);
        }
        offset += c.length;
        column = next;
    }
    run.flush();
    // A selected line break shows as one selected cell behind the line's text.
    const bool reachedEnd = first.position + offset == end && column < firstColumn_ + cellsAcross;
    if (reachedEnd && line + 1 < document_.lineCount() && selected.start <= end && selected.end >= end + 2)
        painter.fillRect(xOf(column), y, cellWidth_, cellHeight_, highlight);
}

void TextPane::paintCaret(QPainter& painter) {
    const QRect cell = cellRect(caret_);
    if (!viewport()->rect().intersects(cell)) return;
    painter.fillRect(cell.x(), cell.y(), 1, cell.height(), palette().color(colorGroup(), QPalette::Text));
}

}  // namespace norvane::ui
