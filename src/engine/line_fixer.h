#pragma once

#include "engine/document.h"

namespace norvane {

// Replaces every LF of the document, the first character included, with CR LF. A LF that
// already follows a CR is replaced all the same, so CR LF becomes CR CR LF. No byte moves:
// the document shows a CR in front of each LF (see Document), so the cost is that of its
// table of pieces, whatever the size of the text.
void fixLineEnds(Document& document);

}  // namespace norvane
