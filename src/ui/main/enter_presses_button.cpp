#include "ui/main/enter_presses_button.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>

namespace norvane::ui {

void EnterPressesButton::install(QAbstractButton& button) { button.installEventFilter(new EnterPressesButton(&button)); }

bool EnterPressesButton::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    static_cast<QAbstractButton*>(watched)->click();
    return true;
}

}  // namespace norvane::ui
