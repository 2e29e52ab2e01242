// frmAbout's system-information launcher: the registry lookups, the existence test and the
// start of the program, with one message for every way it can fail.

#include "ui/about/frm_about.h"

#include "ui/controls/message_sink.h"
#include "ui/controls/utf8_text.h"

#include <exception>

namespace norvane::ui {
namespace {

// The program's file in the folder registered for it.
const QString ProgramFile = QStringLiteral(R"(\MSINFO32.EXE)");

const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

}  // namespace

void frmAbout::StartSysInfo() {
    const auto findAndStart = [this] {
        QString path;
        const auto root = platform::RegistryRoot::LocalMachine;
        // First the program's full path, then the folder that holds it.
        const auto lookUp = [&](platform::RegistryValueName name) {
            return GetKeyValue(root, toQString(name.key), toQString(name.value), path);
        };
        if (!lookUp(platform::SystemInformationPath)) {
            if (!lookUp(platform::SystemInformationFolder)) return false;
            // The folder is used as read: one that ends in a backslash gives a doubled one.
            if (!platform_.files.isNormalFile(toUtf8(path + ProgramFile))) return false;
            path += ProgramFile;
        }
        return platform_.programs.start(toUtf8(path));
    };
    // A failure of any system service ends in the same message, which says what it was.
    bool started = false;
    QString detail;
    try {
        started = findAndStart();
    } catch (const std::exception& error) {
        detail = toQString(error.what());
    }
    if (!started) messages_.showMessage(Unavailable, detail);
}

bool frmAbout::GetKeyValue(platform::RegistryRoot KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) const {
    std::string value = toUtf8(KeyVal);
    const bool read = platform_.registry.getKeyValue(KeyRoot, toUtf8(KeyName), toUtf8(SubKeyRef), value);
    KeyVal = toQString(value);
    return read;
}

}  // namespace norvane::ui
