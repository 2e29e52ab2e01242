#pragma once

#include "engine/progress.h"
#include "platform/file_origin.h"
#include "ui/main/common_dialog.h"
#include "ui/main/file_prompter.h"
#include "ui/controls/message_sink.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QFrame;
class QProgressBar;
class QPushButton;

namespace norvane {
class Document;
}

namespace norvane::ui {

class BackgroundJob;
class TextPane;

// The main window: the column of commands on the left and the text pane filling the rest.
// Each control event has its handler, named after the control and the event.
class frmMain : public QWidget {
    Q_OBJECT

public:
    // What the window reaches the user through, handed in by whoever builds it (the
    // program, or a test with its fakes). Files and messages are required.
    struct Services {
        std::unique_ptr<FilePrompter> files;
        std::unique_ptr<MessageSink> messages;
        // Shows the About box modally over `owner`, telling the user through `messages`.
        std::function<void(QWidget& owner, MessageSink& messages)> showAbout;
    };

    // `commandLine` is the program's command-line text: one path, quoted or not, or empty,
    // in the system's narrow form (the bytes of the name on POSIX systems, UTF-8 on Windows).
    frmMain(const std::string& commandLine, Services services);
    ~frmMain() override;

    // A file is being read or the document saved, on a thread of its own. Meanwhile the
    // commands that need the document ("Fix File", "Save File", "Save As...", and "Open
    // File..." during a save) are disabled and the pane is read-only, so that nothing the
    // user does can be lost; "Open File..." during a load replaces it.
    bool isBusy() const { return job_ != nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void Form_Load(const std::string& commandLine);
    void Form_Resize();
    void butOpenFile_Click();
    void butConvert_Click();
    void butSaveFile_Click();
    void butSaveFileAs_Click();
    void chkShowText_Click();
    void butAboutHelp_Click();

    // The window's outer size, frame and title bar included, in twips.
    QSize outerSizeTwips() const;
    void setOuterSizeTwips(QSize twips);
    void sizePane();
    // Opens the file at `path`, named `fileTitle` in the title, as Open File does.
    void openFile(const std::filesystem::path& path, const QString& fileTitle);
    QString documentFolder() const;

    Services services_;
    CommonDialog CommonDialog1;

    QPushButton* butOpenFile = nullptr;
    QPushButton* butConvert = nullptr;
    QPushButton* butSaveFile = nullptr;
    TextPane* txtMain = nullptr;
    QPushButton* butSaveFileAs = nullptr;
    QProgressBar* ConvertProgBar = nullptr;
    QCheckBox* chkShowText = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* butAboutHelp = nullptr;

    enum class Job { Loading, Saving };
    // Reads the file at `path` behind the shown window. When it has been read, the pane
    // shows it and `loaded` runs; when it cannot be, the user is told and `failed` runs.
    void loadFile(const std::filesystem::path& path, std::function<void()> loaded, std::function<void()> failed);
    // Saves the document to `path` behind the shown window, with `overFileRead` only while
    // the file there is still DoFileOrigin; on failure, which leaves the file as it was,
    // shows `failure` with the reason below it.
    void saveDocumentTo(const std::filesystem::path& path, bool overFileRead, const QString& failure);
    // Runs `work` as the window's one job (a load still running is cancelled), its progress
    // in the progress bar; `finished` gets how it ended once the window is idle again.
    void startJob(Job kind, std::function<void(const ProgressReporter&)> work,
                  std::function<void(std::exception_ptr failure)> finished);
    // Cancels the job that runs, if any; what a cancelled load read is freed behind.
    void cancelJob();
    // Shows `document` in the pane, and frees the one it showed behind.
    void showDocument(Document document);
    // Frees a document the window no longer needs on a thread of its own: for one of a GB
    // that takes a while.
    void freeBehind(std::shared_ptr<const Document> document);
    // Enables the commands and the pane as the window's state allows.
    void updateCommands();

    // The current file's full path, as the system names it (never collapsed: `link/..` stays
    // what the kernel makes of it); empty while there is none.
    std::filesystem::path DoFilename;
    // The file DoFilename was read from or last saved as: Save File writes over it only
    // while it is still that file, as it was.
    platform::FileOrigin DoFileOrigin;
    int OldWidth = 0;    // outer size in twips when the pane was last hidden
    int OldHeight = 0;
    bool restoreMaximized_ = false;
    bool fixable_ = false;  // a document was loaded and has not been fixed: "Fix File" applies
    bool closeWhenDone_ = false;  // closing waits for the save to end
    std::unique_ptr<BackgroundJob> job_;
    // The document the load that runs reads into, if one runs.
    std::shared_ptr<Document> loading_;
    // The jobs of freeBehind, by the number each was started as.
    std::map<std::uint64_t, std::unique_ptr<BackgroundJob>> releases_;
    std::uint64_t releasesStarted_ = 0;
    Job jobKind_ = Job::Loading;
    // The control that had the focus when a job disabled it, given it back at the job's end.
    QPointer<QWidget> focusBeforeJob_;
};

}  // namespace norvane::ui
