// The text pane's own view events: painting, resizing, scrolling and style changes, each
// handed to the view part (PaneView) and the row painter.
#include "ui/pane/text_pane.h"

#include "ui/pane/cell_text.h"
#include "ui/pane/char_width.h"
#include "ui/pane/row_painter.h"

#include <QPaintEvent>
#include <QPainter>

namespace norvane::ui {

QPalette::ColorGroup TextPane::colorGroup() const {
    if (!isEnabled()) return QPalette::Disabled;
    return isActiveWindow() ? QPalette::Active : QPalette::Inactive;
}

void TextPane::paintEvent(QPaintEvent* event) {
    // On a screen of another scale factor the cells are whole device pixels no more.
    if (viewport()->devicePixelRatioF() != view_.devicePixelRatio()) fontChanged();
    view_.expectCurrent();
    QPainter painter(viewport());
    const QPalette::ColorGroup group = colorGroup();
    painter.fillRect(event->rect(), palette().color(group, QPalette::Base));
    painter.setFont(font());
    const std::uint64_t widestBefore = columns_.widest();
    // The selection shows while the pane has the focus, or its context menu is open.
    const UnitRange selected = hasFocus() || contextMenuOpen_ ? selection_.range() : UnitRange{};
    paintRows(painter, event->rect(), document_, columns_, view_, glyphs_, selected,
              {palette().color(group, QPalette::Text), palette().color(group, QPalette::HighlightedText),
               palette().color(group, QPalette::Highlight)});
    if (!preedit_.isEmpty()) paintPreedit(painter, group);
    if (hasFocus() && caretOn_) {
        const QRectF caret = caretRect();
        if (QRectF(viewport()->rect()).intersects(caret))
            painter.fillRect(QRectF(caret.x(), caret.y(), 1, caret.height()), palette().color(group, QPalette::Text));
    }
    // A line wider than known came into view: widen the scroll range once painting is done.
    if (columns_.widest() > widestBefore) QMetaObject::invokeMethod(this, &TextPane::updateScrollBars, Qt::QueuedConnection);
}

QRectF TextPane::caretRect() const {
    const auto cells = static_cast<qreal>(cellsOf(QStringView(preedit_).first(preeditCursor_)));
    return cellRect(selection_.caret()).translated(cells * cellSize().width(), 0);
}

void TextPane::paintPreedit(QPainter& painter, QPalette::ColorGroup group) {
    const QRectF caret = cellRect(selection_.caret());
    const qreal baseline = caret.top() + view_.ascent();
    const QColor colour = palette().color(group, QPalette::Text);
    const QList<uint> characters = preedit_.toUcs4();
    const qreal width = static_cast<qreal>(cellsOf(preedit_)) * cellSize().width();
    painter.fillRect(QRectF(caret.left(), caret.top(), width, caret.height()), palette().color(group, QPalette::Base));
    {
        CellText text(painter, glyphs_);
        int column = 0;
        for (qsizetype i = 0; i < characters.size();) {
            // A character and the combining marks behind it share its cells.
            qsizetype end = i + 1;
            while (end < characters.size() && cellsOf(characters[end]) == 0) ++end;
            const int cells = cellsOf(characters[i]);
            const QRectF place(caret.left() + column * cellSize().width(), caret.top(), cells * cellSize().width(),
                               caret.height());
            if (end == i + 1)
                text.draw(characters[i], place, baseline, colour);
            else
                text.drawCluster(QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData() + i), end - i), place, baseline, colour);
            column += cells;
            i = end;
        }
    }
    painter.fillRect(QRectF(caret.left(), baseline + 1, width, 1), colour);
}

void TextPane::updateScrollBars() {
    view_.updateScrollBars();
}

void TextPane::fontChanged() {
    view_.setFont(font(), viewport()->devicePixelRatioF());
    glyphs_ = GlyphCache(font());
    updateScrollBars();
}

void TextPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextPane::scrollContentsBy(int, int) { view_.followScrollBars(); }

void TextPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) fontChanged();
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ActivationChange) viewport()->update();
}

}  // namespace norvane::ui
