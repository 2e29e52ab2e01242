// Shows a file in a text pane on a real X server, for the screenshot check:
//   norvane_pane_viewer FILE SHOT.png
// loads FILE, shows the pane at the screen's top-left corner, waits until it is drawn,
// takes a screenshot of the whole screen with ImageMagick's `import -window root` and
// prints where the text cells are: "cell WIDTH HEIGHT origin X Y" in screen pixels.
#include "engine/document_file.h"
#include "ui/controls/text_pane.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: norvane_pane_viewer FILE SHOT.png\n");
        return 2;
    }
    norvane::ui::TextPane pane;
    try {
        pane.setDocument(norvane::loadDocument(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "norvane_pane_viewer: cannot read %s: %s\n", argv[1], error.what());
        return 1;
    }
    pane.setWindowFlags(Qt::FramelessWindowHint);
    pane.setGeometry(0, 0, 640, 240);
    pane.show();
    if (!QTest::qWaitForWindowExposed(&pane)) return 1;
    pane.viewport()->repaint();
    QCoreApplication::processEvents();
    const int status = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                                    QString::fromLocal8Bit(argv[2])});
    if (status != 0) return 1;
    const QPoint origin = pane.viewport()->mapToGlobal(QPoint(0, 0));
    std::printf("cell %d %d origin %d %d\n", pane.cellSize().width(), pane.cellSize().height(), origin.x(), origin.y());
    return 0;
}
