#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace norvane::ui {

// What a file dialog is opened with.
struct FilePromptRequest {
    QStringList nameFilters;  // "Description (patterns)"
    int selectedFilter = 0;   // index into nameFilters
    QString initialPath;      // the name offered, empty for none
    QString folder;           // the folder it starts in; empty: the prompter's own choice
};

// Asks the user for a file to open or a name to save under; nothing means cancelled.
// Windows are handed one, so tests can answer in place of a person.
class FilePrompter {
public:
    virtual ~FilePrompter() = default;
    virtual std::optional<QString> askOpenPath(QWidget* owner, const FilePromptRequest& request) = 0;
    virtual std::optional<QString> askSavePath(QWidget* owner, const FilePromptRequest& request) = 0;
};

// The platform's file dialogs. Without a folder asked for, one starts where the last one
// ended, or in the user's home folder the first time.
class FileDialogPrompter final : public FilePrompter {
public:
    std::optional<QString> askOpenPath(QWidget* owner, const FilePromptRequest& request) override;
    std::optional<QString> askSavePath(QWidget* owner, const FilePromptRequest& request) override;

private:
    std::optional<QString> ask(QWidget* owner, const FilePromptRequest& request, bool open);

    QString lastFolder_;
};

}  // namespace norvane::ui
