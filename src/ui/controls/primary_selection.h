#pragma once

#include "ui/controls/text_motion.h"

namespace norvane::ui {

class TextPane;

// Offers the units `range` of the pane's document as the X primary selection, which other
// programs paste with a middle click. The text is decoded only when a program asks for it,
// so selecting all of a large document costs nothing until then; it is what the range
// holds at that moment. Does nothing where the system has no primary selection.
void offerPrimarySelection(TextPane& pane, UnitRange range);

}  // namespace norvane::ui
