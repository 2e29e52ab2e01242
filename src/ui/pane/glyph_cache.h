#pragma once

#include <QFont>
#include <QHash>
#include <QRawFont>

#include <array>
#include <optional>
#include <vector>

namespace norvane::ui {

// The glyph the pane draws a character with, looked up once per character, when it is first
// drawn: from the pane's font when it has one, else from the font Qt falls back to for that
// character (a CJK font, say), else the font's missing-glyph box. Nothing is looked up before
// it is drawn, so a font change opens no fallback font for characters the pane never shows. The row painter places each glyph in its cells
// itself, so no font's own advance decides where a character goes.
class GlyphCache {
public:
    struct Glyph {
        int font = 0;          // an index into fonts()
        quint32 index = 0;     // the glyph in that font
        qreal advance = 0;     // the font's own width for it, in logical pixels
        qreal inkLeft = 0;     // where its ink begins and ends, from its origin
        qreal inkRight = 0;
    };

    explicit GlyphCache(const QFont& font);

    const Glyph& glyph(char32_t c);
    const QRawFont& font(int index) const { return fonts_[static_cast<std::size_t>(index)]; }

private:
    Glyph find(char32_t c);
    // A fallback font drawn without hinting: hinting the many strokes of CJK glyphs costs
    // several times as much as drawing them, for little gain at the pane's size.
    QRawFont unhinted(const QRawFont& fallback) const;
    int fontIndex(const QRawFont& font);

    QFont font_;
    std::vector<QRawFont> fonts_;  // the pane's font first, then fallbacks as found
    std::array<std::optional<Glyph>, 128> ascii_;
    QHash<char32_t, Glyph> others_;
};

}  // namespace norvane::ui
