#include "ui/controls/message_sink.h"

#include "ui/controls/message_lines.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace norvane::ui {
namespace {

// Lines are broken at about this many characters, or half the screen where that is less.
constexpr int CharactersPerLine = 60;
// Room in a title bar beside its text, in lines of the title font: the window menu and the
// minimise, maximise and close boxes with their padding.
constexpr int TitleBarButtonRoom = 8;

// The width the window needs for the window manager to show `title` whole beside its boxes.
// The title bar's font is the platform theme's; its bold face is the wider.
int titleRoom(const QString& title) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(title) + TitleBarButtonRoom * metrics.height();
}

QLabel* messageLabel(const QString& text, int lineWidth, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setText(breakLines(text, label->fontMetrics(), lineWidth));
    return label;
}

}  // namespace

// The window the user acted in: a modal dialog such as the About box while one is open,
// otherwise the active window. The box is centred on it.
void MessageBoxSink::showMessage(const QString& text, const QString& detail) {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    QDialog box(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowTitle(QApplication::applicationDisplayName());

    const QScreen* screen = owner ? owner->screen() : QApplication::primaryScreen();
    const int lineWidth = std::min(box.fontMetrics().averageCharWidth() * CharactersPerLine,
                                   screen ? screen->availableGeometry().width() / 2 : 400);
    auto* layout = new QVBoxLayout(&box);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addStrut(titleRoom(box.windowTitle()));
    layout->addWidget(messageLabel(text, lineWidth, &box));
    if (!detail.isEmpty()) layout->addWidget(messageLabel(detail, lineWidth, &box));
    // One OK button of our own: a standard one would carry the style's stock icon.
    auto* buttons = new QDialogButtonBox(&box);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.exec();
}

}  // namespace norvane::ui
