// Program entry: runs a command that needs no window, or starts the application and shows
// the main window.
#include "app/command_line.h"
#include "app/headless.h"
#include "app/identity/identity.h"
#include "platform/program_arguments.h"
#include "ui/main/frm_main.h"

#include <QApplication>
#include <QIcon>
#include <QString>

#include <iostream>
#include <variant>

namespace {

// The command line belongs to the program: Qt is given the program's name only, so that no
// file name is ever taken for one of Qt's own options.
int runWindow(char* programName, const std::string& commandLine) {
    int qtArgumentCount = 1;
    char* qtArguments[] = {programName, nullptr};
    QApplication app(qtArgumentCount, qtArguments);
    QApplication::setApplicationName(
        QString::fromUtf8(norvane::identity::Title.data(), qsizetype(norvane::identity::Title.size())));
    QApplication::setDesktopFileName(QStringLiteral("norvane"));  // matches the desktop entry
    QIcon icon;
    icon.addFile(QStringLiteral(":/norvane/norvane-16.png"));
    icon.addFile(QStringLiteral(":/norvane/norvane-32.png"));
    QApplication::setWindowIcon(icon);

    norvane::ui::frmMain window(QString::fromUtf8(commandLine.data(), qsizetype(commandLine.size())));
    window.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace norvane;
    const app::Command command = app::parseCommandLine(platform::programArguments(argc, argv));
    if (const auto* open = std::get_if<app::OpenWindow>(&command)) return runWindow(argv[0], open->commandLine);
    return app::runHeadless(command, std::cout, std::cerr);
}
