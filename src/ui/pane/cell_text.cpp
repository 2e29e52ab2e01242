#include "ui/pane/cell_text.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace norvane::ui {

CellText::CellText(QPainter& painter, GlyphCache& glyphs)
    : painter_(painter), glyphs_(glyphs), metrics_(painter.font()),
      devicePixel_(1.0 / painter.device()->devicePixelRatioF()) {}

// Half a device pixel of faint edge may stand over on either side.
CellText::Placement CellText::place(qreal advance, qreal inkLeft, qreal inkRight, const QRectF& cells) const {
    const qreal slack = devicePixel_ / 2;
    const qreal ink = inkRight - inkLeft;
    if (ink > cells.width() + 2 * slack) {
        const qreal scale = (cells.width() + 2 * slack) / ink;
        return {cells.left() - slack - inkLeft * scale, scale};
    }
    const qreal centred = cells.left() + (cells.width() - advance) / 2;
    return {std::clamp(centred, cells.left() - slack - inkLeft, cells.right() + slack - inkRight), 1.0};
}

void CellText::draw(char32_t c, const QRectF& cells, qreal baseline, const QColor& colour) {
    const GlyphCache::Glyph& glyph = glyphs_.glyph(c);
    // No font has the character and the missing glyph is blank: a box shows it is there.
    if (glyph.index == 0 && glyph.inkRight <= glyph.inkLeft) {
        painter_.setPen(colour);
        painter_.setBrush(Qt::NoBrush);
        const qreal top = baseline - metrics_.ascent() * 0.7;
        painter_.drawRect(QRectF(cells.left() + 1, top, std::max(devicePixel_, cells.width() - 3), baseline - 1 - top));
        return;
    }
    const Placement at = place(glyph.advance, glyph.inkLeft, glyph.inkRight, cells);
    if (at.scale == 1.0) {
        Batch& batch = batchFor(glyph.font, colour);
        batch.indexes.append(glyph.index);
        batch.positions.append(QPointF(at.origin, baseline));
        return;
    }
    // A squeezed glyph is drawn at once, in a transformation of its own.
    QGlyphRun run;
    run.setRawFont(glyphs_.font(glyph.font));
    run.setGlyphIndexes({glyph.index});
    run.setPositions({QPointF(0, 0)});
    drawPlaced(at, baseline, colour, [&] { painter_.drawGlyphRun(QPointF(0, 0), run); });
}

void CellText::drawCluster(const QString& cluster, const QRectF& cells, qreal baseline, const QColor& colour) {
    const QRectF ink = metrics_.tightBoundingRect(cluster);
    const Placement at = place(metrics_.horizontalAdvance(cluster), ink.left(), ink.right(), cells);
    drawPlaced(at, baseline, colour, [&] { painter_.drawText(QPointF(0, 0), cluster); });
}

void CellText::drawPlaced(Placement at, qreal baseline, const QColor& colour, const std::function<void()>& draw) {
    painter_.save();
    painter_.setPen(colour);
    painter_.translate(at.origin, baseline);
    painter_.scale(at.scale, 1.0);
    draw();
    painter_.restore();
}

void CellText::flush() {
    for (const Batch& batch : batches_) {
        QGlyphRun run;
        run.setRawFont(glyphs_.font(batch.font));
        run.setGlyphIndexes(batch.indexes);
        run.setPositions(batch.positions);
        painter_.setPen(batch.colour);
        painter_.drawGlyphRun(QPointF(0, 0), run);
    }
    batches_.clear();
}

CellText::Batch& CellText::batchFor(int font, const QColor& colour) {
    for (Batch& batch : batches_)
        if (batch.font == font && batch.colour == colour) return batch;
    return batches_.emplace_back(Batch{font, colour, {}, {}});
}

}  // namespace norvane::ui
