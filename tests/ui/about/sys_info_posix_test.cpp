// The System Info button with this system's own services: a stand-in for KDE's Info
// Center, first on PATH, is found and really started; with none on PATH the user is told.

#include "fake_platform.h"
#include "ui/about/frm_about.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace norvane::ui {
namespace {

// Puts `folder` alone on PATH for the life of the object.
class SearchPath {
public:
    explicit SearchPath(const QString& folder) {
        if (const char* old = std::getenv("PATH")) old_ = old;
        ::setenv("PATH", QFile::encodeName(folder).constData(), 1);
    }
    ~SearchPath() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(SysInfoOnThisSystem, StartsTheInfoCenterFoundOnPath) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString marker = folder.filePath(QStringLiteral("started"));
    QFile program(folder.filePath(QStringLiteral("kinfocenter")));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\necho \"$0\" > '" + QFile::encodeName(marker) + "'\n");
    program.close();
    program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SearchPath path(folder.path());

    platform::SystemServices system;
    testing::RecordedMessages messages;
    frmAbout about(nullptr, system.services(), messages);
    about.show();
    QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
    EXPECT_TRUE(messages.texts.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 10000));
    QFile started(marker);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll().trimmed(), QFile::encodeName(program.fileName()));
    EXPECT_TRUE(about.isVisible());
}

TEST(SysInfoOnThisSystem, WithoutAnyInformationProgramTellsTheUser) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SearchPath path(folder.path());
    platform::SystemServices system;
    testing::RecordedMessages messages;
    frmAbout about(nullptr, system.services(), messages);
    about.StartSysInfo();
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("System Information Is Unavailable At This Time")});
}

}  // namespace
}  // namespace norvane::ui
