// The real file dialogs, used as a person uses them, on a folder holding an entry of each
// kind: they list and pick entries by name, and open none of them to do so.
#include "open_watch.h"
#include "ui/main/file_prompter.h"
#include "ui/main/name_only_icon_provider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeDatabase>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <functional>
#include <optional>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace norvane::ui {
namespace {

using testing::FifoReaderWatchdog;
using testing::FolderOpenWatch;

// Generous limits: a quiet run lists a folder in milliseconds.
constexpr int WaitLimitMs = 10'000;
constexpr std::chrono::seconds FifoLimit{20};

QString makeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

class FileDialogs : public ::testing::Test {
protected:
    // The dialogs keep their history in the user's settings: these tests keep their own.
    static void SetUpTestSuite() {
        settings = new QTemporaryDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings->path());
    }
    static void TearDownTestSuite() { delete settings; }

    void SetUp() override {
        ASSERT_TRUE(opens.isWatching());
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        // A script named without an extension: only its contents could tell its type.
        makeFile(folder.filePath("notes"), "#!/bin/sh\necho notes\n");
        ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
        // A device like /dev/zero, where a reader gets bytes without end; only root can make one.
        if (::mknod(QFile::encodeName(folder.filePath("zero")).constData(), S_IFCHR | 0600, makedev(1, 5)) == 0)
            names << "zero";
        names.sort();
        opens.opened();  // the entries' making
    }
    void TearDown() override { EXPECT_FALSE(watchdog.stop()) << "the FIFO was opened for reading"; }

    enum class Command { Open, SaveAs };
    // Shows the real dialog of the command, starting in `start`; lets `use` act in it while it
    // runs, closes it if `use` left it open, and returns the path it picked.
    std::optional<QString> showDialog(Command command, const QString& start,
                                      const std::function<void(QFileDialog&)>& use) {
        QTimer::singleShot(0, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(window);
                if (!dialog || !dialog->isVisible()) continue;
                use(*dialog);
                if (dialog->isVisible()) dialog->reject();
            }
        });
        const FilePromptRequest request{{"All Files (*)"}, 0, {}, start};
        return command == Command::Open ? prompter.askOpenPath(nullptr, request)
                                        : prompter.askSavePath(nullptr, request);
    }

    // The names the dialog shows, sorted.
    static QStringList shownNames(QFileDialog& dialog) {
        const QListView* view = dialog.findChild<QListView*>("listView");
        QStringList shown;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
        shown.sort();
        return shown;
    }
    static void waitForNames(QFileDialog& dialog, const QStringList& expected) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownNames(dialog) == expected; }, WaitLimitMs))
            << shownNames(dialog).join(", ").toStdString();
    }
    // Types into the file name box and presses Enter.
    static void enter(QFileDialog& dialog, const QString& text) {
        auto* box = dialog.findChild<QLineEdit*>("fileNameEdit");
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // The folder's entries that were opened, the folder itself (its listing) left out.
    QStringList entriesOpened() {
        QStringList opened = opens.opened();
        opened.removeAll(".");
        return opened;
    }

    static inline QTemporaryDir* settings = nullptr;
    QTemporaryDir folder;
    const QString fifo = folder.filePath("fifo");
    QStringList names{"fifo", "notes", "sub"};
    FolderOpenWatch opens{folder.path()};
    FifoReaderWatchdog watchdog{QFile::encodeName(fifo).toStdString(), FifoLimit};
    FileDialogPrompter prompter;
};

TEST_F(FileDialogs, ListAndPickEntriesOfEveryKindWithoutOpeningThem) {
    QStringList picks = names;
    picks.removeOne("sub");
    for (const QString& name : picks) {
        SCOPED_TRACE(name.toStdString());
        const auto picked = showDialog(Command::Open, folder.path(), [&](QFileDialog& dialog) {
            waitForNames(dialog, names);
            // The detail view gives each entry a type.
            dialog.setViewMode(QFileDialog::Detail);
            const QTreeView* details = dialog.findChild<QTreeView*>("treeView");
            for (int row = 0; row < details->model()->rowCount(details->rootIndex()); ++row)
                EXPECT_FALSE(details->model()->index(row, 2, details->rootIndex()).data().toString().isEmpty()) << row;
            enter(dialog, name);
        });
        EXPECT_EQ(picked.value_or("(cancelled)"), folder.filePath(name));
    }
    const QStringList opened = entriesOpened();
    EXPECT_TRUE(opened.isEmpty()) << "opened: " << opened.join(", ").toStdString();
}

TEST_F(FileDialogs, ARememberedFolderIsListedWithoutOpeningItsEntries) {
    QTemporaryDir other;
    makeFile(other.filePath("other.txt"), "x\n");
    // A person goes into the folder from another one, then cancels.
    showDialog(Command::Open, other.path(), [&](QFileDialog& dialog) {
        enter(dialog, folder.path());
        waitForNames(dialog, names);
    });
    entriesOpened();
    // The next dialog, asked for the other folder, first lists the one it remembers.
    showDialog(Command::SaveAs, other.path(), [&](QFileDialog& dialog) { waitForNames(dialog, {"other.txt"}); });
    const QStringList opened = entriesOpened();
    EXPECT_TRUE(opened.isEmpty()) << "opened: " << opened.join(", ").toStdString();
}

// What the dialogs show in the Type column and as icons.
TEST_F(FileDialogs, EntriesAreTypedByNameAndKindAlone) {
    const QMimeDatabase types;
    const auto typeNamed = [&](const char* name) { return types.mimeTypeForName(name).comment(); };
    const struct {
        QString path;
        QString type;
    } cases[] = {
        {"/dev/zero", typeNamed("inode/chardevice")},
        {fifo, typeNamed("inode/fifo")},
        {makeFile(folder.filePath("a.txt"), "#!/bin/sh\n"), typeNamed("text/plain")},
        {folder.filePath("notes"), typeNamed("application/octet-stream")},  // a script, by its contents
        {folder.filePath("sub"), QFileIconProvider().type(QFileInfo(folder.filePath("sub")))},
    };
    entriesOpened();
    const NameOnlyIconProvider provider;
    for (const auto& [path, type] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(provider.type(QFileInfo(path)).toStdString(), type.toStdString());
        EXPECT_FALSE(provider.icon(QFileInfo(path)).isNull());
    }
    const QStringList opened = entriesOpened();
    EXPECT_TRUE(opened.isEmpty()) << "opened: " << opened.join(", ").toStdString();
}

}  // namespace
}  // namespace norvane::ui
