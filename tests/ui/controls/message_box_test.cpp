// The message box as a user reads it: its lines, broken so that paths stay readable, its one
// OK button, and the window it stands over.

#include "ui/controls/message_lines.h"
#include "ui/controls/message_sink.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace norvane::ui {
namespace {

const QString Detail = QStringLiteral(R"(Cannot save "/tmp/a folder/long-name file.txt": Permission denied)");

TEST(MessageLines, BreakAtBlanksOutsideQuotesAndAfterSeparatorsInside) {
    const QFontMetrics metrics(QApplication::font());
    const QString windowsPath = QStringLiteral(R"(Windows path "C:\Users\Me\a b.txt")");
    struct Case {
        QString text;
        int width;
        QString expected;
    };
    const Case cases[] = {
        {Detail, metrics.horizontalAdvance(Detail), Detail},
        // Too narrow for anything: every piece on a line of its own, names never split.
        {Detail, 1, QStringLiteral("Cannot\nsave\n\"/\ntmp/\na folder/\nlong-name file.txt\":\nPermission\ndenied")},
        {Detail, metrics.horizontalAdvance(QStringLiteral(R"(Cannot save "/tmp/a folder/)")),
         QStringLiteral("Cannot save \"/tmp/a folder/\nlong-name file.txt\":\nPermission denied")},
        {windowsPath, metrics.horizontalAdvance(QStringLiteral(R"(Windows path "C:\Users\)")),
         QStringLiteral(R"(Windows path "C:\Users\)") + u'\n' + QStringLiteral(R"(Me\a b.txt")")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(breakLines(c.text, metrics, c.width).toStdString(), c.expected.toStdString()) << c.width;
}

// Opens a message over `owner` and hands the box to `inspect` while it is shown.
void inspectMessage(QWidget* owner, const QString& text, const QString& detail,
                    const std::function<void(QDialog&)>& inspect) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->parentWidget(), owner);
        inspect(*box);
        box->accept();
    });
    MessageBoxSink().showMessage(text, detail);
    EXPECT_TRUE(seen);
}

TEST(MessageBox, ShowsItsTextsWithOnePlainOkButtonOverTheModalWindow) {
    QApplication::setApplicationDisplayName(QStringLiteral("Norvane"));
    QDialog about;
    about.open();  // the modal window the user acts in, as the About box is
    inspectMessage(&about, QStringLiteral("File Not Saved."), Detail, [](QDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Norvane"));
        QStringList texts;
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            EXPECT_TRUE(label->pixmap().isNull()) << "no icon, nor room kept for one";
            if (!label->text().isEmpty()) texts << QString(label->text()).replace(u'\n', u' ');
        }
        EXPECT_EQ(texts, QStringList({QStringLiteral("File Not Saved."), Detail}));
        const QList<QPushButton*> buttons = box.findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 1);
        EXPECT_EQ(buttons[0]->text(), QStringLiteral("OK"));
        EXPECT_TRUE(buttons[0]->icon().isNull());
    });
    // A short text still leaves room for the title in a bold title-bar font beside the frame's boxes.
    inspectMessage(&about, QStringLiteral("File Not Saved."), {}, [](QDialog& box) {
        QFont bold = QApplication::font("QMdiSubWindowTitleBar");
        bold.setBold(true);
        EXPECT_GT(box.width(), 3 * QFontMetrics(bold).horizontalAdvance(box.windowTitle()));
    });
    about.close();
}

}  // namespace
}  // namespace norvane::ui
