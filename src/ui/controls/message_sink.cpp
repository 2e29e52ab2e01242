#include "ui/controls/message_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace norvane::ui {

void MessageBoxSink::showMessage(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

}  // namespace norvane::ui
