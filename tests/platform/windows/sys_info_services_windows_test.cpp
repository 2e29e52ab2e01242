// The services behind the About box's system-information button on Windows: the normal-file
// test against real files, starting programs for real (Wine's own msinfo32.exe among them),
// and the launcher's two registry lookups as the system has them and as they are set here.

#include "platform/file_probe.h"
#include "platform/program_starter.h"
#include "platform/registry.h"
#include "test_files.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvane::platform {
namespace {
namespace fs = std::filesystem;
using namespace test::windows;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

const std::wstring ProgramPathKey = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::wstring ProgramFolderKey = L"SOFTWARE\\Microsoft\\Shared Tools Location";

std::string utf8(const fs::path& path) { return narrow(path.native()); }

void setAttributes(const fs::path& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes)) << utf8(path);
}

TEST(NormalFileTest, OnlyOrdinaryFilesCount) {
    TempFolder folder;
    for (const char* name : {"normal.txt", "read-only.txt", "hidden.txt", "system.txt", "both.txt", "archive.txt"})
        writeBytes(folder / name, "x");
    fs::create_directory(folder / "folder");
    setAttributes(folder / "read-only.txt", FILE_ATTRIBUTE_READONLY);
    setAttributes(folder / "hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    setAttributes(folder / "system.txt", FILE_ATTRIBUTE_SYSTEM);
    setAttributes(folder / "both.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    setAttributes(folder / "archive.txt", FILE_ATTRIBUTE_ARCHIVE);
    const std::string base = utf8(folder.path);
    const SystemFileProbe files;

    for (const std::string& path : {base + "\\normal.txt", base + "\\read-only.txt", base + "\\archive.txt",
                                     base + "\\NORMAL.TXT", base + "\\\\normal.txt"})
        EXPECT_TRUE(files.isNormalFile(path)) << path;
    for (const std::string& path :
         {base + "\\hidden.txt", base + "\\system.txt", base + "\\both.txt", base + "\\folder", base,
          base + "\\missing.txt", base + "\\normal.txt\\", base + "\\*.txt", base + "\\normal.tx?", base + "\\NUL",
          std::string("NUL"), std::string("CON"), std::string()})
        EXPECT_FALSE(files.isNormalFile(path)) << path;

    // Names outside the ANSI code page, and a relative path from the current folder.
    writeBytes(folder / L"Gr\u00F6\u00DFe \u20AC.txt", "x");
    EXPECT_TRUE(files.isNormalFile(base + "\\Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC.txt"));
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path);
    EXPECT_TRUE(files.isNormalFile("normal.txt"));
    EXPECT_FALSE(files.isNormalFile("hidden.txt"));
    fs::current_path(previous);
    setAttributes(folder / "read-only.txt", FILE_ATTRIBUTE_NORMAL);  // so that it can be removed
}

// Starts `path` and returns the id of the one process that the start made.
std::optional<DWORD> startOne(const fs::path& path) {
    StartedPrograms& started = StartedPrograms::watch();
    started.clear();
    SystemProgramStarter programs;
    if (!programs.start(utf8(path))) {
        ADD_FAILURE() << "not started: " << utf8(path);
        return std::nullopt;
    }
    const auto id = started.newProcess();
    if (!id) ADD_FAILURE() << "no process for " << utf8(path);
    return id;
}

// Checks that the running process `id` is the program at `path`, then ends it.
void expectRunningAndEnd(DWORD id, const fs::path& path) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
    ASSERT_TRUE(process) << "process " << id << " of " << utf8(path) << " is gone";
    const auto image = imageOf(process);
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(sameText(*image, fs::path(path).lexically_normal().native())) << narrow(*image);
    ::TerminateProcess(process, 0);  // fails harmlessly if it has ended by itself
    ::CloseHandle(process);
    EXPECT_TRUE(StartedPrograms::watch().waitForEnd(id));
}

class ProgramStart : public testing::Test {
protected:
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(spaced, ignored);
        fs::remove(decoy, ignored);
        fs::remove(decoyMarker, ignored);
    }

    const std::wstring drive = systemFolder().substr(0, 3);  // C:\ and the like
    const fs::path helper = programFolder() + L"\\norvane_start_marker.exe";
    const fs::path spaced = drive + L"with space";
    // What a start that read the path as a command line would run instead.
    const fs::path decoy = drive + L"with.exe";
    const fs::path decoyMarker = drive + L"started.txt";
};

TEST_F(ProgramStart, PathWithBlanksStartsThatProgramAndNoOther) {
    fs::create_directory(spaced);
    fs::copy_file(helper, decoy, fs::copy_options::overwrite_existing);
    for (const fs::path& program : {spaced / L"marker helper.exe", spaced / L"M\u00E4rker \u20AC.exe"}) {
        SCOPED_TRACE(utf8(program));
        fs::remove(spaced / "started.txt");
        fs::copy_file(helper, program, fs::copy_options::overwrite_existing);
        const auto id = startOne(program);
        ASSERT_TRUE(id.has_value());
        ASSERT_TRUE(StartedPrograms::watch().waitForEnd(*id));
        // It ran from its own path, with that path alone, quoted, as its command line.
        EXPECT_EQ(readBytes(spaced / "started.txt"), utf8(program) + "\n\"" + utf8(program) + "\"");
        EXPECT_FALSE(fs::exists(decoyMarker));
    }
}

TEST_F(ProgramStart, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    writeBytes(folder / "not a program.exe", "just text\r\n");
    fs::create_directory(folder / "folder.exe");
    SystemProgramStarter programs;
    StartedPrograms& started = StartedPrograms::watch();
    started.clear();
    for (const fs::path& path : {folder / "missing.exe", folder / "not a program.exe", folder / "folder.exe",
                                 folder.path, fs::path()}) {
        EXPECT_FALSE(programs.start(utf8(path))) << utf8(path);
        EXPECT_FALSE(started.newProcess().has_value()) << "a process for " << utf8(path);
    }
}

// The launcher's registry values, put back as they were at the end.
class SystemInformationProgram : public testing::Test {
protected:
    ~SystemInformationProgram() override {
        if (!hadProgramPath) reg(L"delete " + asArgument(L"HKLM\\" + ProgramPathKey) + L" /v PATH /f");
        if (!hadFolderKey) reg(L"delete " + asArgument(L"HKLM\\" + ProgramFolderKey) + L" /f");
    }

    static bool present(const std::wstring& key, const std::wstring& value) {
        return reg(L"query " + asArgument(L"HKLM\\" + key) + L" /v " + value) == 0;
    }

    static void set(const std::wstring& key, const std::wstring& value, const std::wstring& data) {
        ASSERT_EQ(reg(L"add " + asArgument(L"HKLM\\" + key) + L" /v " + value + L" /t REG_SZ /d " + asArgument(data) + L" /f"),
                  0u);
    }

    static std::optional<std::string> lookup(const std::wstring& key, const std::wstring& value) {
        std::string text = "left over";
        if (SystemRegistry().getKeyValue(RegistryRoot::LocalMachine, narrow(key), narrow(value), text)) return text;
        EXPECT_EQ(text, "");
        return std::nullopt;
    }

    const bool hadProgramPath = present(ProgramPathKey, L"PATH");
    const bool hadFolderKey = reg(L"query " + asArgument(L"HKLM\\" + ProgramFolderKey)) == 0;
    const fs::path msinfo = systemFolder() + L"\\msinfo32.exe";
};

TEST_F(SystemInformationProgram, LookupsAgreeWithTheRegistryAsFound) {
    ASSERT_TRUE(fs::exists(msinfo)) << "Wine's system-information program";
    const auto programPath = lookup(ProgramPathKey, L"PATH");
    const auto programFolder = lookup(ProgramFolderKey, L"MSINFO");
    EXPECT_EQ(programPath.has_value(), hadProgramPath);
    EXPECT_EQ(programFolder.has_value(), present(ProgramFolderKey, L"MSINFO"));
    if (programPath) {
        EXPECT_FALSE(programPath->empty());
    }
}

TEST_F(SystemInformationProgram, FullPathIsStartedAsRead) {
    set(ProgramPathKey, L"PATH", msinfo.native());
    const auto path = lookup(ProgramPathKey, L"PATH");
    ASSERT_EQ(path, utf8(msinfo));
    const auto id = startOne(fs::path(wide(*path)));
    ASSERT_TRUE(id.has_value());
    expectRunningAndEnd(*id, msinfo);
}

TEST_F(SystemInformationProgram, FolderIsCheckedForMsinfo32AndStarted) {
    reg(L"delete " + asArgument(L"HKLM\\" + ProgramPathKey) + L" /v PATH /f");
    ASSERT_FALSE(lookup(ProgramPathKey, L"PATH").has_value());
    const SystemFileProbe files;
    // The folder as the system writes it, and with a closing backslash, which doubles the
    // one the launcher puts before the file name.
    for (const std::wstring& folder : {systemFolder(), systemFolder() + L"\\"}) {
        SCOPED_TRACE(narrow(folder));
        set(ProgramFolderKey, L"MSINFO", folder);
        const auto found = lookup(ProgramFolderKey, L"MSINFO");
        ASSERT_EQ(found, narrow(folder));
        const std::string program = *found + "\\MSINFO32.EXE";
        ASSERT_TRUE(files.isNormalFile(program));
        const auto id = startOne(fs::path(wide(program)));
        ASSERT_TRUE(id.has_value());
        expectRunningAndEnd(*id, msinfo);
    }
    // A folder without the program.
    TempFolder empty;
    set(ProgramFolderKey, L"MSINFO", empty.path.native());
    EXPECT_FALSE(files.isNormalFile(*lookup(ProgramFolderKey, L"MSINFO") + "\\MSINFO32.EXE"));
}

}  // namespace
}  // namespace norvane::platform
