// The system-information launcher over faked system services: every row of the registry
// lookups and every way of failing ends in a started program or the one message.

#include "fake_platform.h"
#include "ui/about/frm_about.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace norvane::ui {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::string>;

const std::string PathKey = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";
const std::string FolderKey = R"(SOFTWARE\Microsoft\Shared Tools Location)";
const std::string PathRead = PathKey + "|PATH";
const std::string FolderRead = FolderKey + "|MSINFO";
const std::string MsInfo = R"(C:\Program Files\Common Files\Microsoft Shared\MSInfo\msinfo32.exe)";
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

class SysInfoLauncher : public ::testing::Test {
protected:
    void press() {
        frmAbout about(nullptr, fake.services(), fake.messages);
        about.StartSysInfo();
    }
    FakePlatform fake;
};

TEST_F(SysInfoLauncher, StartsTheRegisteredPathAsReadWithoutLookingForTheFile) {
    fake.registry.values[{PathKey, "PATH"}] = MsInfo;
    fake.registry.values[{FolderKey, "MSINFO"}] = R"(C:\Windows\System32)";
    fake.programs.installed = {MsInfo};
    press();
    EXPECT_EQ(fake.programs.started, Strings{MsInfo});
    EXPECT_EQ(fake.registry.reads, Strings{PathRead});
    EXPECT_TRUE(fake.files.asked.empty());
    EXPECT_TRUE(fake.messages.texts.isEmpty());
}

TEST_F(SysInfoLauncher, RegisteredPathThatCannotStartGivesTheMessageWithoutTryingTheFolder) {
    fake.registry.values[{PathKey, "PATH"}] = MsInfo;
    fake.registry.values[{FolderKey, "MSINFO"}] = R"(C:\Tools)";
    fake.files.normalFiles = {R"(C:\Tools\MSINFO32.EXE)"};
    fake.programs.installed = {R"(C:\Tools\MSINFO32.EXE)"};
    press();
    EXPECT_EQ(fake.programs.attempts, Strings{MsInfo});
    EXPECT_TRUE(fake.programs.started.empty());
    EXPECT_EQ(fake.registry.reads, Strings{PathRead});
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});
}

TEST_F(SysInfoLauncher, EmptyOrTextlessRegisteredPathStartsNothingAndGivesTheMessage) {
    for (const std::optional<std::string>& registered : {std::optional<std::string>(""), std::optional<std::string>()}) {
        FakePlatform fresh;
        fresh.registry.values[{PathKey, "PATH"}] = registered;
        fresh.registry.values[{FolderKey, "MSINFO"}] = R"(C:\Tools)";
        fresh.files.normalFiles = {R"(C:\Tools\MSINFO32.EXE)"};
        fresh.programs.installed = {R"(C:\Tools\MSINFO32.EXE)"};
        frmAbout about(nullptr, fresh.services(), fresh.messages);
        about.StartSysInfo();
        SCOPED_TRACE(registered ? "empty string" : "value of another type");
        EXPECT_EQ(fresh.programs.attempts, Strings{""});
        EXPECT_EQ(fresh.registry.reads, Strings{PathRead});
        EXPECT_EQ(fresh.messages.texts, QStringList{Unavailable});
    }
}

TEST_F(SysInfoLauncher, FolderLookupStartsMsinfo32OnlyWhenTheFileIsThere) {
    fake.registry.values[{FolderKey, "MSINFO"}] = R"(C:\Program Files\MSInfo)";
    fake.programs.installed = {R"(C:\Program Files\MSInfo\MSINFO32.EXE)"};
    press();
    EXPECT_EQ(fake.registry.reads, (Strings{PathRead, FolderRead}));
    EXPECT_EQ(fake.files.asked, Strings{R"(C:\Program Files\MSInfo\MSINFO32.EXE)"});
    EXPECT_TRUE(fake.programs.attempts.empty()) << "nothing is started when the file is missing";
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});

    fake.messages.texts.clear();
    fake.files.normalFiles = {R"(C:\Program Files\MSInfo\MSINFO32.EXE)"};
    press();
    EXPECT_EQ(fake.programs.started, Strings{R"(C:\Program Files\MSInfo\MSINFO32.EXE)"});
    EXPECT_TRUE(fake.messages.texts.isEmpty());
}

TEST_F(SysInfoLauncher, FolderIsUsedAsReadSoATrailingBackslashIsDoubled) {
    fake.registry.values[{FolderKey, "MSINFO"}] = R"(D:\MSInfo\)";
    const std::string doubled = R"(D:\MSInfo\\MSINFO32.EXE)";
    fake.files.normalFiles = {doubled};
    fake.programs.installed = {doubled};
    press();
    EXPECT_EQ(fake.files.asked, Strings{doubled});
    EXPECT_EQ(fake.programs.started, Strings{doubled});
}

TEST_F(SysInfoLauncher, TextlessFolderValueLooksAtTheRootOfTheCurrentDrive) {
    fake.registry.values[{FolderKey, "MSINFO"}] = std::nullopt;
    fake.files.normalFiles = {R"(\MSINFO32.EXE)"};
    fake.programs.installed = {R"(\MSINFO32.EXE)"};
    press();
    EXPECT_EQ(fake.files.asked, Strings{R"(\MSINFO32.EXE)"});
    EXPECT_EQ(fake.programs.started, Strings{R"(\MSINFO32.EXE)"});
}

TEST_F(SysInfoLauncher, FailuresEndInOneMessageEach) {
    {
        SCOPED_TRACE("both keys missing");
        FakePlatform fresh;
        frmAbout about(nullptr, fresh.services(), fresh.messages);
        about.StartSysInfo();
        EXPECT_EQ(fresh.registry.reads, (Strings{PathRead, FolderRead}));
        EXPECT_TRUE(fresh.files.asked.empty());
        EXPECT_TRUE(fresh.programs.attempts.empty());
        EXPECT_EQ(fresh.messages.texts, QStringList{Unavailable});
    }
    {
        SCOPED_TRACE("MSINFO32.EXE found but it can't start");
        FakePlatform fresh;
        fresh.registry.values[{FolderKey, "MSINFO"}] = R"(C:\Tools)";
        fresh.files.normalFiles = {R"(C:\Tools\MSINFO32.EXE)"};
        frmAbout about(nullptr, fresh.services(), fresh.messages);
        about.StartSysInfo();
        EXPECT_EQ(fresh.programs.attempts, Strings{R"(C:\Tools\MSINFO32.EXE)"});
        EXPECT_EQ(fresh.messages.texts, QStringList{Unavailable});
    }
    {
        SCOPED_TRACE("the registry fails with an error");
        FakePlatform fresh;
        fresh.registry.broken = true;
        frmAbout about(nullptr, fresh.services(), fresh.messages);
        EXPECT_NO_THROW(about.StartSysInfo());
        EXPECT_TRUE(fresh.programs.attempts.empty());
        EXPECT_EQ(fresh.messages.texts, QStringList{Unavailable});
    }
}

TEST_F(SysInfoLauncher, ReadsTheKeysAgainOnEveryPress) {
    press();
    fake.registry.values[{PathKey, "PATH"}] = MsInfo;
    fake.programs.installed = {MsInfo};
    press();
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});
    EXPECT_EQ(fake.programs.started, Strings{MsInfo});
}

TEST_F(SysInfoLauncher, SystemInfoButtonLeavesTheDialogOpen) {
    frmAbout about(nullptr, fake.services(), fake.messages);
    about.show();
    auto* cmdSysInfo = about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
    ASSERT_NE(cmdSysInfo, nullptr);
    QTest::mouseClick(cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});
    EXPECT_TRUE(about.isVisible());

    fake.registry.values[{PathKey, "PATH"}] = MsInfo;
    fake.programs.installed = {MsInfo};
    QTest::mouseClick(cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(fake.programs.started, Strings{MsInfo});
    EXPECT_TRUE(about.isVisible());
}

TEST(GetKeyValue, GivesTheValueEmptiesOnFailureAndKeepsTextForTextlessTypes) {
    FakePlatform fake;
    fake.registry.values[{"Key", "Text"}] = "C:\\Pfad mit Ümlaut\\x.exe";
    fake.registry.values[{"Key", "Binary"}] = std::nullopt;
    frmAbout about(nullptr, fake.services(), fake.messages);
    const auto root = platform::RegistryRoot::LocalMachine;

    QString value = QStringLiteral("before");
    EXPECT_TRUE(about.GetKeyValue(root, QStringLiteral("Key"), QStringLiteral("Text"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\Pfad mit Ümlaut\\x.exe"));

    value = QStringLiteral("before");
    EXPECT_TRUE(about.GetKeyValue(root, QStringLiteral("Key"), QStringLiteral("Binary"), value));
    EXPECT_EQ(value, QStringLiteral("before"));

    value = QStringLiteral("before");
    EXPECT_FALSE(about.GetKeyValue(root, QStringLiteral("Key"), QStringLiteral("Missing"), value));
    EXPECT_EQ(value, QString());

    value = QStringLiteral("before");
    EXPECT_FALSE(about.GetKeyValue(platform::RegistryRoot::CurrentUser, QStringLiteral("Key"),
                                   QStringLiteral("Text"), value));
    EXPECT_EQ(value, QString());
}

}  // namespace
}  // namespace norvane::ui
