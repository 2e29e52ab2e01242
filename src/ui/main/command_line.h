#pragma once

#include <QString>

namespace norvane::ui {

// The program's command-line text: its arguments joined by single spaces, so that a path
// with spaces names one file whether or not the shell split it.
QString programCommandLine();

}  // namespace norvane::ui
