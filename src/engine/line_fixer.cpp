#include "engine/line_fixer.h"

namespace norvane {

void fixLineEnds(Document& document, const ProgressReporter& progress) {
    if (progress) progress(0);
    document.insertCrBeforeEveryLf();
    if (progress) progress(100);
}

}  // namespace norvane
