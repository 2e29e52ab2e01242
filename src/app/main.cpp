// Program entry: runs a command that needs no window, or starts the application and shows
// the main window.
#include "app/command_line.h"
#include "app/headless.h"
#include "identity/identity.h"
#include "platform/console_output.h"
#include "platform/program_arguments.h"
#include "platform/services.h"
#include "platform/system_conventions.h"
#include "ui/about/frm_about.h"
#include "ui/controls/message_sink.h"
#include "ui/controls/utf8_text.h"
#include "ui/main/file_prompter.h"
#include "ui/main/frm_main.h"
#include "ui/main/guarded_application.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QString>

#include <filesystem>
#include <iostream>
#include <memory>
#include <variant>

namespace {

// The command line belongs to the program: Qt is given the program's name only, so that no
// file name is ever taken for one of Qt's own options. Here the system's services and the
// windows are built and each is handed what it needs.
int runWindow(char* programName, const std::string& commandLine) {
    using namespace norvane;
    int qtArgumentCount = 1;
    char* qtArguments[] = {programName, nullptr};
    ui::GuardedApplication app(qtArgumentCount, qtArguments);
    QApplication::setApplicationName(ui::toQString(identity::Title));
    QApplication::setDesktopFileName(QStringLiteral("norvane"));  // matches the desktop entry
    QIcon icon;  // every size the resources hold, so that any scale factor finds a sharp one
    const QDir icons(QStringLiteral(":/norvane"), QStringLiteral("norvane-*.png"));
    for (const QString& file : icons.entryList()) icon.addFile(icons.filePath(file));
    QApplication::setWindowIcon(icon);

    platform::SystemServices system;
    ui::frmMain::Services services;
    services.files = std::make_unique<ui::FileDialogPrompter>();
    services.messages = std::make_unique<ui::MessageBoxSink>();
    services.showAbout = [&system](QWidget& owner, ui::MessageSink& messages) {
        ui::frmAbout::showModal(owner, system.services(), messages);
    };
    ui::frmMain window(commandLine, std::move(services));
    window.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace norvane;
    const auto exists = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(platform::pathFromText(path), error);
    };
    const app::Command command = app::parseCommandLine(platform::programArguments(argc, argv), exists);
    if (const auto* open = std::get_if<app::OpenWindow>(&command); open && platform::canShowWindows())
        return runWindow(argv[0], open->commandLine);
    const platform::ConsoleOutput console;
    if (std::holds_alternative<app::OpenWindow>(command)) {
        std::cerr << "norvane: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
                     "--fix FILE... fixes files without a window; see norvane --help\n";
        return app::ExitUsage;
    }
    return app::runHeadless(command, std::cout, std::cerr);
}
