#include "ui/controls/message_lines.h"

#include <QStringList>

namespace norvane::ui {
namespace {

// The pieces between which a line may break, in order. A piece carries its trailing blank
// (outside quotes) or its trailing separator (inside them).
QStringList breakablePieces(const QString& text) {
    QStringList pieces;
    QString piece;
    bool quoted = false;
    for (const QChar c : text) {
        piece += c;
        if (c == u'"') quoted = !quoted;
        const bool breakAfter = quoted ? (c == u'/' || c == u'\\') : c == u' ';
        if (breakAfter) {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty()) pieces << piece;
    return pieces;
}

}  // namespace

QString breakLines(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString line;
    for (const QString& piece : breakablePieces(text)) {
        const QString longer = line + piece;
        // Blanks at a line's end take no room: they are dropped where it breaks.
        if (!line.isEmpty() && metrics.horizontalAdvance(longer.trimmed()) > width) {
            lines << line.trimmed();
            line = piece;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty()) lines << line.trimmed();
    return lines.join(u'\n');
}

}  // namespace norvane::ui
