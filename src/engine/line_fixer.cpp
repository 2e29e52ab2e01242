#include "engine/line_fixer.h"

namespace norvane {

void fixLineEnds(Document& document) { document.insertCrBeforeEveryLf(); }

}  // namespace norvane
