#pragma once

#include <QFont>

namespace norvane::ui {

// The pane's font: a fixed-pitch font at 9 points. The desktop's fixed font is taken when it
// really is fixed-pitch (a badly set theme may name a proportional one) and its glyphs can
// be placed one by one; else the first of a short list of common monospace families that
// can, else any installed fixed-pitch font that can.
QFont paneFont();

}  // namespace norvane::ui
