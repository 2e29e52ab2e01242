#include "ui/main/frm_main.h"

#include "identity/identity.h"
#include "engine/document_file.h"
#include "engine/file_name.h"
#include "engine/line_fixer.h"
#include "engine/title_line.h"
#include "platform/file_io.h"
#include "ui/controls/label_fonts.h"
#include "ui/controls/text_pane.h"
#include "ui/controls/utf8_text.h"
#include "ui/main/enter_presses_button.h"
#include "ui/main/main_layout.h"
#include "ui/controls/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <new>
#include <string>

namespace norvane::ui {
namespace {

const QString FileFilter = QStringLiteral(
    "All Files (*.*)|*.*|Text Files (*.txt)|*.txt|HTML Documents (*.html;*.htm)|*.html;*.htm|");

// The file name shown in the title: what follows the path's last separator, either '/' or
// the system's own.
std::string fileNameOf(const QString& path) { return GetFileName(toUtf8(QDir::fromNativeSeparators(path)), '/'); }

QString errorDetail(const std::exception& error) { return toQString(error.what()); }

// Reads a document, turning running out of memory into a file error like any other.
Document readDocument(const QString& path) {
    try {
        return loadDocument(toPath(path));
    } catch (const std::bad_alloc&) {
        throw platform::FileError("Not enough memory to read \"" + toUtf8(path) + "\"");
    }
}

}  // namespace

frmMain::frmMain(const QString& commandLine, Services services)
    : services_(std::move(services)), CommonDialog1(*services_.files) {
    Q_ASSERT(services_.files && services_.messages);
    setObjectName(QStringLiteral("frmMain"));
    setFont(dialogFont());
    createControls();
    resize(twipsToPixels(*this, MainLayout::InitialClientSize));
    Form_Load(commandLine);
}

frmMain::~frmMain() = default;

void frmMain::createControls() {
    auto button = [this](const char* name, const QString& caption, QRect twips) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QString::fromLatin1(name));
        control->setAutoDefault(false);
        control->setGeometry(twipsToPixels(*this, twips));
        EnterPressesButton::install(*control);
        return control;
    };
    butOpenFile = button("butOpenFile", QStringLiteral("Open File..."), MainLayout::butOpenFile);
    butConvert = button("butConvert", QStringLiteral("Fix File"), MainLayout::butConvert);
    butSaveFile = button("butSaveFile", QStringLiteral("Save File"), MainLayout::butSaveFile);

    txtMain = new TextPane(this);
    txtMain->setObjectName(QStringLiteral("txtMain"));
    txtMain->setGeometry(twipsToPixels(*this, MainLayout::txtMain));

    butSaveFileAs = button("butSaveFileAs", QStringLiteral("Save As..."), MainLayout::butSaveFileAs);

    ConvertProgBar = new QProgressBar(this);
    ConvertProgBar->setObjectName(QStringLiteral("ConvertProgBar"));
    ConvertProgBar->setRange(0, 100);
    ConvertProgBar->setValue(0);
    ConvertProgBar->setTextVisible(false);
    ConvertProgBar->setToolTip(QStringLiteral("Progress Indicator"));
    ConvertProgBar->setGeometry(twipsToPixels(*this, MainLayout::ConvertProgBar));

    chkShowText = new QCheckBox(QStringLiteral("Show Text"), this);
    chkShowText->setObjectName(QStringLiteral("chkShowText"));
    chkShowText->setChecked(true);
    chkShowText->setToolTip(QStringLiteral("Turn on/off text window"));
    chkShowText->setGeometry(twipsToPixels(*this, MainLayout::chkShowText));

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);
    const QRect line = twipsToPixels(*this, MainLayout::Line1);
    Line1->setGeometry(line.left(), line.top(), line.width(), 1);

    butAboutHelp = button("butAboutHelp", QStringLiteral("About/Help..."), MainLayout::butAboutHelp);

    butConvert->setEnabled(false);
    setTabOrder(butOpenFile, butConvert);
    setTabOrder(butConvert, butSaveFile);
    setTabOrder(butSaveFile, txtMain);
    setTabOrder(txtMain, butSaveFileAs);
    setTabOrder(butSaveFileAs, chkShowText);
    setTabOrder(chkShowText, butAboutHelp);
    butOpenFile->setFocus();

    connect(butOpenFile, &QPushButton::clicked, this, &frmMain::butOpenFile_Click);
    connect(butConvert, &QPushButton::clicked, this, &frmMain::butConvert_Click);
    connect(butSaveFile, &QPushButton::clicked, this, &frmMain::butSaveFile_Click);
    connect(butSaveFileAs, &QPushButton::clicked, this, &frmMain::butSaveFileAs_Click);
    connect(chkShowText, &QCheckBox::clicked, this, &frmMain::chkShowText_Click);
    connect(butAboutHelp, &QPushButton::clicked, this, &frmMain::butAboutHelp_Click);
}

void frmMain::Form_Load(const QString& commandLine) {
    CommonDialog1.setFilter(FileFilter);
    const QString path = toQString(unquoteCommandLine(toUtf8(commandLine)));
    if (path.isEmpty()) {
        setWindowTitle(toQString(titleNoFile(identity::Version)));
    } else {
        try {
            txtMain->setDocument(readDocument(path));
            DoFilename = QFileInfo(path).absoluteFilePath();
            setWindowTitle(toQString(titleLoaded(identity::Version, fileNameOf(path))));
            butConvert->setEnabled(true);
        } catch (const platform::FileError& error) {
            services_.messages->showMessage(QStringLiteral("Error, cannot read file!"), errorDetail(error));
            setWindowTitle(toQString(titleNoFile(identity::Version)));
            txtMain->setText({});
        }
    }
    sizePane(pixelsToTwips(*this, size()));
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

// A window manager frames a shown window without changing its client size: the move that
// framing brings is when the frame, part of the outer size the pane follows, becomes known.
void frmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    if (chkShowText->isChecked()) sizePane(outerSizeTwips());
}

// Gives the pane the size left of `available` (in twips) after the margins. It is kept
// inside the client area, which a frame thicker than the margins allow for would overrun.
void frmMain::sizePane(QSize available) {
    const QSize margins = MainLayout::PaneMargins;
    const QRect place = txtMain->geometry();
    const int width = std::clamp(twipsToPixels(*this, available.width() - margins.width()), 0,
                                 std::max(0, this->width() - place.left()));
    const int height = std::clamp(twipsToPixels(*this, available.height() - margins.height()), 0,
                                  std::max(0, this->height() - place.top()));
    txtMain->resize(width, height);
}

QSize frmMain::outerSizeTwips() const { return pixelsToTwips(*this, frameGeometry().size()); }

void frmMain::setOuterSizeTwips(QSize twips) {
    const QSize frame = frameGeometry().size() - size();
    resize(twipsToPixels(*this, twips) - frame);
}

// The file dialogs start in the current document's folder, if there is one.
QString frmMain::documentFolder() const {
    return DoFilename.isEmpty() ? QString() : QFileInfo(DoFilename).absolutePath();
}

void frmMain::butOpenFile_Click() {
    CommonDialog1.setFilterIndex(2);
    CommonDialog1.setInitDir(documentFolder());
    if (!CommonDialog1.showOpen(this)) return;
    const QString path = CommonDialog1.fileName();
    try {
        txtMain->setDocument(readDocument(path));
    } catch (const platform::FileError&) {
        return;  // the command fails without a message, leaving everything as it was
    }
    DoFilename = path;
    butConvert->setEnabled(true);
    setWindowTitle(toQString(titleLoaded(identity::Version, toUtf8(CommonDialog1.fileTitle()))));
}

void frmMain::butConvert_Click() {
    ConvertProgBar->setValue(0);
    // The window repaints while the fix runs. Keyboard and mouse input and the window
    // system's close requests (user input to Qt) wait in the queue until the fix is done; a
    // close() from within the program meanwhile is put off by closeEvent.
    fixing_ = true;
    txtMain->changeDocument([this](Document& document) {
        fixLineEnds(document, [this](int percent) {
            ConvertProgBar->setValue(percent);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    });
    fixing_ = false;
    butConvert->setEnabled(false);
    ConvertProgBar->setValue(0);
    setWindowTitle(toQString(titleFixed(identity::Version, fileNameOf(DoFilename))));
    if (closeWhenFixed_) close();
}

void frmMain::butSaveFile_Click() {
    if (DoFilename.isEmpty()) return;
    try {
        saveDocument(txtMain->document(), toPath(DoFilename));
    } catch (const platform::FileError& error) {
        services_.messages->showMessage(QStringLiteral("Error, cannot save file."), errorDetail(error));
    }
}

void frmMain::butSaveFileAs_Click() {
    CommonDialog1.setFilterIndex(2);
    CommonDialog1.setInitDir(documentFolder());
    if (!CommonDialog1.showSave(this)) {
        services_.messages->showMessage(QStringLiteral("File Not Saved."));
        return;
    }
    DoFilename = CommonDialog1.fileName();
    try {
        saveDocument(txtMain->document(), toPath(DoFilename));
    } catch (const platform::FileError& error) {
        services_.messages->showMessage(QStringLiteral("File Not Saved."), errorDetail(error));
    }
}

void frmMain::chkShowText_Click() {
    if (chkShowText->isChecked()) {
        txtMain->setVisible(true);
        setOuterSizeTwips({OldWidth, OldHeight});
        if (std::exchange(restoreMaximized_, false)) showMaximized();
    } else {
        // A maximised or minimised window is restored first, so that the size kept is the
        // one it comes back to, and maximised again when the pane is shown.
        restoreMaximized_ = isMaximized();
        if (isMaximized() || isMinimized() || isFullScreen()) showNormal();
        const QSize outer = outerSizeTwips();
        OldWidth = outer.width();
        OldHeight = outer.height();
        txtMain->setVisible(false);
        setOuterSizeTwips(MainLayout::CompactOuterSize);
    }
}

void frmMain::butAboutHelp_Click() {
    if (services_.showAbout) services_.showAbout(*this, *services_.messages);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (fixing_) {
        // The document is half rewritten: close once the fix is done.
        closeWhenFixed_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace norvane::ui
