#pragma once

#include <QFont>

class QLabel;

namespace norvane::ui {

// The font of the About box's texts at `pointSize`: MS Sans Serif where the system has it,
// otherwise the platform's standard dialog font at that size and weight.
QFont dialogFont(double pointSize, QFont::Weight weight = QFont::Normal);

// Makes the label's font smaller, in quarter points, until its text, broken at word
// boundaries, fits the label's box, so a wider substitute font never cuts a text off.
void fitTextToBox(QLabel& label);

}  // namespace norvane::ui
