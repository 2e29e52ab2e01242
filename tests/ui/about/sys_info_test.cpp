// The system-information launcher over faked system services: every row of the registry
// lookups and every way of failing ends in a started program or in the one message.

#include "fake_platform.h"
#include "ui/about/frm_about.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace norvane::ui {
namespace {

using testing::FakePlatform;
using Strings = std::vector<std::string>;
using Values = std::map<std::pair<std::string, std::string>, std::optional<std::string>>;

const std::pair<std::string, std::string> Path{R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)", "PATH"};
const std::pair<std::string, std::string> Folder{R"(SOFTWARE\Microsoft\Shared Tools Location)", "MSINFO"};
const std::string PathRead = Path.first + "|PATH", FolderRead = Folder.first + "|MSINFO";
const std::string MsInfo = R"(C:\Program Files\Common Files\Microsoft Shared\MSInfo\msinfo32.exe)";
const std::string Tools = R"(C:\Program Files\Tools)", ToolsExe = Tools + R"(\MSINFO32.EXE)";
const std::optional<std::string> Textless;  // a value of a type that has no text
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct Case {
    const char* name;
    Values registry;
    Strings files, installed;        // what the system holds
    Strings reads, asked, attempts;  // what the launcher must do
    bool message;
};

TEST(SysInfoLauncher, FollowsTheLookupsToAStartOrToTheMessage) {
    const Strings both = {PathRead, FolderRead};
    const std::string doubled = R"(D:\MSInfo\\MSINFO32.EXE)";
    const std::vector<Case> cases = {
        {"path found: started as read, no existence test", {{Path, MsInfo}, {Folder, Tools}}, {}, {MsInfo},
         {PathRead}, {}, {MsInfo}, false},
        {"path found but can't start: no second lookup", {{Path, MsInfo}, {Folder, Tools}}, {ToolsExe}, {ToolsExe},
         {PathRead}, {}, {MsInfo}, true},
        {"path found empty", {{Path, ""}, {Folder, Tools}}, {ToolsExe}, {ToolsExe}, {PathRead}, {}, {""}, true},
        {"path of another type", {{Path, Textless}, {Folder, Tools}}, {ToolsExe}, {ToolsExe}, {PathRead}, {},
         {""}, true},
        {"folder holding MSINFO32.EXE", {{Folder, Tools}}, {ToolsExe}, {ToolsExe}, both, {ToolsExe}, {ToolsExe},
         false},
        {"folder without MSINFO32.EXE", {{Folder, Tools}}, {}, {ToolsExe}, both, {ToolsExe}, {}, true},
        {"folder ending in a backslash is used as read", {{Folder, R"(D:\MSInfo\)"}}, {doubled}, {doubled}, both,
         {doubled}, {doubled}, false},
        {"folder of another type: the root of the current drive", {{Folder, Textless}}, {R"(\MSINFO32.EXE)"},
         {R"(\MSINFO32.EXE)"}, both, {R"(\MSINFO32.EXE)"}, {R"(\MSINFO32.EXE)"}, false},
        {"MSINFO32.EXE that can't start", {{Folder, Tools}}, {ToolsExe}, {}, both, {ToolsExe}, {ToolsExe}, true},
        {"both keys missing", {}, {}, {}, both, {}, {}, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        FakePlatform fake;
        fake.registry.values = row.registry;
        fake.files.normalFiles = {row.files.begin(), row.files.end()};
        fake.programs.installed = {row.installed.begin(), row.installed.end()};
        frmAbout about(nullptr, fake.services(), fake.messages);
        about.StartSysInfo();
        EXPECT_EQ(fake.registry.reads, row.reads);
        EXPECT_EQ(fake.files.asked, row.asked);
        EXPECT_EQ(fake.programs.attempts, row.attempts);
        EXPECT_EQ(fake.messages.texts, row.message ? QStringList{Unavailable} : QStringList{});
    }
}

TEST(SysInfoLauncher, RegistryErrorGivesTheMessageInsteadOfEscaping) {
    FakePlatform fake;
    fake.registry.broken = true;
    frmAbout about(nullptr, fake.services(), fake.messages);
    EXPECT_NO_THROW(about.StartSysInfo());
    EXPECT_TRUE(fake.programs.attempts.empty());
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});
}

TEST(SysInfoLauncher, EachPressReadsAfreshAndTheDialogStaysOpen) {
    FakePlatform fake;
    frmAbout about(nullptr, fake.services(), fake.messages);
    about.show();
    auto* cmdSysInfo = about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
    QTest::mouseClick(cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(fake.messages.texts, QStringList{Unavailable});
    EXPECT_TRUE(about.isVisible());

    fake.registry.values[Path] = MsInfo;
    fake.programs.installed = {MsInfo};
    QTest::mouseClick(cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(fake.programs.started, Strings{MsInfo});
    EXPECT_EQ(fake.messages.texts.size(), 1);
    EXPECT_TRUE(about.isVisible());
}

TEST(GetKeyValue, GivesTheTextEmptiesItOnFailureAndKeepsItForTextlessTypes) {
    FakePlatform fake;
    fake.registry.values[{"Key", "Text"}] = "C:\\Größe\\x.exe";
    fake.registry.values[{"Key", "Binary"}] = Textless;
    frmAbout about(nullptr, fake.services(), fake.messages);
    const auto read = [&](platform::RegistryRoot root, const char* name, bool expected) {
        QString value = QStringLiteral("before");
        EXPECT_EQ(about.GetKeyValue(root, QStringLiteral("Key"), QString::fromLatin1(name), value), expected) << name;
        return value;
    };
    using platform::RegistryRoot;
    EXPECT_EQ(read(RegistryRoot::LocalMachine, "Text", true), QStringLiteral("C:\\Größe\\x.exe"));
    EXPECT_EQ(read(RegistryRoot::LocalMachine, "Binary", true), QStringLiteral("before"));
    EXPECT_EQ(read(RegistryRoot::LocalMachine, "Missing", false), QString());
    EXPECT_EQ(read(RegistryRoot::CurrentUser, "Text", false), QString());
}

}  // namespace
}  // namespace norvane::ui
