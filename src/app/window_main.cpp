// The window part's entry: builds the system's services and the windows, handing each what
// it needs, and runs the application.
#include "app/window_main.h"

#include "identity/identity.h"
#include "platform/services.h"
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

#include <memory>

int norvane_window_main(char* programName, const char* commandLine) {
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
