// Program entry: starts the application and shows the main window.
#include "app/identity/identity.h"
#include "ui/main/command_line.h"
#include "ui/main/frm_main.h"

#include <QApplication>
#include <QIcon>
#include <QString>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(
        QString::fromUtf8(norvane::identity::Title.data(), qsizetype(norvane::identity::Title.size())));
    QApplication::setDesktopFileName(QStringLiteral("norvane"));  // matches the desktop entry
    QIcon icon;
    icon.addFile(QStringLiteral(":/norvane/norvane-16.png"));
    icon.addFile(QStringLiteral(":/norvane/norvane-32.png"));
    QApplication::setWindowIcon(icon);

    norvane::ui::frmMain window(norvane::ui::programCommandLine());
    window.show();
    return QApplication::exec();
}
