#include "ui/main/common_dialog.h"

#include "platform/system_conventions.h"
#include "ui/controls/utf8_text.h"

#include <QFileInfo>

namespace norvane::ui {

void CommonDialog::setFilter(const QString& filter) {
    nameFilters_.clear();
    const QStringList items = filter.split(u'|', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        QStringList patterns = items[i + 1].split(u';', Qt::SkipEmptyParts);
        // "All files" is written as this system matches every name, with or without a dot.
        patterns.replaceInStrings(QStringLiteral("*.*"), toQString(platform::AllFilesPattern));
        nameFilters_ << items[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
}

FilePromptRequest CommonDialog::request() const { return {nameFilters_, filterIndex_ - 1, fileName_, initDir_}; }

bool CommonDialog::take(const std::optional<QString>& chosen) {
    if (!chosen) return false;
    fileName_ = *chosen;
    fileTitle_ = QFileInfo(*chosen).fileName();
    return true;
}

bool CommonDialog::showOpen(QWidget* owner) { return take(prompter_.askOpenPath(owner, request())); }

bool CommonDialog::showSave(QWidget* owner) { return take(prompter_.askSavePath(owner, request())); }

}  // namespace norvane::ui
