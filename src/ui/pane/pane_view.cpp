#include "ui/pane/pane_view.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QScrollBar>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace norvane::ui {

PaneView::PaneView(QAbstractScrollArea& area, const Document& document, LineColumns& columns)
    : area_(area), document_(document), columns_(columns) {}

namespace {

// Far outside any viewport, yet well inside an int once drawn.
constexpr qreal Far = 1 << 24;

}  // namespace

std::size_t PaneView::visibleLines() const {
    return static_cast<std::size_t>(std::max(1.0, std::floor(area_.viewport()->height() / cell_.height())));
}

std::uint64_t PaneView::visibleColumns() const {
    return static_cast<std::uint64_t>(std::max(1.0, std::floor(area_.viewport()->width() / cell_.width())));
}

std::uint64_t PaneView::columnsAcross() const {
    return static_cast<std::uint64_t>(std::floor(area_.viewport()->width() / cell_.width())) + 1;
}

QRectF PaneView::cellRect(std::size_t position) const {
    const auto row = static_cast<qreal>(static_cast<std::int64_t>(document_.lineOf(position)) -
                                        static_cast<std::int64_t>(topLine_));
    return {xOf(columnOf(position)), std::clamp(row * cell_.height(), -Far, Far), cell_.width(), cell_.height()};
}

qreal PaneView::xOf(std::uint64_t column) const {
    const auto cells = static_cast<qreal>(static_cast<std::int64_t>(column) - static_cast<std::int64_t>(firstColumn_));
    return std::clamp(cells * cell_.width(), -Far, Far);
}

std::size_t PaneView::positionAt(QPointF point) const {
    expectCurrent();
    const auto lastLine = static_cast<qreal>(document_.lineCount() - 1);
    const qreal line = std::clamp(static_cast<qreal>(topLine_) + std::floor(point.y() / cell_.height()), 0.0, lastLine);
    // The place along the line in cells, which nearestPosition rounds to a boundary.
    const qreal column = static_cast<qreal>(firstColumn_) + point.x() / cell_.width();
    return columns_.nearestPosition(static_cast<std::size_t>(line), column);
}

void PaneView::ensureVisible(std::size_t position) {
    const std::size_t line = document_.lineOf(position);
    const std::uint64_t columns = visibleColumns();
    const std::uint64_t jump = columns / 4;
    // A long line is measured near the places asked for: the columns left of the caret, which
    // the view may come to show, are measured first, so that what is drawn keeps its place.
    if (const std::uint64_t guess = columnOf(position); guess > columns + jump)
        columns_.cellAt(line, guess - columns - jump);
    const std::uint64_t column = columnOf(position);
    // A wide character is shown whole: its second cell counts at the right edge.
    const std::uint64_t after = columns_.columnAfter(position);
    const std::uint64_t lastColumn = after > column + 1 ? after - 1 : column;
    columns_.knownWidth(line);
    columns_.includeColumn(line, column);
    updateScrollBars();
    std::size_t top = topLine_;
    const std::size_t lines = visibleLines();
    if (line < top)
        top = line;
    else if (line >= top + lines)
        top = line - lines + 1;
    std::uint64_t left = firstColumn_;
    if (column < left)
        left = column > jump ? column - jump : 0;
    else if (lastColumn >= left + columns)
        left = lastColumn - columns + 1 + jump;
    scrollTo(top, left);
}

void PaneView::scrollTo(std::size_t line, std::uint64_t column) {
    topLine_ = std::min<std::uint64_t>(line, verticalScale_.maximum());
    firstColumn_ = std::min(column, horizontalScale_.maximum());
    settingScrollBars_ = true;
    area_.verticalScrollBar()->setValue(verticalScale_.toBar(topLine_));
    area_.horizontalScrollBar()->setValue(horizontalScale_.toBar(firstColumn_));
    settingScrollBars_ = false;
    area_.viewport()->update();
}

void PaneView::home() {
    topLine_ = 0;
    firstColumn_ = 0;
    updateScrollBars();
}

void PaneView::expectCurrent() const {
    assert(revision_ == document_.revision() && "the view is fitted to another revision of the document");
}

void PaneView::updateScrollBars() {
    revision_ = document_.revision();
    const std::size_t lines = visibleLines();
    const std::uint64_t columns = visibleColumns();
    const std::size_t lineCount = document_.lineCount();
    // Room for the caret behind the end of the widest line.
    const std::uint64_t width = columns_.widest() + 1;
    verticalScale_.setMaximum(lineCount > lines ? lineCount - lines : 0);
    horizontalScale_.setMaximum(width > columns ? width - columns : 0);
    settingScrollBars_ = true;
    area_.verticalScrollBar()->setRange(0, verticalScale_.barMaximum());
    area_.verticalScrollBar()->setPageStep(verticalScale_.barSteps(lines));
    area_.horizontalScrollBar()->setRange(0, horizontalScale_.barMaximum());
    area_.horizontalScrollBar()->setPageStep(horizontalScale_.barSteps(columns));
    settingScrollBars_ = false;
    scrollTo(topLine_, firstColumn_);
}

void PaneView::followScrollBars() {
    // The view scrolls itself: a moved bar only sets where drawing starts.
    if (!settingScrollBars_) {
        topLine_ = verticalScale_.fromBar(area_.verticalScrollBar()->value());
        firstColumn_ = horizontalScale_.fromBar(area_.horizontalScrollBar()->value());
    }
    area_.viewport()->update();
}

void PaneView::setFont(const QFont& font, qreal devicePixelRatio) {
    // The font's advance, which may be fractional (hinting "slight" leaves it so), rounded
    // to whole device pixels so that every cell is equally many pixels wide; ascent and descent
    // rounded up, so that no glyph reaches into the row above or below.
    devicePixelRatio_ = devicePixelRatio;
    const QFontMetricsF metrics(font);
    const auto devicePixels = [&](qreal logical, qreal (*round)(qreal)) {
        return std::max(1.0, round(logical * devicePixelRatio)) / devicePixelRatio;
    };
    ascent_ = devicePixels(metrics.ascent(), std::ceil);
    cell_ = {devicePixels(metrics.horizontalAdvance(QLatin1Char('M')), std::round),
             ascent_ + devicePixels(metrics.descent(), std::ceil)};
}

}  // namespace norvane::ui
