#include "fake_services.h"
#include "line_feed_cases.h"
#include "test_files.h"
#include "ui/controls/utf8_text.h"
#include "ui/main/frm_main.h"
#include "ui/main/guarded_application.h"
#include "ui/pane/text_pane.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QFontMetrics>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <string_view>

namespace norvane::ui {
namespace {

using testing::FakeServices;

using test::readBytes;
using test::writeBytes;

// One main window with fake dialogs and messages, and a folder for its files.
class MainWindow : public ::testing::Test {
protected:
    // Starts the window and waits until the file named on the command line, if any, is read.
    void start(const QString& commandLine = {}) {
        startLoading(commandLine);
        waitForJob();
    }
    // Starts the window, which shows at once and reads its file behind.
    void startLoading(const QString& commandLine) {
        window = std::make_unique<frmMain>(toUtf8(commandLine), services.make());
    }
    // Lets the load or save the window runs end, as the event loop does.
    void waitForJob() {
        while (window->isBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    QString file(const QString& name, std::string_view bytes) {
        const QString path = folder.filePath(name);
        writeBytes(toPath(path), bytes);
        return path;
    }

    template <class T = QPushButton>
    T* control(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    TextPane* pane() { return control<TextPane>("txtMain"); }
    QString title() { return window->windowTitle(); }
    // Clicks a button and waits for the load or save it starts.
    void click(const char* button) {
        control(button)->click();
        waitForJob();
    }
    void openThroughDialog(const QString& path) {
        services.prompter->answers.push_back(path);
        click("butOpenFile");
    }

    // Tries everything that would change the document or a file while a load or a save
    // runs; expects each to be refused, and the commands that need the document disabled.
    void attemptChangesWhileBusy() {
        ASSERT_TRUE(window->isBusy());
        EXPECT_TRUE(pane()->isReadOnly());
        for (const char* name : {"butConvert", "butSaveFile", "butSaveFileAs"})
            EXPECT_FALSE(control(name)->isEnabled()) << name;
        const struct {
            const char* name;
            std::function<void()> attempt;
        } attempts[] = {
            {"typing", [&] { QTest::keyClicks(pane(), "typed"); }},
            {"Enter", [&] { QTest::keyClick(pane(), Qt::Key_Return); }},
            {"Delete", [&] { QTest::keyClick(pane(), Qt::Key_Delete); }},
            {"Backspace at the end", [&] {
                 QTest::keyClick(pane(), Qt::Key_End, Qt::ControlModifier);
                 QTest::keyClick(pane(), Qt::Key_Backspace);
             }},
            {"cutting all", [&] {
                 pane()->selectAll();
                 pane()->cut();
             }},
            {"undo", [&] { QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier); }},
            {"Fix File", [&] { control("butConvert")->click(); }},
            {"Save File", [&] { control("butSaveFile")->click(); }},
            {"Save As...", [&] {
                 services.prompter->answers.push_back(folder.filePath("other.txt"));
                 control("butSaveFileAs")->click();
                 services.prompter->answers.clear();
             }},
        };
        const std::string before = pane()->text();
        for (const auto& [name, attempt] : attempts) {
            SCOPED_TRACE(name);
            attempt();
            EXPECT_EQ(pane()->text(), before);
            EXPECT_TRUE(window->isBusy());
        }
        EXPECT_FALSE(QFile::exists(folder.filePath("other.txt")));
        EXPECT_TRUE(services.prompter->saveRequests.empty());
    }

    // The window goes, and so do the jobs it handed to the event loop to delete, whose
    // threads are joined then.
    void TearDown() override {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir folder;
    FakeServices services;
    std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, StartsWithNoFile) {
    start();
    EXPECT_EQ(title(), "Norvane v2.1 - [No File]");
    EXPECT_FALSE(control("butConvert")->isEnabled());
    for (const char* name : {"butOpenFile", "butSaveFile", "butSaveFileAs", "butAboutHelp"})
        EXPECT_TRUE(control(name)->isEnabled()) << name;
    EXPECT_TRUE(control<QCheckBox>("chkShowText")->isChecked());
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->value(), 0);
    EXPECT_EQ(pane()->text(), "");
    EXPECT_TRUE(pane()->isEnabled());
    EXPECT_TRUE(services.messages->texts.isEmpty());

    EXPECT_EQ(control("butOpenFile")->text(), "Open File...");
    EXPECT_EQ(control("butConvert")->text(), "Fix File");
    EXPECT_EQ(control("butSaveFile")->text(), "Save File");
    EXPECT_EQ(control("butSaveFileAs")->text(), "Save As...");
    EXPECT_EQ(control("butAboutHelp")->text(), "About/Help...");
    EXPECT_EQ(control<QCheckBox>("chkShowText")->text(), "Show Text");
    EXPECT_EQ(control<QCheckBox>("chkShowText")->toolTip(), "Turn on/off text window");
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->toolTip(), "Progress Indicator");
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->accessibleName(), "Progress Indicator");
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->maximum(), 100);
}

TEST_F(MainWindow, LaysOutItsControlsInTwips) {
    start();
    if (window->logicalDpiX() != 96) GTEST_SKIP() << "the pane's figures below are for 96 dpi";
    // The commands stand in one column along the left edge, in this order from the top,
    // each clear of the one above; the buttons are all of one size.
    const char* column[] = {"butOpenFile",    "butConvert",  "butSaveFile", "butSaveFileAs",
                            "ConvertProgBar", "chkShowText", "Line1",       "butAboutHelp"};
    const QRect first = window->findChild<QWidget*>(column[0])->geometry();
    int bottom = -1;
    for (const char* name : column) {
        const QWidget* control = window->findChild<QWidget*>(name);
        const QRect place = control->geometry();
        SCOPED_TRACE(name);
        EXPECT_EQ(place.left(), first.left());
        EXPECT_LE(place.right(), first.right());
        EXPECT_GT(place.top(), bottom);
        if (qobject_cast<const QPushButton*>(control)) {
            EXPECT_EQ(place.size(), first.size());
        }
        bottom = place.bottom();
    }
    // Right of the column and level with its top, the pane follows the window's size: it
    // keeps its place and the room right of it and below it, inside the window, whatever
    // size the window is given.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QRect start = pane()->geometry();
    EXPECT_GT(start.left(), first.right());
    EXPECT_EQ(start.top(), first.top());
    const QSize room = window->size() - QSize(start.right(), start.bottom());
    EXPECT_GT(room.width(), 0);
    EXPECT_GT(room.height(), 0);
    for (const QSize size : {QSize(800, 600), QSize(300, 500), QSize(1000, 250), window->size()}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        window->resize(size);
        QCoreApplication::processEvents();
        const QRect place = pane()->geometry();
        EXPECT_EQ(place.topLeft(), start.topLeft());
        EXPECT_EQ(window->size() - QSize(place.right(), place.bottom()), room);
    }
}

TEST_F(MainWindow, CaptionsFitTheirControlsWhateverTheDesktopFontSize) {
    // A desktop with a large general font: the controls keep the 8 pt dialog font.
    const QFont desktop = QApplication::font();
    QFont large = desktop;
    large.setPointSizeF(11);
    QApplication::setFont(large);
    start();
    QApplication::setFont(desktop);
    for (QAbstractButton* control : window->findChildren<QAbstractButton*>()) {
        SCOPED_TRACE(control->text().toStdString());
        EXPECT_EQ(control->font().pointSizeF(), 8);
        // The room the style leaves for the caption inside the control's frame or beside its box.
        QStyleOptionButton option;
        option.initFrom(control);
        option.text = control->text();
        const bool isCheckBox = qobject_cast<QCheckBox*>(control) != nullptr;
        const QRect room = control->style()->subElementRect(
            isCheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, control);
        const QFontMetrics metrics(control->font(), control);
        EXPECT_LE(metrics.horizontalAdvance(control->text()), room.width());
        EXPECT_LE(metrics.height(), room.height());
    }
}

TEST_F(MainWindow, TabGoesThroughTheControlsInOrder) {
    start(file("a.txt", "x\n"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    control("butOpenFile")->setFocus();
    const char* order[] = {"butConvert", "butSaveFile", "txtMain", "butSaveFileAs", "chkShowText", "butAboutHelp"};
    for (const char* name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
    }
    // A disabled button is skipped.
    control("butConvert")->setEnabled(false);
    control("butOpenFile")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "butSaveFile");
}

TEST_F(MainWindow, EnterPressesTheFocusedButtonAndEscapeNone) {
    start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    control("butAboutHelp")->setFocus();
    QTest::keyClick(control("butAboutHelp"), Qt::Key_Escape);
    EXPECT_EQ(services.aboutShown, 0);
    QTest::keyClick(control("butAboutHelp"), Qt::Key_Return);
    EXPECT_EQ(services.aboutShown, 1);
}

TEST_F(MainWindow, LoadsTheFileNamedOnTheCommandLine) {
    const QString path = file("with space.txt", "one\ntwo\n");
    for (const QString& commandLine : {path, '"' + path + '"'}) {
        start(commandLine);
        EXPECT_EQ(title(), "Norvane v2.1 - [with space.txt]");
        EXPECT_EQ(pane()->text(), "one\ntwo\n");
        EXPECT_TRUE(control("butConvert")->isEnabled());
        EXPECT_TRUE(services.messages->texts.isEmpty());
    }
    // The fixed title and Save File both work on the command line's file.
    click("butConvert");
    EXPECT_EQ(title(), "Norvane v2.1 - [with space.txt] - Fixed");
    click("butSaveFile");
    EXPECT_EQ(readBytes(toPath(path)), "one\r\ntwo\r\n");
}

TEST_F(MainWindow, FixesAndSavesEveryKindOfFile) {
    for (const test::LineFeedCase& kind : test::LineFeedCases) {
        SCOPED_TRACE(kind.name);
        const QString path = file(QString::fromUtf8(kind.name), kind.before);
        start(path);
        click("butConvert");
        click("butSaveFile");
        EXPECT_EQ(readBytes(toPath(path)), kind.after);
        EXPECT_EQ(title(), "Norvane v2.1 - [" + QString::fromUtf8(kind.name) + "] - Fixed");
    }
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

// The window opens and saves the very file the system names, whatever the bytes of its name
// and however the path reaches it.
TEST_F(MainWindow, SavesTheFileThatWasRead) {
    const std::filesystem::path root = toPath(folder.path());
    std::filesystem::create_directories(root / "deep" / "inner");
    std::filesystem::create_directory_symlink(root / "deep" / "inner", root / "link");
    writeBytes(root / "t.txt", "not this one\n");
    const struct {
        std::string commandLine;     // relative to the folder
        std::filesystem::path file;  // what the system names by it
        QString title;
    } cases[] = {
        {"caf\xE9-\xFF.txt", "caf\xE9-\xFF.txt", u"Norvane v2.1 - [caf\uFFFD-\uFFFD.txt]"_qs},
        {"link/../t.txt", "deep/t.txt", "Norvane v2.1 - [t.txt]"},
    };
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(root);
    for (const auto& [commandLine, file, expectedTitle] : cases) {
        SCOPED_TRACE(commandLine);
        writeBytes(root / file, "a\n");
        window = std::make_unique<frmMain>(commandLine, services.make());
        waitForJob();
        EXPECT_EQ(title(), expectedTitle);
        click("butConvert");
        click("butSaveFile");
        EXPECT_EQ(readBytes(root / file), "a\r\n");
    }
    std::filesystem::current_path(workingFolder);
    EXPECT_EQ(readBytes(root / "t.txt"), "not this one\n");
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, ReportsACommandLineFileThatCannotBeRead) {
    const QString fifo = folder.filePath("fifo");  // opening it must not wait for a writer
    ASSERT_EQ(::mkfifo(toPath(fifo).c_str(), 0600), 0);
    for (const QString& commandLine : {folder.filePath("missing.txt"), folder.path(), fifo}) {
        start(commandLine);
        EXPECT_EQ(services.messages->texts, QStringList{"Error, cannot read file!"});
        EXPECT_FALSE(services.messages->details.front().isEmpty());
        EXPECT_EQ(title(), "Norvane v2.1 - [No File]");
        EXPECT_EQ(pane()->text(), "");
        EXPECT_FALSE(control("butConvert")->isEnabled());
        click("butSaveFile");  // nothing to save to
        EXPECT_EQ(services.messages->texts.size(), 1);
    }
}

TEST_F(MainWindow, TakesALoneQuoteAsAnEmptyCommandLine) {
    start("\"");
    EXPECT_EQ(title(), "Norvane v2.1 - [No File]");
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, OpensFixesAndSavesAFile) {
    start();
    const QString path = file("a.txt", "\nfirst\nsecond\r\nthird");
    openThroughDialog(path);
    const auto& request = services.prompter->openRequests.back();
    EXPECT_EQ(request.nameFilters.size(), 3);
    EXPECT_TRUE(request.nameFilters[request.selectedFilter].startsWith("Text Files (*.txt)"));
    EXPECT_EQ(title(), "Norvane v2.1 - [a.txt]");
    EXPECT_TRUE(control("butConvert")->isEnabled());

    click("butConvert");
    EXPECT_EQ(pane()->text(), "\r\nfirst\r\nsecond\r\r\nthird");
    EXPECT_EQ(title(), "Norvane v2.1 - [a.txt] - Fixed");
    EXPECT_FALSE(control("butConvert")->isEnabled());
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->value(), 0);

    click("butSaveFile");
    EXPECT_EQ(readBytes(toPath(path)), "\r\nfirst\r\nsecond\r\r\nthird\r\n");
    EXPECT_EQ(title(), "Norvane v2.1 - [a.txt] - Fixed");  // saving keeps the title

    // Opening another file replaces the text and allows fixing again.
    openThroughDialog(file("b.txt", "b\n"));
    EXPECT_EQ(title(), "Norvane v2.1 - [b.txt]");
    EXPECT_EQ(pane()->text(), "b\n");
    EXPECT_TRUE(control("butConvert")->isEnabled());
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, AFailedOrCancelledOpenChangesNothing) {
    start();
    const QString path = file("a.txt", "keep\n");
    openThroughDialog(path);
    pane()->setText("edited\n");
    services.prompter->answers.push_back(std::nullopt);  // cancelled: the file is not read again
    click("butOpenFile");
    // Loads that fail say so, and none waits on a FIFO for a writer.
    const QString fifo = folder.filePath("fifo");
    ASSERT_EQ(::mkfifo(toPath(fifo).c_str(), 0600), 0);
    for (const QString& unreadable : {QString(), folder.filePath("missing.txt"), folder.path(), fifo})
        openThroughDialog(unreadable);
    EXPECT_EQ(services.messages->texts, QStringList(4, "Error, cannot read file!"));
    EXPECT_EQ(pane()->text(), "edited\n");
    EXPECT_EQ(title(), "Norvane v2.1 - [a.txt]");
    click("butSaveFile");  // still saves to the file that was loaded
    EXPECT_EQ(readBytes(toPath(path)), "edited\n\r\n");
    EXPECT_FALSE(QFile::exists(folder.filePath("missing.txt")));
}

// Other programs use the open file: Save File writes only over the file that was read, as
// it was read, and leaves what another program made; Save As is the user's explicit choice
// and says when the text may hold another program's bytes; saving again after a save works.
TEST_F(MainWindow, SaveFileLeavesWhatAnotherProgramMade) {
    enum class Then { SaveFile, SaveAsSameName, SaveAsElsewhere };
    const std::string ours = std::string(100000, 'x') + "\n", fixed = std::string(100000, 'x') + "\r\n";
    const std::string theirs = "their text\n";
    const struct Row {
        const char* what;
        std::function<void(const std::filesystem::path&)> change;
        Then then;
        QStringList messages;
        std::string expected;  // on disk at the document's name afterwards; empty: the other program's bytes
    } rows[] = {
        {"nothing happened, saved twice", [](const std::filesystem::path&) {}, Then::SaveFile, {}, fixed},
        {"written over with its time put back",
         [&](const std::filesystem::path& path) {
             struct stat before {};
             ::stat(path.c_str(), &before);
             std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << theirs;
             const timespec times[2] = {before.st_atim, before.st_mtim};
             ::utimensat(AT_FDCWD, path.c_str(), times, 0);
         },
         Then::SaveFile, {"Error, cannot save file."}, ""},
        {"another editor saved it",
         [&](const std::filesystem::path& path) {
             writeBytes(path.string() + ".new", theirs);
             std::filesystem::rename(path.string() + ".new", path);
         },
         Then::SaveFile, {"Error, cannot save file."}, ""},
        {"another editor saved it, then Save As to the same name",
         [&](const std::filesystem::path& path) {
             writeBytes(path.string() + ".new", theirs);
             std::filesystem::rename(path.string() + ".new", path);
         },
         Then::SaveAsSameName, {}, fixed},
        {"cut short, then Save As elsewhere",
         [](const std::filesystem::path& path) { std::filesystem::resize_file(path, 10); }, Then::SaveAsElsewhere,
         {"The file was saved."}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        services = FakeServices();
        const QString path = file(QStringLiteral("open.txt"), ours);
        const std::filesystem::path onDisk = toPath(path);
        start(path);
        click("butConvert");
        if (row.then == Then::SaveFile && row.messages.isEmpty()) click("butSaveFile");
        row.change(onDisk);
        const std::string left = readBytes(onDisk);
        switch (row.then) {
        case Then::SaveFile: click("butSaveFile"); break;
        case Then::SaveAsSameName:
            services.prompter->answers.push_back(path);
            click("butSaveFileAs");
            break;
        case Then::SaveAsElsewhere:
            services.prompter->answers.push_back(folder.filePath(QStringLiteral("elsewhere.txt")));
            click("butSaveFileAs");
            // The lost bytes read as NULs, and the text then needs its closing CR LF.
            EXPECT_EQ(readBytes(toPath(folder.filePath(QStringLiteral("elsewhere.txt")))).size(), fixed.size() + 2);
            break;
        }
        EXPECT_EQ(services.messages->texts, row.messages);
        EXPECT_EQ(readBytes(onDisk), row.expected.empty() ? left : row.expected);
        if (row.then == Then::SaveFile && !row.messages.isEmpty()) {
            EXPECT_TRUE(services.messages->details.front().contains(u"another program"_qs))
                << services.messages->details.front().toStdString();
        }
        window.reset();
        std::filesystem::remove(toPath(folder.filePath(QStringLiteral("elsewhere.txt"))));
    }
}

// An exception that reaches the event loop is shown, and the program goes on.
TEST(GuardedApplication, ShowsWhatFailedInAnEventInsteadOfEnding) {
    const struct {
        std::function<bool()> deliver;
        bool handled;
        QString text, detail;
    } rows[] = {
        {[] { return true; }, true, {}, {}},
        {[]() -> bool { throw std::bad_alloc(); }, false, "Not enough memory.", "The last command could not be finished."},
        {[]() -> bool { throw std::runtime_error("the text is damaged"); }, false,
         "The last command could not be finished.", "the text is damaged"},
    };
    for (const auto& row : rows) {
        QString text, detail;
        EXPECT_EQ(GuardedApplication::deliverShowingFailures(row.deliver,
                                                             [&](const QString& t, const QString& d) {
                                                                 text = t;
                                                                 detail = d;
                                                             }),
                  row.handled);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(detail, row.detail);
    }
}

// After a save in place, the text no longer reads from the file: another program cutting the
// file short then changes nothing the window shows or does.
TEST_F(MainWindow, AFileCutShortAfterASaveInPlaceLeavesTheTextWhole) {
    std::string text;
    for (int line = 0; text.size() < (4u << 20); ++line) text += "line " + std::to_string(line) + "\n";
    const QString path = file(QStringLiteral("linked.txt"), text);
    std::filesystem::create_hard_link(toPath(path), toPath(folder.filePath(QStringLiteral("second.txt"))));
    start(path);
    click("butConvert");
    click("butSaveFile");
    const std::string saved = readBytes(toPath(path));
    std::filesystem::resize_file(toPath(path), 100);
    window->show();
    QTest::keyClick(pane(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(pane(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_TRUE(pane()->text() == saved);  // the fixed text ends in CR LF: the save added nothing
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

// A save in place that did not finish left a copy of the old file: opening the file says where.
TEST_F(MainWindow, OpeningAFileWithALeftoverBackupSaysWhereItIs) {
    const QString path = file(QStringLiteral("half.txt"), "half new, half old\n");
    file(QStringLiteral("half.txt.norvane-backup"), "old\n");
    start(path);
    EXPECT_EQ(services.messages->texts, QStringList{"A save of this file did not finish."});
    EXPECT_TRUE(services.messages->details.front().contains(u"half.txt.norvane-backup"_qs));
    click("butSaveFile");
    EXPECT_EQ(services.messages->texts.back(), "Error, cannot save file.");
    EXPECT_EQ(readBytes(toPath(path)), "half new, half old\n");
}

TEST_F(MainWindow, SaveFileNeedsAFileAndReportsFailure) {
    start();
    pane()->setText("typed");
    click("butSaveFile");
    EXPECT_TRUE(services.messages->texts.isEmpty());

    QTemporaryDir gone;
    const QString path = gone.filePath("a.txt");
    writeBytes(toPath(path), "x\n");
    openThroughDialog(path);
    gone.remove();
    // Closing during a save that then fails keeps the window, and the document, open.
    window->show();
    control("butSaveFile")->click();
    window->close();
    waitForJob();
    EXPECT_EQ(services.messages->texts, QStringList{"Error, cannot save file."});
    EXPECT_TRUE(services.messages->details.front().contains("a.txt"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, SaveAsWritesUnderTheNewNameOrSaysItDidNot) {
    start();
    pane()->setText("typed");
    services.prompter->answers.push_back(std::nullopt);
    click("butSaveFileAs");
    EXPECT_EQ(services.messages->texts, QStringList{"File Not Saved."});

    services.prompter->answers.push_back(folder.filePath("no/such/folder/x.txt"));
    click("butSaveFileAs");
    EXPECT_EQ(services.messages->texts.size(), 2);
    EXPECT_EQ(services.messages->texts.back(), "File Not Saved.");

    const QString path = folder.filePath("saved.txt");
    services.prompter->answers.push_back(path);
    click("butSaveFileAs");
    EXPECT_EQ(services.messages->texts.size(), 2);
    EXPECT_EQ(readBytes(toPath(path)), "typed\r\n");
    EXPECT_EQ(title(), "Norvane v2.1 - [No File]");

    // Save File now writes to the name chosen, which the dialog offers next time.
    pane()->setText("again\r\n");
    click("butSaveFile");
    EXPECT_EQ(readBytes(toPath(path)), "again\r\n");
    services.prompter->answers.push_back(std::nullopt);
    click("butSaveFileAs");
    EXPECT_EQ(services.prompter->saveRequests.back().initialPath, path);
}

TEST_F(MainWindow, FileDialogsStartInTheDocumentsFolder) {
    // No document: the dialog is left to start where the last one ended.
    start();
    services.prompter->answers.push_back(std::nullopt);
    click("butOpenFile");
    EXPECT_EQ(services.prompter->openRequests.back().folder, QString());

    // A document from the command line: both dialogs start in its folder.
    QTemporaryDir other;
    const QString path = other.filePath("a.txt");
    writeBytes(toPath(path), "x\n");
    start(path);
    services.prompter->answers.push_back(std::nullopt);
    click("butOpenFile");
    EXPECT_EQ(services.prompter->openRequests.back().folder, QFileInfo(path).absolutePath());
    services.prompter->answers.push_back(folder.filePath("b.txt"));
    click("butSaveFileAs");
    EXPECT_EQ(services.prompter->saveRequests.back().folder, QFileInfo(path).absolutePath());
    // Saved elsewhere, the document's folder is now that one.
    services.prompter->answers.push_back(std::nullopt);
    click("butOpenFile");
    EXPECT_EQ(services.prompter->openRequests.back().folder, QFileInfo(folder.filePath("b.txt")).absolutePath());
}

TEST_F(MainWindow, FixesAnEmptyDocument) {
    start(file("empty.txt", ""));
    click("butConvert");
    EXPECT_EQ(title(), "Norvane v2.1 - [empty.txt] - Fixed");
    EXPECT_FALSE(control("butConvert")->isEnabled());
    EXPECT_EQ(pane()->text(), "");
}

// The fix is one step: nothing else runs until it has ended, so a close asked for meanwhile
// finds the document fixed, and closes.
TEST_F(MainWindow, ACloseAskedForDuringAFixComesAfterIt) {
    const QByteArray lines = QByteArray("line\n").repeated(1 << 20);
    const QString path = file("big.txt", lines.toStdString());
    start(path);
    window->show();
    bool fixedWhenClosed = false;
    QTimer::singleShot(0, window.get(), [&] {
        fixedWhenClosed = title().endsWith(" - Fixed");
        window->close();
    });
    click("butConvert");
    QCoreApplication::processEvents();
    EXPECT_TRUE(fixedWhenClosed);
    EXPECT_EQ(pane()->text().size(), static_cast<std::size_t>(lines.size()) / 5 * 6);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, ShowsFirstAndReadsTheFileBehind) {
    const QString path = file("a.txt", "first\nsecond\n");
    startLoading(path);
    QSignalSpy progress(control<QProgressBar>("ConvertProgBar"), &QProgressBar::valueChanged);
    EXPECT_EQ(title(), "Norvane v2.1 - [No File]");
    EXPECT_TRUE(control("butOpenFile")->isEnabled());  // opening another file replaces the load
    attemptChangesWhileBusy();
    waitForJob();
    EXPECT_EQ(title(), "Norvane v2.1 - [a.txt]");
    EXPECT_EQ(pane()->text(), "first\nsecond\n");
    EXPECT_FALSE(pane()->isReadOnly());
    for (const char* name : {"butOpenFile", "butConvert", "butSaveFile", "butSaveFileAs"})
        EXPECT_TRUE(control(name)->isEnabled()) << name;
    ASSERT_GE(progress.size(), 2);
    EXPECT_EQ(progress.at(progress.size() - 2).at(0).toInt(), 100);
    EXPECT_EQ(control<QProgressBar>("ConvertProgBar")->value(), 0);
    EXPECT_EQ(readBytes(toPath(path)), "first\nsecond\n");
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, OpeningDuringALoadReplacesItAndCancellingKeepsIt) {
    const QString first = file("first.txt", "first\n"), second = file("second.txt", "second\n");
    startLoading(first);
    services.prompter->answers.push_back(std::nullopt);
    click("butOpenFile");
    EXPECT_EQ(title(), "Norvane v2.1 - [first.txt]");
    EXPECT_EQ(pane()->text(), "first\n");

    startLoading(first);
    openThroughDialog(second);
    EXPECT_EQ(title(), "Norvane v2.1 - [second.txt]");
    EXPECT_EQ(pane()->text(), "second\n");
    click("butSaveFile");
    EXPECT_EQ(readBytes(toPath(second)), "second\n\r\n");
    EXPECT_EQ(readBytes(toPath(first)), "first\n");
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, ClosingDuringALoadCancelsIt) {
    const std::string lines = QByteArray("line\n").repeated(1 << 21).toStdString();
    const QString path = file("big.txt", lines);
    startLoading(path);
    window->show();
    EXPECT_TRUE(window->close());
    window.reset();
    EXPECT_EQ(readBytes(toPath(path)), lines);
}

TEST_F(MainWindow, NothingChangesTheDocumentWhileItIsSavedAndClosingWaits) {
    const QString path = file("a.txt", "first\nsecond\n");
    start(path);
    window->show();
    control("butSaveFile")->click();
    EXPECT_FALSE(control("butOpenFile")->isEnabled());
    attemptChangesWhileBusy();
    window->close();
    EXPECT_TRUE(window->isVisible());
    waitForJob();
    EXPECT_EQ(readBytes(toPath(path)), "first\nsecond\n\r\n");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(services.messages->texts.isEmpty());
}

TEST_F(MainWindow, HidingThePaneShrinksTheWindowAndShowingRestoresIt) {
    start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->resize(500, 400);
    const QSize before = window->frameGeometry().size();
    QCheckBox* toggle = control<QCheckBox>("chkShowText");

    toggle->click();
    EXPECT_FALSE(pane()->isVisible());
    const double pixelsPerTwip = window->logicalDpiX() / 1440.0;
    EXPECT_NEAR(window->frameGeometry().width(), 1560 * pixelsPerTwip, 1);
    EXPECT_NEAR(window->frameGeometry().height(), 3780 * pixelsPerTwip, 1);

    // Resizing the hidden window leaves the pane alone and is forgotten on showing.
    const QSize paneWhileHidden = pane()->size();
    window->resize(300, 300);
    EXPECT_EQ(pane()->size(), paneWhileHidden);
    toggle->click();
    EXPECT_TRUE(pane()->isVisible());
    EXPECT_EQ(window->frameGeometry().size(), before);

    // Shown, the pane follows the window's size less the margins, never below zero.
    EXPECT_NEAR(pane()->width(), before.width() - 1700 * pixelsPerTwip, 1);
    EXPECT_NEAR(pane()->height(), before.height() - 540 * pixelsPerTwip, 1);
    window->resize(60, 20);
    EXPECT_EQ(pane()->size(), QSize(0, 0));
}

TEST_F(MainWindow, WithoutAFrameThePaneStandsOnePixelFromTheClientAreasEdges) {
    // As with no window manager, or on Wayland without server decorations.
    start();
    window->setWindowFlag(Qt::FramelessWindowHint);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_EQ(window->frameGeometry().size(), window->size());
    for (const QSize client : {QSize(500, 400), QSize(300, 200), QSize(900, 700)}) {
        window->resize(client);
        EXPECT_EQ(pane()->geometry().bottomRight(), QPoint(client.width() - 2, client.height() - 2)) << client.width();
    }
    window->resize(60, 5);  // smaller than the pane's top-left corner
    EXPECT_EQ(pane()->size(), QSize(0, 0));
}

TEST_F(MainWindow, TheWindowFollowsShowTextWhoeverChangesIt) {
    const struct {
        const char* who;
        std::function<void(QCheckBox&)> toggle;
    } ways[] = {
        {"a click", [](QCheckBox& box) { box.click(); }},
        {"the space bar", [](QCheckBox& box) { QTest::keyClick(&box, Qt::Key_Space); }},
        {"assistive technology's toggle action", [](QCheckBox& box) {
             QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
             ASSERT_NE(accessible, nullptr);
             ASSERT_NE(accessible->actionInterface(), nullptr);
             accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
         }},
        {"the program setting the box", [](QCheckBox& box) { box.setChecked(!box.isChecked()); }},
    };
    for (const auto& [who, toggle] : ways) {
        SCOPED_TRACE(who);
        start();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        const QSize before = window->frameGeometry().size();
        QCheckBox& box = *control<QCheckBox>("chkShowText");
        box.setFocus();
        toggle(box);
        EXPECT_FALSE(box.isChecked());
        EXPECT_FALSE(pane()->isVisible());
        const double pixelsPerTwip = window->logicalDpiX() / 1440.0;
        EXPECT_NEAR(window->frameGeometry().width(), 1560 * pixelsPerTwip, 1);
        toggle(box);
        EXPECT_TRUE(box.isChecked());
        EXPECT_TRUE(pane()->isVisible());
        EXPECT_EQ(window->frameGeometry().size(), before);
    }
}

// Drags `urls` over the pane and drops them there, as a file manager does through the
// window system; says whether the window took the drag.
bool dropOnto(frmMain& window, QWidget& target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF point = target.mapTo(&window, target.rect().center());
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window.windowHandle(), &leave);
        return false;
    }
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &drop);
    QCoreApplication::processEvents();  // what the window put off until the drop ended
    return drop.isAccepted();
}

TEST_F(MainWindow, ADroppedFileOpensAsOpenFileWouldOpenIt) {
    const QString first = file("first.txt", "first\n"), second = file("second.txt", "second\n");
    start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const struct {
        const char* what;
        QList<QUrl> urls;
        bool taken;
        QString title, text, message;
    } drops[] = {
        {"one file", {QUrl::fromLocalFile(first)}, true, "Norvane v2.1 - [first.txt]", "first\n", {}},
        {"two files", {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}, true,
         "Norvane v2.1 - [first.txt]", "first\n", "Error, cannot read file!"},
        {"a web address", {QUrl(QStringLiteral("https://example.org/a.txt"))}, false, "Norvane v2.1 - [first.txt]",
         "first\n", {}},
        {"a missing file", {QUrl::fromLocalFile(folder.filePath("gone.txt"))}, true, "Norvane v2.1 - [first.txt]",
         "first\n", "Error, cannot read file!"},
        {"another file", {QUrl::fromLocalFile(second)}, true, "Norvane v2.1 - [second.txt]", "second\n", {}},
    };
    for (const auto& drop : drops) {
        SCOPED_TRACE(drop.what);
        services.messages->texts.clear();
        EXPECT_EQ(dropOnto(*window, *pane(), drop.urls), drop.taken);
        waitForJob();
        EXPECT_EQ(title(), drop.title);
        EXPECT_EQ(pane()->text(), drop.text.toStdString());
        EXPECT_EQ(services.messages->texts.isEmpty() ? QString() : services.messages->texts.first(), drop.message);
    }
    click("butSaveFile");
    EXPECT_EQ(readBytes(toPath(second)), "second\n\r\n");
    EXPECT_EQ(readBytes(toPath(first)), "first\n");
}

TEST_F(MainWindow, NoDropIsTakenWhileTheDocumentIsSaved) {
    const QString first = file("first.txt", "first\n"), second = file("second.txt", "second\n");
    start(first);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    control("butSaveFile")->click();
    EXPECT_FALSE(dropOnto(*window, *pane(), {QUrl::fromLocalFile(second)}));
    waitForJob();
    EXPECT_EQ(title(), "Norvane v2.1 - [first.txt]");
}

// The pointer shape a user sees over `widget`: its own, or that of the nearest parent that
// sets one.
Qt::CursorShape pointerOver(QWidget& window, QWidget& widget) {
    QWidget* under = window.childAt(widget.mapTo(&window, widget.rect().center()));
    for (QWidget* w = under; w; w = w->parentWidget())
        if (w->testAttribute(Qt::WA_SetCursor)) return w->cursor().shape();
    return Qt::ArrowCursor;
}

TEST_F(MainWindow, ThePointerIsBusyOverTheWholeWindowWhileAFileIsReadOrSaved) {
    const QString path = file("a.txt", "first\nsecond\n");
    startLoading(path);
    window->show();
    const char* places[] = {"butOpenFile", "butConvert", "txtMain", "ConvertProgBar", "chkShowText"};
    auto expectPointers = [&](Qt::CursorShape overCommands, Qt::CursorShape overText) {
        for (const char* name : places) {
            SCOPED_TRACE(name);
            QWidget* place = window->findChild<QWidget*>(QString::fromLatin1(name));
            EXPECT_EQ(pointerOver(*window, *place), place == pane() ? overText : overCommands);
        }
    };
    {
        SCOPED_TRACE("reading");
        expectPointers(Qt::BusyCursor, Qt::BusyCursor);
    }
    waitForJob();
    {
        SCOPED_TRACE("idle");
        expectPointers(Qt::ArrowCursor, Qt::IBeamCursor);
    }
    control("butSaveFile")->click();
    {
        SCOPED_TRACE("saving");
        expectPointers(Qt::BusyCursor, Qt::BusyCursor);
    }
    waitForJob();
    expectPointers(Qt::ArrowCursor, Qt::IBeamCursor);
}

TEST_F(MainWindow, AssistiveTechnologySeesAWindowNamedByItsTitle) {
    start();
    window->show();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Window);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Norvane v2.1 - [No File]");
}

TEST_F(MainWindow, AboutHelpShowsTheAboutBox) {
    start();
    click("butAboutHelp");
    EXPECT_EQ(services.aboutShown, 1);
}

}  // namespace
}  // namespace norvane::ui
