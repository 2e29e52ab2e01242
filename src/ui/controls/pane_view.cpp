#include "ui/controls/pane_view.h"

#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QScrollBar>

#include <algorithm>

namespace norvane::ui {

PaneView::PaneView(QAbstractScrollArea& area, const Document& document, LineColumns& columns)
    : area_(area), document_(document), columns_(columns) {}

std::size_t PaneView::visibleLines() const {
    return static_cast<std::size_t>(std::max(1, area_.viewport()->height() / cellHeight_));
}

std::uint64_t PaneView::visibleColumns() const {
    return static_cast<std::uint64_t>(std::max(1, area_.viewport()->width() / cellWidth_));
}

std::uint64_t PaneView::columnsAcross() const {
    return static_cast<std::uint64_t>(area_.viewport()->width() / cellWidth_) + 1;
}

QRect PaneView::cellRect(std::size_t position) const {
    const auto line = static_cast<std::int64_t>(document_.lineOf(position));
    const auto column = static_cast<std::int64_t>(columnOf(position));
    const std::int64_t x = (column - static_cast<std::int64_t>(firstColumn_)) * cellWidth_;
    const std::int64_t y = (line - static_cast<std::int64_t>(topLine_)) * cellHeight_;
    constexpr std::int64_t Far = 1 << 24;  // far outside any viewport, still an int
    return {static_cast<int>(std::clamp(x, -Far, Far)), static_cast<int>(std::clamp(y, -Far, Far)), cellWidth_,
            cellHeight_};
}

int PaneView::xOf(std::uint64_t column) const {
    return static_cast<int>(static_cast<std::int64_t>(column) - static_cast<std::int64_t>(firstColumn_)) * cellWidth_;
}

std::size_t PaneView::positionAt(QPoint point) const {
    const auto floorDivide = [](std::int64_t value, std::int64_t divisor) {
        return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
    };
    const std::int64_t lastLine = static_cast<std::int64_t>(document_.lineCount()) - 1;
    const std::int64_t line = static_cast<std::int64_t>(topLine_) + floorDivide(point.y(), cellHeight_);
    // The boundary nearest to the point: from half a cell on, the next one.
    const std::int64_t cells = floorDivide(point.x() + cellWidth_ / 2, cellWidth_);
    const std::uint64_t column = cells >= 0 ? firstColumn_ + static_cast<std::uint64_t>(cells)
                                            : firstColumn_ - std::min(firstColumn_, static_cast<std::uint64_t>(-cells));
    return columns_.nearestPosition(static_cast<std::size_t>(std::clamp<std::int64_t>(line, 0, lastLine)), column);
}

void PaneView::ensureVisible(std::size_t position) {
    const std::size_t line = document_.lineOf(position);
    const std::uint64_t column = columnOf(position);
    columns_.knownWidth(line);
    columns_.includeColumn(column);
    updateScrollBars();
    std::size_t top = topLine_;
    const std::size_t lines = visibleLines();
    if (line < top)
        top = line;
    else if (line >= top + lines)
        top = line - lines + 1;
    std::uint64_t left = firstColumn_;
    const std::uint64_t columns = visibleColumns();
    const std::uint64_t jump = columns / 4;
    if (column < left)
        left = column > jump ? column - jump : 0;
    else if (column >= left + columns)
        left = column - columns + 1 + jump;
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

void PaneView::updateScrollBars() {
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

void PaneView::setFont(const QFont& font) {
    const QFontMetrics metrics(font);
    cellWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    cellHeight_ = std::max(1, metrics.height());
    ascent_ = metrics.ascent();
}

}  // namespace norvane::ui
