#pragma once

#include "platform/registry.h"
#include "platform/services.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace norvane::ui {

class MessageSink;

// The About box: the program's identity, a usage note, and a button that starts the
// system's system-information program. Each opening is a new dialog, loaded afresh.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // A dialog owned by `owner` (normally frmMain) that starts programs through `platform`
    // and tells the user through `messages`.
    frmAbout(QWidget* owner, platform::Services platform, MessageSink& messages);

    // Opens a new About box modally over `owner` and returns when it has closed.
    static void showModal(QWidget& owner, platform::Services platform, MessageSink& messages);

    // Finds the system-information program through the registry and starts it, or tells
    // the user that it is unavailable. Never throws; the dialog stays open.
    void StartSysInfo();

    // Reads the value `SubKeyRef` of the key `KeyName` below `KeyRoot` as text into `KeyVal`
    // and returns true; `KeyVal` is emptied and the result is false when the key or the value
    // can't be read. A value of a type that has no text leaves `KeyVal` as it came in.
    bool GetKeyValue(platform::RegistryRoot KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal) const;

private:
    void createControls();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void placeOnScreen();

    platform::Services platform_;
    MessageSink& messages_;

    QPushButton* cmdOK = nullptr;
    QLabel* picIcon = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblCompanyName = nullptr;
};

}  // namespace norvane::ui
