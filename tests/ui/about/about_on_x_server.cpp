// Shows the About box beside a stand-in main window on a real X server, checks that its
// client area stands at its fixed place on the screen, and saves a picture of the screen.
// Usage: norvane_about_on_x_server [PICTURE.png]; exits non-zero if the box is misplaced.

#include "fake_platform.h"
#include "ui/about/frm_about.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QIcon icon(QStringLiteral(":/norvane/norvane-32.png"));
    icon.addFile(QStringLiteral(":/norvane/norvane-16.png"));
    QApplication::setWindowIcon(icon);

    // The main window's place is taken by a plain window of its size with its About button.
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Norvane v2.1"));
    owner.setGeometry(560, 60, 412, 266);
    auto* aboutButton = new QPushButton(QStringLiteral("About/Help..."), &owner);
    aboutButton->setGeometry(8, 192, 89, 25);
    owner.show();

    norvane::ui::testing::FakePlatform fake;
    norvane::ui::frmAbout about(&owner, fake.services(), fake.messages);
    about.open();
    // Waits for the X server only as long as a hang would take.
    if (!QTest::qWaitForWindowExposed(&about, 60000) || !QTest::qWaitForWindowExposed(&owner, 60000)) return 2;

    const QPoint expected = about.screen()->geometry().topLeft() +
                            QPoint(qRound(2340 * about.logicalDpiX() / 1440.0), qRound(1935 * about.logicalDpiY() / 1440.0));
    const QPoint actual = about.mapToGlobal(QPoint(0, 0));
    std::printf("About box client area at (%d, %d), expected (%d, %d), size %dx%d at %d dpi\n", actual.x(), actual.y(),
                expected.x(), expected.y(), about.width(), about.height(), about.logicalDpiX());
    for (QLabel* label : about.findChildren<QLabel*>())
        std::printf("  %s: %s %.2f pt\n", qPrintable(label->objectName()), qPrintable(label->font().family()),
                    label->font().pointSizeF());

    if (argc > 1 && !about.screen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) return 3;
    return actual == expected ? 0 : 1;
}
