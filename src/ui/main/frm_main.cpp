#include "ui/main/frm_main.h"

#include "identity/identity.h"
#include "engine/document_file.h"
#include "engine/file_name.h"
#include "engine/line_fixer.h"
#include "engine/title_line.h"
#include "platform/file_io.h"
#include "ui/controls/label_fonts.h"
#include "ui/controls/twips.h"
#include "ui/controls/utf8_text.h"
#include "ui/main/background_job.h"
#include "ui/main/enter_presses_button.h"
#include "ui/main/main_layout.h"
#include "ui/pane/text_pane.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QFrame>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

namespace norvane::ui {
namespace {

const QString FileFilter = QStringLiteral(
    "All Files (*.*)|*.*|Text Files (*.txt)|*.txt|HTML Documents (*.html;*.htm)|*.html;*.htm|");

const QString NotEnoughMemory = QStringLiteral("Not enough memory.");

// The file name shown in the title: what follows the path's last separator, either '/' or
// the system's own. Bytes of the name that are not UTF-8 are shown as U+FFFD.
std::string fileNameOf(const std::filesystem::path& path) {
    return GetFileName(toUtf8(QDir::fromNativeSeparators(toQString(platform::pathText(path)))), '/');
}

QString errorDetail(const std::exception& error) { return toQString(error.what()); }

// Reads a document, turning running out of memory into a file error like any other.
Document readDocument(const std::filesystem::path& path, const ProgressReporter& progress) {
    try {
        return loadDocument(path, progress);
    } catch (const std::bad_alloc&) {
        throw platform::FileError("Not enough memory to read \"" + platform::pathText(path) + "\"");
    }
}

// The path as the program's working folder makes it now, without collapsing anything.
std::filesystem::path absolutePath(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute;
}

// The files a file manager drags, or none when the drag holds anything else.
QList<QUrl> draggedFiles(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    const bool allFiles =
        !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    return allFiles ? urls : QList<QUrl>();
}

// Assistive technology sees the main window as a window named by its title; to Qt a widget
// of a class of its own is a mere client area ("filler" over AT-SPI).
QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (object && object->isWidgetType() && className == QLatin1String(frmMain::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

frmMain::frmMain(const std::string& commandLine, Services services)
    : services_(std::move(services)), CommonDialog1(*services_.files) {
    Q_ASSERT(services_.files && services_.messages);
    static const bool accessible = (QAccessible::installFactory(&windowAccessible), true);
    (void)accessible;
    setObjectName(QStringLiteral("frmMain"));
    setFont(dialogFont());
    setAcceptDrops(true);
    createControls();
    resize(twipsToPixels(*this, MainLayout::InitialClientSize));
    Form_Load(commandLine);
}

// A load still running is cancelled; a save too (closing the window waits for it). The
// documents freed behind are waited for.
frmMain::~frmMain() { cancelJob(); }

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
    ConvertProgBar->setAccessibleName(QStringLiteral("Progress Indicator"));
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
    // Whoever changes the box (a click, a key, assistive technology, the program), the window follows.
    connect(chkShowText, &QCheckBox::toggled, this, &frmMain::chkShowText_Click);
    connect(butAboutHelp, &QPushButton::clicked, this, &frmMain::butAboutHelp_Click);
}

void frmMain::Form_Load(const std::string& commandLine) {
    CommonDialog1.setFilter(FileFilter);
    setWindowTitle(toQString(titleNoFile(identity::Version)));
    const std::string path = unquoteCommandLine(commandLine);
    if (!path.empty()) {
        // The window shows at once, with no file; the file's text and title follow once it
        // has been read.
        const std::filesystem::path file = absolutePath(platform::pathFromText(path));
        loadFile(
            file,
            [this, file] {
                DoFilename = file;
                setWindowTitle(toQString(titleLoaded(identity::Version, fileNameOf(DoFilename))));
            },
            [this] {
                setWindowTitle(toQString(titleNoFile(identity::Version)));
                showDocument(Document());
            });
    }
    updateCommands();
    sizePane();
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
    if (chkShowText->isChecked()) sizePane();
}

// Gives the pane the window's outer size less the margins, kept inside the client area,
// which a frame thicker than the margins allow for would overrun. Without a frame (no window
// manager, Wayland without server decorations) the margins would leave an empty band beside
// and under the pane instead: it then stands one pixel from the client area's right and
// bottom edges, where the platform's usual frame puts it. On Wayland the frame Qt reports is
// the one it draws itself, known only once the window is shown: it counts as no frame, or
// the pane would change size at the first resize after start.
void frmMain::sizePane() {
    const QPoint place = txtMain->pos();
    const QSize inside = QSize(width() - place.x(), height() - place.y()).expandedTo({0, 0});
    const bool ownFrame = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    const bool framed = !ownFrame && frameGeometry().size() != size();
    const QSize wanted = framed ? twipsToPixels(*this, outerSizeTwips() - MainLayout::PaneMargins)
                                : inside - QSize(1, 1);
    txtMain->resize(wanted.boundedTo(inside).expandedTo({0, 0}));
}

QSize frmMain::outerSizeTwips() const { return pixelsToTwips(*this, frameGeometry().size()); }

void frmMain::setOuterSizeTwips(QSize twips) {
    const QSize frame = frameGeometry().size() - size();
    resize(twipsToPixels(*this, twips) - frame);
}

// The file dialogs start in the current document's folder, if there is one.
QString frmMain::documentFolder() const {
    return DoFilename.empty() ? QString() : toQString(platform::pathText(DoFilename.parent_path()));
}

void frmMain::butOpenFile_Click() {
    CommonDialog1.setFilterIndex(2);
    CommonDialog1.setInitDir(documentFolder());
    if (!CommonDialog1.showOpen(this)) return;
    openFile(toPath(CommonDialog1.fileName()), CommonDialog1.fileTitle());
}

void frmMain::openFile(const std::filesystem::path& path, const QString& fileTitle) {
    // A file that cannot be read leaves everything as it was; the user learns why.
    loadFile(
        path,
        [this, path, fileTitle] {
            DoFilename = path;
            setWindowTitle(toQString(titleLoaded(identity::Version, toUtf8(fileTitle))));
        },
        [] {});
}

void frmMain::loadFile(const std::filesystem::path& path, std::function<void()> loaded, std::function<void()> failed) {
    auto document = std::make_shared<Document>();
    startJob(
        Job::Loading, [path, document](const ProgressReporter& progress) { *document = readDocument(path, progress); },
        [this, document, loaded = std::move(loaded), failed = std::move(failed)](std::exception_ptr failure) {
            loading_ = nullptr;
            try {
                if (failure) std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                services_.messages->showMessage(QStringLiteral("Error, cannot read file!"), errorDetail(error));
                failed();
                return;
            }
            platform::FileOrigin origin = document->origin();
            showDocument(std::move(*document));
            fixable_ = true;
            updateCommands();
            DoFileOrigin = std::move(origin);
            loaded();
            if (const auto& backup = DoFileOrigin.leftoverBackup())
                services_.messages->showMessage(
                    QStringLiteral("A save of this file did not finish."),
                    QStringLiteral("A copy of the file as it was before that save is in \"%1\". The file may hold part "
                                   "of the text that was being saved; Save File is refused until the copy is put back "
                                   "or removed.")
                        .arg(toQString(platform::pathText(*backup))));
        });
    loading_ = std::move(document);
}

void frmMain::showDocument(Document document) {
    freeBehind(std::make_shared<const Document>(txtMain->setDocument(std::move(document))));
}

void frmMain::freeBehind(std::shared_ptr<const Document> document) {
    const std::uint64_t id = ++releasesStarted_;
    releases_.emplace(id, std::make_unique<BackgroundJob>(
                              [document = std::move(document)](const ProgressReporter&) mutable { document.reset(); },
                              [](int) {},
                              [this, id](std::exception_ptr) { releases_.extract(id).mapped().release()->deleteLater(); }));
}

// The fix is one step that costs the number of the document's pieces, whatever its size.
void frmMain::butConvert_Click() {
    if (!txtMain->changeDocument([](Document& document) { fixLineEnds(document); })) return;
    fixable_ = false;
    updateCommands();
    ConvertProgBar->setValue(0);
    setWindowTitle(toQString(titleFixed(identity::Version, fileNameOf(DoFilename))));
}

void frmMain::saveDocumentTo(const std::filesystem::path& path, bool overFileRead, const QString& failure) {
    // The save reads a snapshot of its own, which nothing done to the pane's document can
    // change; it is freed on the save's thread.
    auto document = std::make_shared<const Document>(txtMain->document());
    auto saved = std::make_shared<platform::FileOrigin>();
    const bool damaged = document->sourceChanged();
    startJob(
        Job::Saving,
        [document = std::move(document), path, overFileRead, origin = DoFileOrigin, saved](
            const ProgressReporter& progress) {
            *saved =
                overFileRead ? saveDocumentOver(*document, origin, progress) : saveDocument(*document, path, progress);
        },
        [this, failure, saved, damaged](std::exception_ptr error) {
            try {
                if (error) std::rethrow_exception(error);
            } catch (const std::bad_alloc&) {
                closeWhenDone_ = false;  // the user sees the failure, and the document is kept
                services_.messages->showMessage(failure, NotEnoughMemory);
                return;
            } catch (const std::exception& reason) {
                closeWhenDone_ = false;
                services_.messages->showMessage(failure, errorDetail(reason));
                return;
            }
            DoFileOrigin = std::move(*saved);
            if (damaged) {
                closeWhenDone_ = false;
                services_.messages->showMessage(
                    QStringLiteral("The file was saved."),
                    QStringLiteral("Another program changed the file the text was read from while it was open, so the "
                                   "text saved may hold that program's bytes, or NUL bytes where the file was cut short."));
                return;
            }
            if (closeWhenDone_) close();
        });
}

void frmMain::startJob(Job kind, std::function<void(const ProgressReporter&)> work,
                       std::function<void(std::exception_ptr)> finished) {
    cancelJob();  // only a load can be running here: its result would be replaced
    const QPointer<QWidget> focus = QApplication::focusWidget();
    jobKind_ = kind;
    ConvertProgBar->setValue(0);
    job_ = std::make_unique<BackgroundJob>(
        std::move(work), [this](int percent) { ConvertProgBar->setValue(percent); },
        [this, finished = std::move(finished)](std::exception_ptr failure) {
            job_.release()->deleteLater();
            ConvertProgBar->setValue(0);
            updateCommands();
            // A button the job disabled gets back the focus that its disabling moved on.
            if (focusBeforeJob_ && focusBeforeJob_->isEnabled() && focusBeforeJob_->window() == this)
                focusBeforeJob_->setFocus();
            focusBeforeJob_ = nullptr;
            finished(failure);
        });
    updateCommands();
    if (!focusBeforeJob_ && focus && !focus->isEnabled()) focusBeforeJob_ = focus;
}

void frmMain::cancelJob() {
    job_.reset();
    if (loading_) freeBehind(std::exchange(loading_, nullptr));
}

void frmMain::updateCommands() {
    const bool idle = !job_;
    butOpenFile->setEnabled(idle || jobKind_ == Job::Loading);
    butConvert->setEnabled(idle && fixable_);
    butSaveFile->setEnabled(idle);
    butSaveFileAs->setEnabled(idle);
    txtMain->setReadOnly(!idle);
    // The pointer says that the window works on while it answers, over the pane too.
    if (idle)
        unsetCursor();
    else
        setCursor(Qt::BusyCursor);
    txtMain->setBusyPointer(!idle);
}

void frmMain::butSaveFile_Click() {
    if (DoFilename.empty()) return;
    saveDocumentTo(DoFilename, !DoFileOrigin.empty(), QStringLiteral("Error, cannot save file."));
}

void frmMain::butSaveFileAs_Click() {
    CommonDialog1.setFilterIndex(2);
    CommonDialog1.setInitDir(documentFolder());
    if (!CommonDialog1.showSave(this)) {
        services_.messages->showMessage(QStringLiteral("File Not Saved."));
        return;
    }
    DoFilename = toPath(CommonDialog1.fileName());
    DoFileOrigin = {};  // until the save makes it
    saveDocumentTo(DoFilename, false, QStringLiteral("File Not Saved."));
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

// Coming back to the window is when another program may have used the file meanwhile: a
// change seen now is remembered by the document, whatever becomes of the file later.
void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) txtMain->document().sourceChanged();
}

// A file dropped on the window is opened as Open File opens it, and only when Open File could be.
void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (butOpenFile->isEnabled() && !draggedFiles(*event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    const QList<QUrl> files = draggedFiles(*event->mimeData());
    if (!butOpenFile->isEnabled() || files.isEmpty()) return;
    event->acceptProposedAction();
    if (files.size() > 1) {
        // As a command line naming several files, which is taken as one path that fails. The
        // message shows once the drop has ended, so that the file manager is not kept waiting.
        QMetaObject::invokeMethod(
            this,
            [this] {
                services_.messages->showMessage(QStringLiteral("Error, cannot read file!"),
                                                QStringLiteral("Drop one file at a time."));
            },
            Qt::QueuedConnection);
        return;
    }
    const QString path = files.first().toLocalFile();
    openFile(toPath(path), QFileInfo(path).fileName());
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The document is half written to its file: close once that is done. A load is
    // cancelled when the window goes.
    if (job_ && jobKind_ == Job::Saving) {
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace norvane::ui
