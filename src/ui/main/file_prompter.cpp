#include "ui/main/file_prompter.h"

#include "ui/main/name_only_icon_provider.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace norvane::ui {

std::optional<QString> FileDialogPrompter::ask(QWidget* owner, const FilePromptRequest& request, bool open) {
    NameOnlyIconProvider icons;  // outlives the dialog, which uses it until destroyed
    QFileDialog dialog(owner);
    // The new dialog has already begun listing the folder it remembers from the last one (or
    // from the user's Qt settings, which other Qt programs share): a folder such as /proc.
    // Set before the event loop runs, this provider describes every entry of that listing
    // and of every later one, by name only.
    dialog.setIconProvider(&icons);
    // FIFOs and devices are listed too: picking one gets the loader's message saying why it
    // cannot be read, rather than no sign of it.
    dialog.setFilter(dialog.filter() | QDir::System);
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
