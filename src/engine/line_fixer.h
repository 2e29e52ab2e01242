#pragma once

#include "engine/document.h"
#include "engine/progress.h"

namespace norvane {

// Replaces every LF of the document, the first character included, with CR LF, in one
// linear pass. A LF that already follows a CR is replaced all the same, so CR LF becomes
// CR CR LF. The document must not be read while `progress` runs. Throws std::bad_alloc,
// before anything changes, when there is not enough memory for the longer text.
void fixLineEnds(Document& document, const ProgressReporter& progress = {});

}  // namespace norvane
