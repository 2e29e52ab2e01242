#include "ui/controls/message_sink.h"

#include "app/identity/identity.h"

#include <QMessageBox>

namespace norvane::ui {

void MessageBoxSink::showMessage(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(identity::Title.data(), identity::Title.size()), text,
                    QMessageBox::Ok, owner_);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

}  // namespace norvane::ui
