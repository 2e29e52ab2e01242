#pragma once

#include "engine/document.h"
#include "ui/pane/glyph_cache.h"
#include "ui/pane/line_columns.h"
#include "ui/pane/pane_view.h"
#include "ui/pane/text_motion.h"

#include <QColor>
#include <QRect>

class QPainter;

namespace norvane::ui {

// The colours of the pane's text, for the palette's current colour group.
struct RowColours {
    QColor text;
    QColor selectedText;
    QColor highlight;
};

// Draws the document's rows that `exposed` (a part of the viewport) touches, as `view`
// places them: each character's glyph from `glyphs` centred in its cells (squeezed into
// them if wider), combining marks on the character before them, a box for a bare LF, a box
// struck through for any other invisible character, and the `selected` units highlighted. Only the cells across the viewport are
// read and drawn, so the cost does not grow with the document or its longest line. Lines
// measured on the way refine `columns`' widest line.
void paintRows(QPainter& painter, QRect exposed, const Document& document, LineColumns& columns,
               const PaneView& view, GlyphCache& glyphs, UnitRange selected, const RowColours& colours);

}  // namespace norvane::ui
