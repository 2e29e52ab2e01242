#pragma once

#include "engine/document.h"
#include "ui/pane/line_columns.h"
#include "ui/pane/scroll_scale.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <cstddef>
#include <cstdint>

class QAbstractScrollArea;
class QFont;

namespace norvane::ui {

// The text pane's view of its document: the line and column the viewport starts at, the
// scroll bars that show them, and the cell geometry that turns positions into viewport
// coordinates and back. A character's cell is found by arithmetic, and the view scrolls in
// lines and columns, so its ranges hold for any document that fits in memory.
//
// The cell geometry is the one place that says where character k of a line is: drawing,
// the caret, the selection, mouse hits, the input method and assistive technology all ask
// here. A cell is a whole number of device pixels (a fraction of a logical pixel at a
// fractional scale factor), and every x is computed from its column, never summed along a
// line, so no rounding error builds up.
//
// The view is fitted to the document's revision of its last updateScrollBars() (home() and
// ensureVisible() call it): drawing and mouse hits check that it is still that one.
class PaneView {
public:
    PaneView(QAbstractScrollArea& area, const Document& document, LineColumns& columns);

    std::size_t firstLine() const { return topLine_; }
    std::uint64_t firstColumn() const { return firstColumn_; }
    // Lines and columns the viewport shows whole (at least one).
    std::size_t visibleLines() const;
    std::uint64_t visibleColumns() const;
    // Columns a row reaches into: the whole ones and one cut off at the right edge.
    std::uint64_t columnsAcross() const;
    QSizeF cellSize() const { return cell_; }
    // From the top of a cell to the font's baseline.
    qreal ascent() const { return ascent_; }

    // The column where the character at `position` begins.
    std::uint64_t columnOf(std::size_t position) const { return columns_.columnOf(position); }
    // The first cell of `position` in viewport coordinates (possibly outside the viewport).
    QRectF cellRect(std::size_t position) const;
    // The x coordinate of a column's left edge in the viewport.
    qreal xOf(std::uint64_t column) const;
    // The y coordinate of a row's top edge in the viewport.
    qreal yOf(std::size_t row) const { return static_cast<qreal>(row) * cell_.height(); }
    // The character boundary nearest to a point of the viewport.
    std::size_t positionAt(QPointF point) const;

    // Scrolls as little as needed (or a quarter of the width sideways) to show `position`.
    void ensureVisible(std::size_t position);
    // Scrolls to a first line and column, clamped to the scroll ranges.
    void scrollTo(std::size_t line, std::uint64_t column);
    // Back to the first line and column, with the ranges of a new document.
    void home();
    // Fits the scroll ranges to the document's size, the widest line and the viewport.
    void updateScrollBars();
    // Asserts that the view was fitted to the document as it is.
    void expectCurrent() const;
    // Follows a scroll bar the user moved.
    void followScrollBars();
    // Takes the cell size from a new font, drawn at `devicePixelRatio` device pixels to a
    // logical one.
    void setFont(const QFont& font, qreal devicePixelRatio);
    // The device pixel ratio the cell size was made for.
    qreal devicePixelRatio() const { return devicePixelRatio_; }

private:
    QAbstractScrollArea& area_;
    const Document& document_;
    LineColumns& columns_;
    std::uint64_t revision_ = 0;  // the document's revision the view was fitted to

    std::size_t topLine_ = 0;
    std::uint64_t firstColumn_ = 0;
    ScrollScale verticalScale_;
    ScrollScale horizontalScale_;
    bool settingScrollBars_ = false;

    QSizeF cell_{1, 1};
    qreal ascent_ = 1;
    qreal devicePixelRatio_ = 1;
};

}  // namespace norvane::ui
