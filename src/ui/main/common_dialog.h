#pragma once

#include "ui/main/file_prompter.h"

#include <QString>
#include <QStringList>

namespace norvane::ui {

// The main window's one file dialog. It keeps its settings between uses, and after each
// use the path chosen (offered again the next time) and that file's name.
class CommonDialog {
public:
    explicit CommonDialog(FilePrompter& prompter) : prompter_(prompter) {}

    // Description and pattern pairs, every item followed by "|", patterns separated by ";".
    void setFilter(const QString& filter);
    // 1-based index of the pair selected when the dialog opens.
    void setFilterIndex(int index) { filterIndex_ = index; }
    // The folder the dialog starts in; empty leaves it to the dialog.
    void setInitDir(const QString& folder) { initDir_ = folder; }

    // Show the dialog; false when the user cancelled, leaving FileName and FileTitle as they were.
    bool showOpen(QWidget* owner);
    bool showSave(QWidget* owner);

    QString fileName() const { return fileName_; }
    QString fileTitle() const { return fileTitle_; }

private:
    FilePromptRequest request() const;
    bool take(const std::optional<QString>& chosen);

    FilePrompter& prompter_;
    QStringList nameFilters_;
    int filterIndex_ = 1;
    QString initDir_;
    QString fileName_;
    QString fileTitle_;
};

}  // namespace norvane::ui
