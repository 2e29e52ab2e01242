// Runs the real program in its modes without a window, as a script would: no display, and
// the locale unset or not UTF-8.
#include "line_feed_cases.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <string>

namespace norvane {
namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs the program with `arguments`, no display, and LANG set to `locale` (unset if null).
ProgramRun runProgram(const QStringList& arguments, const char* locale = nullptr) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (locale) environment.insert(QStringLiteral("LANG"), QString::fromLatin1(locale));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(NORVANE_PROGRAM), arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QString argument(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

TEST(FixWithoutWindow, FixesEachFileAsTheWindowDoesAndGoesOnPastFailures) {
    for (const char* locale : {static_cast<const char*>(nullptr), "C", "xx_XX.UTF-8"}) {
        SCOPED_TRACE(locale ? locale : "LANG unset");
        const test::TempFolder folder;
        const std::filesystem::path missing = folder / "missing.txt", subfolder = folder / "a folder";
        std::filesystem::create_directory(subfolder);
        QStringList arguments{QStringLiteral("--fix")};
        std::string expectedOut;
        for (const test::LineFeedCase& kind : test::LineFeedCases) {
            test::writeBytes(folder / kind.name, kind.before);
            arguments << argument(folder / kind.name);
            expectedOut += (folder / kind.name).string() + ": " + std::to_string(kind.bareLineFeeds) +
                           (kind.bareLineFeeds == 1 ? " line feed fixed\n" : " line feeds fixed\n");
            if (arguments.size() == 3) arguments << argument(missing) << argument(subfolder);  // among good files
        }

        const ProgramRun run = runProgram(arguments, locale);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, expectedOut);
        for (const test::LineFeedCase& kind : test::LineFeedCases)
            EXPECT_EQ(test::readBytes(folder / kind.name), kind.afterFix) << kind.name;
        EXPECT_NE(run.err.find(missing.string() + ": not fixed: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(subfolder.string() + ": not fixed: "), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_FALSE(std::filesystem::exists(missing));
        EXPECT_TRUE(std::filesystem::is_directory(subfolder));
    }
}

// Fixing is safe to repeat and to give several names of one file: a second run changes no
// byte and no time, and a file is fixed once however many names lead to it.
TEST(FixWithoutWindow, FixingAgainOrByAnotherNameChangesNothing) {
    const test::TempFolder folder;
    for (const test::LineFeedCase& kind : test::LineFeedCases) test::writeBytes(folder / kind.name, kind.before);
    std::filesystem::create_hard_link(folder / "lines.txt", folder / "hard link.txt");
    std::filesystem::create_symlink("lines.txt", folder / "symbolic link.txt");
    QStringList arguments{QStringLiteral("--fix")};
    for (const test::LineFeedCase& kind : test::LineFeedCases) arguments << argument(folder / kind.name);
    const ProgramRun first = runProgram(arguments + QStringList{argument(folder / "lines.txt"),
                                                                argument(folder / "hard link.txt"),
                                                                argument(folder / "symbolic link.txt")});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    for (const char* name : {"lines.txt", "hard link.txt", "symbolic link.txt"})
        EXPECT_NE(first.out.find((folder / name).string() + ": the same file as " + (folder / "lines.txt").string() +
                                 ", fixed once\n"),
                  std::string::npos)
            << first.out;
    EXPECT_EQ(test::readBytes(folder / "lines.txt"), "first\r\nsecond\r\n");

    std::map<std::string, std::filesystem::file_time_type> times;
    for (const test::LineFeedCase& kind : test::LineFeedCases)
        times[kind.name] = std::filesystem::last_write_time(folder / kind.name);
    const ProgramRun second = runProgram(arguments);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    for (const test::LineFeedCase& kind : test::LineFeedCases) {
        EXPECT_EQ(test::readBytes(folder / kind.name), kind.afterFix) << kind.name;
        EXPECT_EQ(std::filesystem::last_write_time(folder / kind.name), times[kind.name]) << kind.name;
        EXPECT_NE(second.out.find((folder / kind.name).string() + ": 0 line feeds fixed\n"), std::string::npos);
    }
}

// A name can hold any byte but NUL and '/': printed raw, control characters would move the
// cursor, retitle the terminal or forge lines of output.
TEST(FixWithoutWindow, ControlCharactersInNamesArePrintedEscaped) {
    const test::TempFolder folder;
    const struct {
        std::string name, shown;
    } names[] = {
        {"esc\x1B]0;owned\x07.txt", "esc\\x1B]0;owned\\x07.txt"},
        {"two\nlines: 9 line feeds fixed", "two\\x0Alines: 9 line feeds fixed"},
        {"c1 \xC2\x9B" "2J.txt", "c1 \\xC2\\x9B2J.txt"},
        {"caf\xC3\xA9 \x7F.txt", "caf\xC3\xA9 \\x7F.txt"},
    };
    QStringList arguments{QStringLiteral("--fix")};
    std::string expectedOut, expectedErr;
    for (const auto& [name, shown] : names) {
        test::writeBytes(folder / name, "a\n");
        arguments << QString::fromLocal8Bit(folder.path.string() + "/" + name);
        expectedOut += folder.path.string() + "/" + shown + ": 1 line feed fixed\n";
    }
    const ProgramRun run = runProgram(arguments, "C.UTF-8");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expectedOut);
}

// Two programs fix one large file at once, saved in place (it has a second hard link): one
// save at a time, and the second either finds nothing left to fix or sees that the file
// changed since it read it. The file ends fixed exactly once.
TEST(FixWithoutWindow, TwoProgramsFixingOneFileAtOnceLeaveItWhole) {
    const test::TempFolder folder;
    std::string text, fixed;
    for (int line = 0; text.size() < (40u << 20); ++line) {
        const std::string content = "line " + std::to_string(line) + (line % 3 ? " done\r" : "");
        text += content + "\n";
        fixed += content + (content.ends_with('\r') ? "\n" : "\r\n");
    }
    test::writeBytes(folder / "big.txt", text);
    std::filesystem::create_hard_link(folder / "big.txt", folder / "link.txt");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    QProcess first, second;
    for (QProcess* process : {&first, &second}) {
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(NORVANE_PROGRAM),
                       {QStringLiteral("--fix"), argument(folder / (process == &first ? "big.txt" : "link.txt"))});
    }
    for (QProcess* process : {&first, &second}) {
        ASSERT_TRUE(process->waitForFinished(600000));
        const std::string out = process->readAllStandardOutput().toStdString();
        const std::string err = process->readAllStandardError().toStdString();
        EXPECT_TRUE((process->exitCode() == 0 && out.find(" line feeds fixed") != std::string::npos) ||
                    (process->exitCode() == 1 && err.find("another program") != std::string::npos))
            << out << err;
    }
    EXPECT_TRUE(test::readBytes(folder / "big.txt") == fixed);
    EXPECT_EQ(folder.names(), (std::set<std::string>{"big.txt", "link.txt"}));
}

// --check says which files hold bare LFs and changes nothing; its exit status is what a
// commit hook or CI job needs: 0 none does, 1 one does, 2 one can't be read. A FIFO never
// makes it wait.
TEST(FixWithoutWindow, CheckSaysWhichFilesHoldBareLineFeedsAndChangesNothing) {
    const test::TempFolder folder;
    const struct {
        const char* name;
        std::string_view bytes;
        const char* said;  // after the name
    } files[] = {
        {"bare.txt", "a\nb\nc", ": 2 bare line feeds\n"},
        {"crlf.txt", "a\r\nb\r\n", ": no bare line feeds\n"},
        {"mixed.txt", "a\r\nb\n", ": 1 bare line feed\n"},
        {"empty.txt", "", ": no bare line feeds\n"},
        {"utf-16.txt", std::string_view("\xFF\xFE" "a\0\r\0\n\0b\0\n\0", 12), ": 1 bare line feed\n"},
    };
    for (const auto& file : files) test::writeBytes(folder / file.name, file.bytes);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0);
    const struct {
        std::vector<const char*> names;
        int exitCode;
    } rows[] = {
        {{"crlf.txt", "empty.txt"}, 0},
        {{"crlf.txt", "bare.txt", "mixed.txt", "utf-16.txt"}, 1},
        {{"bare.txt", "fifo", "missing.txt"}, 2},
    };
    for (const auto& row : rows) {
        QStringList arguments{QStringLiteral("--check")};
        std::string expectedOut;
        for (const char* name : row.names) {
            arguments << argument(folder / name);
            for (const auto& file : files)
                if (std::string_view(file.name) == name) expectedOut += (folder / name).string() + file.said;
        }
        const ProgramRun run = runProgram(arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(run.out, expectedOut);
        for (const char* name : {"fifo", "missing.txt"}) {
            if (std::find(row.names.begin(), row.names.end(), std::string_view(name)) != row.names.end()) {
                EXPECT_NE(run.err.find((folder / name).string() + ": not checked: "), std::string::npos) << run.err;
            }
        }
    }
    for (const auto& file : files) EXPECT_EQ(test::readBytes(folder / file.name), file.bytes) << file.name;
    EXPECT_EQ(runProgram({QStringLiteral("--check")}).exitCode, 2);
}

TEST(FixWithoutWindow, SucceedsOnlyWhenEveryFileIsFixed) {
    const test::TempFolder folder;
    test::writeBytes(folder / "-n", "a\n");  // named like an option, after --
    const ProgramRun good = runProgram({QStringLiteral("--fix"), QStringLiteral("--"), argument(folder / "-n")});
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.err, "");
    EXPECT_EQ(test::readBytes(folder / "-n"), "a\r\n");

    const ProgramRun none = runProgram({QStringLiteral("--fix")});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("--fix needs at least one FILE"), std::string::npos) << none.err;
}

TEST(FixWithoutWindow, HelpAndVersionNeedNoDisplay) {
    const ProgramRun help = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: norvane [FILE]\n")) << help.out;
    EXPECT_NE(help.out.find("--fix FILE..."), std::string::npos);
    EXPECT_NE(help.out.find("GNU GPL, version 3 or later"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const ProgramRun version = runProgram({QStringLiteral("--version")}, "C");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Norvane 2.1.0\nLicence: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>\n");
    EXPECT_EQ(version.err, "");
}

}  // namespace
}  // namespace norvane
