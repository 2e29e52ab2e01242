#include "ui/main/command_line.h"

#include <QCoreApplication>
#include <QStringList>

namespace norvane::ui {

QString programCommandLine() { return QCoreApplication::arguments().mid(1).join(u' '); }

}  // namespace norvane::ui
