// The About box as a user sees it: its texts, its layout on a 96 dpi screen, its keys,
// and a fresh dialog on every opening.

#include "fake_platform.h"
#include "ui/about/frm_about.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace norvane::ui {
namespace {

using testing::FakePlatform;

const QString UsageNote = QStringLiteral(
    "To use, simply click the open file button and select a text file that has unix based CRLFs (you can tell "
    "by using Notepad, if it is showing the file as if it is all on one line, with strange block shaped "
    "characters where there should be line breaks)  Click the Fix File button to begin the conversion "
    "process.  You may hide the text to make it run faster.  Do not run this utility on files that do not have "
    "a CRLF problem, it will corrupt them!");

class AboutBox : public ::testing::Test {
protected:
    QLabel* label(const char* name) { return about.findChild<QLabel*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return about.findChild<QPushButton*>(QString::fromLatin1(name)); }
    // Shows the dialog as the active window, so keys reach its focused control.
    void showActive() {
        about.show();
        QApplication::setActiveWindow(&about);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    }
    // A key typed into the dialog's window, delivered as the window system delivers it:
    // shortcuts first, then the focused control.
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(about.windowHandle(), Qt::Key(key), modifiers);
    }

    FakePlatform fake;
    frmAbout about{nullptr, fake.services(), fake.messages};
};

TEST_F(AboutBox, ShowsTheIdentityAndTheUsageNote) {
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Norvane"));
    EXPECT_EQ(label("lblTitle")->text(), QStringLiteral("Norvane"));
    EXPECT_EQ(label("lblDescription")->text(), QStringLiteral("Norvane"));
    EXPECT_EQ(label("lblVersion")->text(), QStringLiteral("Version 2.1.0"));
    EXPECT_EQ(label("lblCompanyName")->text(), QStringLiteral("Norvane Developers"));
    EXPECT_EQ(label("lblDisclaimer")->text(), QStringLiteral("Copyright (C) 2026 Norvane Developers"));
    EXPECT_EQ(label("Label1")->text(), UsageNote);
    EXPECT_EQ(label("Label1")->text().size(), 444);
    EXPECT_EQ(button("cmdOK")->text(), QStringLiteral("OK"));
    EXPECT_EQ(button("cmdSysInfo")->text(), QStringLiteral("&System Info..."));
}

TEST_F(AboutBox, EveryTextFitsItsLabelBrokenAtWordBoundaries) {
    for (const char* name : {"lblTitle", "lblVersion", "lblCompanyName", "lblDescription", "Label1", "lblDisclaimer"}) {
        QLabel* shown = label(name);
        SCOPED_TRACE(name);
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->wordWrap());
        EXPECT_EQ(shown->textFormat(), Qt::PlainText) << "double blanks and '&' are shown as written";
        EXPECT_EQ(shown->focusPolicy(), Qt::NoFocus);
        const QRect needed = QFontMetrics(shown->font(), shown)
                                 .boundingRect(QRect(0, 0, shown->width(), 10000), Qt::TextWordWrap, shown->text());
        EXPECT_LE(needed.height(), shown->height());
        EXPECT_LE(needed.width(), shown->width());
    }
}

TEST_F(AboutBox, FontsAndColoursFollowTheLayout) {
    EXPECT_EQ(label("lblTitle")->font().weight(), QFont::Bold);
    EXPECT_EQ(label("lblCompanyName")->font().weight(), QFont::Bold);
    EXPECT_EQ(label("lblDescription")->font().weight(), QFont::Normal);
    // Sizes as laid out, or smaller where a substitute font needed that to fit.
    EXPECT_LE(label("lblTitle")->font().pointSizeF(), 13.5);
    EXPECT_GT(label("lblTitle")->font().pointSizeF(), label("lblCompanyName")->font().pointSizeF());
    EXPECT_LE(label("lblDescription")->font().pointSizeF(), 9.75);

    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(about.palette().color(QPalette::Window), face);
    for (const char* name : {"lblTitle", "lblDescription", "lblDisclaimer"})
        EXPECT_EQ(label(name)->palette().color(QPalette::WindowText), QColor(0, 0, 0)) << name;
    for (const char* name : {"lblVersion", "Label1", "lblCompanyName"})
        EXPECT_EQ(label(name)->palette().color(QPalette::WindowText),
                  QApplication::palette().color(QPalette::ButtonText)) << name;
}

// The contrast ratio of two colours as the accessibility guidelines define it, 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

TEST(AboutBoxColours, EveryLabelStaysReadableOnALightOrADarkButtonFace) {
    const QPalette desktop = QApplication::palette();
    QPalette dark = desktop;
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    for (const QPalette& palette : {desktop, dark}) {
        QApplication::setPalette(palette);
        FakePlatform fake;
        frmAbout about(nullptr, fake.services(), fake.messages);
        const QColor face = about.palette().color(QPalette::Window);
        SCOPED_TRACE(face.name().toStdString());
        for (const QLabel* label : about.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->text().isEmpty()) continue;  // the icon
            EXPECT_GE(contrast(label->palette().color(QPalette::WindowText), face), 4.5)
                << label->objectName().toStdString();
        }
        // The etching stays a shade darker above one lighter, neither white on a dark face.
        std::map<int, QColor> lines;
        for (const QWidget* line : about.findChildren<QWidget*>(QStringLiteral("Line1")))
            lines[line->property("index").toInt()] = line->palette().color(QPalette::Window);
        EXPECT_LT(lines[2].lightness(), lines[3].lightness());
        if (face.lightnessF() < 0.5) {
            EXPECT_LT(contrast(lines[3], face), 4.5) << "no glare";
        }
    }
    QApplication::setPalette(desktop);
}

TEST_F(AboutBox, StandsWhereTheLayoutPutsItAt96Dpi) {
    if (about.logicalDpiX() != 96 || about.logicalDpiY() != 96) GTEST_SKIP() << "the pixel figures are for 96 dpi";
    EXPECT_EQ(about.size(), QSize(382, 328));
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "not resizable";
    EXPECT_FALSE(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(about.geometry().topLeft(), QApplication::primaryScreen()->geometry().topLeft() + QPoint(156, 129));

    // The controls, top to bottom: the identity block, the usage note between two etched
    // separators, then the copyright notice beside the two buttons, OK above System Info.
    std::map<int, QWidget*> lines;
    for (QWidget* line : about.findChildren<QWidget*>(QStringLiteral("Line1")))
        lines[line->property("index").toInt()] = line;
    ASSERT_EQ(lines.size(), 4u);
    const std::vector<QWidget*> downwards = {label("lblTitle"), label("lblVersion"), label("lblCompanyName"),
                                             label("lblDescription"), lines[2], lines[3], label("Label1"),
                                             lines[1], lines[0], label("lblDisclaimer")};
    for (std::size_t i = 1; i < downwards.size(); ++i)
        EXPECT_GT(downwards[i]->geometry().top(), downwards[i - 1]->geometry().bottom()) << i;
    EXPECT_GT(button("cmdSysInfo")->geometry().top(), button("cmdOK")->geometry().bottom());
    EXPECT_EQ(button("cmdSysInfo")->geometry().right(), button("cmdOK")->geometry().right());
    EXPECT_GT(button("cmdOK")->geometry().left(), label("lblDisclaimer")->geometry().right());
    EXPECT_GT(label("lblTitle")->geometry().left(), label("picIcon")->geometry().right());
    // Every control lies inside the box and clear of every other.
    const QList<QWidget*> controls = about.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        EXPECT_TRUE(about.rect().contains(control->geometry())) << control->objectName().toStdString();
        for (QWidget* other : controls) {
            if (other == control) continue;
            EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                << control->objectName().toStdString() << " and " << other->objectName().toStdString();
        }
    }

    // The icon box: 32 x 32 pixels of the program icon inside a sunken border of 2 pixels.
    QLabel* picIcon = label("picIcon");
    EXPECT_EQ(picIcon->contentsRect().size(), QSize(32, 32));
    EXPECT_EQ(picIcon->frameStyle(), QFrame::WinPanel | QFrame::Sunken);
    EXPECT_EQ(picIcon->frameWidth(), 2);
    const QImage icon(QStringLiteral(":/norvane/norvane-32.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(picIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              icon.convertToFormat(QImage::Format_ARGB32));

    // Each separator is etched: a grey line of 1 pixel over a white one of 2, one pixel
    // further down and right, both ending at the same right edge.
    for (const auto& [grey, white] : {std::pair{lines[2], lines[3]}, std::pair{lines[1], lines[0]}}) {
        EXPECT_EQ(grey->palette().color(QPalette::Window), QColor(128, 128, 128));
        EXPECT_EQ(white->palette().color(QPalette::Window), QColor(255, 255, 255));
        EXPECT_EQ(grey->height(), 1);
        EXPECT_EQ(white->height(), 2);
        EXPECT_EQ(white->geometry().topLeft(), grey->geometry().topLeft() + QPoint(1, 1));
        EXPECT_EQ(white->geometry().right(), grey->geometry().right());
    }
}

TEST_F(AboutBox, OkEnterAndEscCloseIt) {
    for (const auto& close : std::vector<std::function<void()>>{
             [&] { key(Qt::Key_Return); }, [&] { key(Qt::Key_Escape); },
             [&] { QTest::mouseClick(button("cmdOK"), Qt::LeftButton); }}) {
        showActive();
        EXPECT_EQ(QApplication::focusWidget(), button("cmdOK")) << "the focus starts on OK";
        close();
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_TRUE(fake.registry.reads.empty()) << "closing starts nothing";
}

TEST_F(AboutBox, SystemInfoIsPressedByEnterWhileFocusedAndByAltS) {
    showActive();
    key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), button("cmdSysInfo")) << "Tab goes from OK to System Info";
    key(Qt::Key_Return);
    EXPECT_EQ(fake.messages.texts.size(), 1);
    EXPECT_TRUE(about.isVisible());

    key(Qt::Key_S, Qt::AltModifier);
    // An access key clicks its button as a person would: down, then up a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.messages.texts.size() == 2; }, 60000));  // the limit only guards against a hang
    EXPECT_TRUE(about.isVisible());

    key(Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible()) << "Esc closes even while System Info has the focus";
    EXPECT_EQ(fake.messages.texts.size(), 2);
}

TEST(AboutOpening, EachOpeningIsANewModalDialogOverItsOwnerLoadedAfresh) {
    FakePlatform fake;
    QWidget owner;
    owner.show();
    std::vector<QPointer<frmAbout>> opened;
    std::vector<QString> titles, versions;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr) << "the About box is shown modally";
            opened.emplace_back(about);
            EXPECT_EQ(about->parentWidget(), &owner);
            titles.push_back(about->windowTitle());
            versions.push_back(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text());
            QTest::keyClick(about, Qt::Key_Escape);
        });
        frmAbout::showModal(owner, fake.services(), fake.messages);
        ASSERT_EQ(opened.size(), std::size_t(opening + 1)) << "showModal returns once the dialog has closed";
        EXPECT_TRUE(opened.back().isNull()) << "a closed About box is unloaded";
    }
    EXPECT_EQ(titles, (std::vector<QString>(2, QStringLiteral("About Norvane"))));
    EXPECT_EQ(versions, (std::vector<QString>(2, QStringLiteral("Version 2.1.0"))));
}

}  // namespace
}  // namespace norvane::ui
