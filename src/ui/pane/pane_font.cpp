#include "ui/pane/pane_font.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRawFont>
#include <QStringList>

#include <cmath>

namespace norvane::ui {
namespace {

constexpr int PanePointSize = 9;

// Families tried when the desktop's fixed font is not fixed-pitch, most common first.
const char* const MonospaceFamilies[] = {
    "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Noto Mono", "Ubuntu Mono", "Cousine",
    "Consolas", "Cascadia Mono", "Courier New", "Menlo", "Monaco", "Nimbus Mono PS", "FreeMono", "Courier",
};

QFont paneStyle(QFont font) {
    font.setPointSize(PanePointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setKerning(false);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// True when the pane can use the font: its characters all advance alike, as far as a few
// telling ones show, and its glyphs can be placed one by one (a bitmap font that Qt
// cannot open as a raw font cannot).
bool suitsThePane(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('M'));
    for (const QChar c : {u'i', u'l', u'W', u'0', u'.', u' '})
        if (std::abs(metrics.horizontalAdvance(c) - advance) > 0.01) return false;
    return advance > 0 && QRawFont::fromFont(font).isValid();
}

}  // namespace

QFont paneFont() {
    // "Terminal" where the system has it (Windows), else the desktop's fixed font.
    const QStringList installed = QFontDatabase::families();
    const QFont preferred = installed.contains(QStringLiteral("Terminal"))
                                ? QFont(QStringLiteral("Terminal"))
                                : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (const QFont font = paneStyle(preferred); suitsThePane(font)) return font;
    for (const char* family : MonospaceFamilies) {
        if (!installed.contains(QLatin1String(family))) continue;
        if (const QFont font = paneStyle(QFont(QLatin1String(family))); suitsThePane(font)) return font;
    }
    for (const QString& family : installed) {
        if (!QFontDatabase::isFixedPitch(family)) continue;
        if (const QFont font = paneStyle(QFont(family)); suitsThePane(font)) return font;
    }
    return paneStyle(preferred);
}

}  // namespace norvane::ui
