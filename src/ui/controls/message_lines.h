#pragma once

#include <QFontMetrics>
#include <QString>

namespace norvane::ui {

// Breaks `text` into lines no wider than `width` pixels in `metrics`' font, returned joined
// by '\n'. Outside double quotes a line breaks at a blank (the blank is dropped); inside them,
// where the messages put paths, only after a '/' or '\' separator, so a name is never split.
// A piece with no break that fits stays whole on a line of its own, however wide.
QString breakLines(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace norvane::ui
