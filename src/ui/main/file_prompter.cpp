#include "ui/main/file_prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace norvane::ui {

std::optional<QString> FileDialogPrompter::ask(QWidget* owner, const FilePromptRequest& request, bool open) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The filters carry their own pattern lists; show only their descriptions.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(request.nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size())
        dialog.selectNameFilter(request.nameFilters[request.selectedFilter]);
    const QString folder = !request.folder.isEmpty() ? request.folder
                           : !lastFolder_.isEmpty()  ? lastFolder_
                                                     : QDir::homePath();
    dialog.setDirectory(folder);
    // Only the name is offered: its own folder would override the one chosen above.
    if (!request.initialPath.isEmpty()) dialog.selectFile(QFileInfo(request.initialPath).fileName());
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    lastFolder_ = dialog.directory().absolutePath();
    if (!chosen) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> FileDialogPrompter::askOpenPath(QWidget* owner, const FilePromptRequest& request) {
    return ask(owner, request, true);
}

std::optional<QString> FileDialogPrompter::askSavePath(QWidget* owner, const FilePromptRequest& request) {
    return ask(owner, request, false);
}

}  // namespace norvane::ui
