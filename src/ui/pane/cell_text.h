#pragma once

#include "ui/pane/glyph_cache.h"

#include <QColor>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace norvane::ui {

// Draws characters each in the cells the caller gives it, never where a font's advance
// would put them: a glyph is centred by its advance as its font would centre it in a cell
// of its own, then moved so that its ink stays inside the cells, and squeezed if the ink
// is wider. A character no font has is drawn as the missing glyph, or as a box where that
// is blank. Glyphs are gathered and drawn together by flush() (also on destruction).
class CellText {
public:
    CellText(QPainter& painter, GlyphCache& glyphs);
    ~CellText() { flush(); }
    CellText(const CellText&) = delete;
    CellText& operator=(const CellText&) = delete;

    // One character in `cells`, on the baseline at `baseline`.
    void draw(char32_t c, const QRectF& cells, qreal baseline, const QColor& colour);
    // A character with the combining marks behind it, shaped by Qt so the marks sit on it.
    void drawCluster(const QString& cluster, const QRectF& cells, qreal baseline, const QColor& colour);
    void flush();

private:
    struct Placement {
        qreal origin;
        qreal scale;
    };
    // The glyphs of one font in one colour, each at the position given it.
    struct Batch {
        int font;
        QColor colour;
        QList<quint32> indexes;
        QList<QPointF> positions;
    };

    Placement place(qreal advance, qreal inkLeft, qreal inkRight, const QRectF& cells) const;
    // Runs `draw` at once with the origin at the placement on the baseline, squeezed by its scale.
    void drawPlaced(Placement at, qreal baseline, const QColor& colour, const std::function<void()>& draw);
    Batch& batchFor(int font, const QColor& colour);

    QPainter& painter_;
    GlyphCache& glyphs_;
    QFontMetricsF metrics_;
    qreal devicePixel_;
    std::vector<Batch> batches_;
};

}  // namespace norvane::ui
