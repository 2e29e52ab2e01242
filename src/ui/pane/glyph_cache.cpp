#include "ui/pane/glyph_cache.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <algorithm>

namespace norvane::ui {

GlyphCache::GlyphCache(const QFont& font) : font_(font), fonts_{QRawFont::fromFont(font)} {}

const GlyphCache::Glyph& GlyphCache::glyph(char32_t c) {
    if (c < ascii_.size()) {
        std::optional<Glyph>& known = ascii_[c];
        if (!known) known = find(c);
        return *known;
    }
    const auto known = others_.constFind(c);
    if (known != others_.constEnd()) return *known;
    return *others_.insert(c, find(c));
}

GlyphCache::Glyph GlyphCache::find(char32_t c) {
    const QString text = QString::fromUcs4(&c, 1);
    // The pane's font first, then the fallback fonts found so far: one of them mostly has
    // it (a CJK font, for the next ideograph), which spares a text layout.
    QRawFont font = fonts_.front();
    QList<quint32> indexes;
    const auto known = std::find_if(fonts_.begin(), fonts_.end(), [&](const QRawFont& f) { return f.supportsCharacter(c); });
    if (known != fonts_.end()) {
        font = *known;
        indexes = font.glyphIndexesForString(text);
    } else {
        // Qt's font merging picks the fallback font, as it would for a text layout.
        QTextLayout layout(text, font_);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (!runs.isEmpty() && !runs.front().glyphIndexes().isEmpty()) {
            font = unhinted(runs.front().rawFont());
            indexes = runs.front().glyphIndexes();
        }
    }
    // Index 0 is every font's missing-glyph box.
    Glyph glyph;
    glyph.font = fontIndex(font);
    if (!indexes.isEmpty()) glyph.index = indexes.front();
    const QList<QPointF> advances = font.advancesForGlyphIndexes(QList<quint32>{glyph.index});
    glyph.advance = advances.isEmpty() ? 0 : advances.front().x();
    const QRectF ink = font.boundingRect(glyph.index);
    glyph.inkLeft = ink.left();
    glyph.inkRight = ink.right();
    return glyph;
}

QRawFont GlyphCache::unhinted(const QRawFont& fallback) const {
    QFont font = font_;
    font.setFamilies({fallback.familyName()});
    font.setStyleName(fallback.styleName());
    font.setHintingPreference(QFont::PreferNoHinting);
    const QRawFont raw = QRawFont::fromFont(font);
    return raw.isValid() && raw.familyName() == fallback.familyName() ? raw : fallback;
}

int GlyphCache::fontIndex(const QRawFont& font) {
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        const QRawFont& known = fonts_[i];
        if (known.familyName() == font.familyName() && known.styleName() == font.styleName() &&
            known.pixelSize() == font.pixelSize())
            return static_cast<int>(i);
    }
    fonts_.push_back(font);
    return static_cast<int>(fonts_.size() - 1);
}

}  // namespace norvane::ui
