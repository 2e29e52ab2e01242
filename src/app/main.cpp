// Program entry: starts Qt and shows the start-up window.
#include "app/identity/identity.h"
#include "engine/title_line.h"

#include <QApplication>
#include <QIcon>
#include <QString>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(norvane::identity::Title.data(),
                                                       qsizetype(norvane::identity::Title.size())));
    QIcon icon;
    icon.addFile(QStringLiteral(":/norvane/norvane-16.png"));
    icon.addFile(QStringLiteral(":/norvane/norvane-32.png"));
    QApplication::setWindowIcon(icon);

    // Placeholder until the main window exists.
    QWidget window;
    window.setWindowTitle(QString::fromStdString(norvane::titleNoFile(norvane::identity::Version)));
    window.resize(480, 320);
    window.show();
    return QApplication::exec();
}
