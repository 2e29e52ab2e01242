#pragma once

#include <QFont>

class QLabel;

namespace norvane::ui {

// The default dialog font's size, in points, whatever the desktop's font size.
inline constexpr double DialogFontSize = 8;

// The font of both windows' controls and the About box's texts at `pointSize`: MS Sans Serif
// where the system has it, otherwise the platform's standard dialog font at that size and weight.
QFont dialogFont(double pointSize = DialogFontSize, QFont::Weight weight = QFont::Normal);

// Makes the label's font smaller, in quarter points, until its text, broken at word
// boundaries, fits the label's box, so a wider substitute font never cuts a text off.
void fitTextToBox(QLabel& label);

}  // namespace norvane::ui
