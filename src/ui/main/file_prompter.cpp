#include "ui/main/file_prompter.h"

#include <QFileDialog>

namespace norvane::ui {
namespace {

std::optional<QString> ask(QWidget* owner, const FilePromptRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The filters carry their own pattern lists; show only their descriptions.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(request.nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size())
        dialog.selectNameFilter(request.nameFilters[request.selectedFilter]);
    if (!request.initialPath.isEmpty()) dialog.selectFile(request.initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> FileDialogPrompter::askOpenPath(QWidget* owner, const FilePromptRequest& request) {
    return ask(owner, request, QFileDialog::AcceptOpen);
}

std::optional<QString> FileDialogPrompter::askSavePath(QWidget* owner, const FilePromptRequest& request) {
    return ask(owner, request, QFileDialog::AcceptSave);
}

}  // namespace norvane::ui
