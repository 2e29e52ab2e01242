#pragma once

#include "ui/main/common_dialog.h"
#include "ui/main/file_prompter.h"
#include "ui/controls/message_sink.h"

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QFrame;
class QProgressBar;
class QPushButton;

namespace norvane::ui {

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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

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
    void sizePane(QSize available);
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

    void saveDocumentTo(const std::filesystem::path& path, const QString& failure);

    // The current file's full path, as the system names it (never collapsed: `link/..` stays
    // what the kernel makes of it); empty while there is none.
    std::filesystem::path DoFilename;
    int OldWidth = 0;    // outer size in twips when the pane was last hidden
    int OldHeight = 0;
    bool restoreMaximized_ = false;
    bool fixing_ = false;
    bool closeWhenFixed_ = false;
};

}  // namespace norvane::ui
