// The system-information services of a POSIX system: the lookup that answers with a
// program found on PATH, the normal-file test, and starting a program for real.

#include "platform/file_probe.h"
#include "platform/program_starter.h"
#include "platform/registry.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace norvane::platform {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

const std::string PathKey = R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)";

// Replaces PATH for the life of the object.
class SearchPath {
public:
    explicit SearchPath(const std::string& value) {
        if (const char* old = std::getenv("PATH")) old_ = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    SearchPath(const SearchPath&) = delete;
    ~SearchPath() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

// A shell script at `path` running `body`, executable unless told otherwise.
fs::path script(const fs::path& path, const std::string& body, bool executable = true) {
    fs::create_directories(path.parent_path());
    test::writeBytes(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    return path;
}

// Waits, within a bound, for a file the started program writes.
bool appears(const fs::path& path) {
    for (int tries = 0; tries < 1000; ++tries) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string lookup(RegistryRoot root, const std::string& key, const std::string& value, bool* found = nullptr) {
    std::string text = "left over";
    const bool read = SystemRegistry().getKeyValue(root, key, value, text);
    if (found) *found = read;
    return text;
}

TEST(SystemInformationLookup, AnswersWithTheFirstListedProgramOnPath) {
    TempFolder folder;
    const auto hardinfo = script(folder / "first" / "hardinfo", "exit 0");
    const auto kinfocenter = script(folder / "second" / "kinfocenter", "exit 0");
    SearchPath path((folder / "first").string() + ":" + (folder / "second").string());
    bool found = false;
    EXPECT_EQ(lookup(RegistryRoot::LocalMachine, PathKey, "PATH", &found), kinfocenter.string())
        << "the desktop's information centre comes first, wherever it stands on PATH";
    EXPECT_TRUE(found);
    fs::remove(kinfocenter);
    EXPECT_EQ(lookup(RegistryRoot::LocalMachine, PathKey, "PATH"), hardinfo.string());
    EXPECT_EQ(lookup(RegistryRoot::LocalMachine, R"(software\microsoft\shared tools\msinfo)", "path"),
              hardinfo.string())
        << "registry names are compared without regard to case";
}

TEST(SystemInformationLookup, EveryOtherLookupFailsWithEmptyText) {
    TempFolder folder;
    script(folder / "kinfocenter", "exit 0");
    SearchPath path(folder.path.string());
    for (const auto& [root, key, value] : {
             std::tuple(RegistryRoot::LocalMachine, std::string(R"(SOFTWARE\Microsoft\Shared Tools Location)"),
                        std::string("MSINFO")),
             std::tuple(RegistryRoot::LocalMachine, PathKey, std::string("Path2")),
             std::tuple(RegistryRoot::CurrentUser, PathKey, std::string("PATH")),
         }) {
        bool found = true;
        EXPECT_EQ(lookup(root, key, value, &found), "") << key << " " << value;
        EXPECT_FALSE(found);
    }
}

TEST(SystemInformationLookup, SkipsWhatCannotBeStartedAndFoldersNotNamedInFull) {
    TempFolder folder;
    script(folder / "plain" / "kinfocenter", "exit 0", false);
    fs::create_directories(folder / "folders" / "hardinfo2");
    script(folder / "here" / "hardinfo", "exit 0");
    const fs::path previous = fs::current_path();
    fs::current_path(folder / "here");
    {
        // An empty entry and "." both mean the current folder, which is not searched.
        SearchPath path((folder / "plain").string() + "::.:" + (folder / "folders").string());
        bool found = true;
        EXPECT_EQ(lookup(RegistryRoot::LocalMachine, PathKey, "PATH", &found), "");
        EXPECT_FALSE(found);
    }
    fs::current_path(previous);
}

TEST(NormalFileTest, OnlyOrdinaryVisibleFilesCount) {
    TempFolder folder;
    test::writeBytes(folder / "MSINFO32.EXE", "x");
    test::writeBytes(folder / ".hidden", "x");
    fs::create_directory(folder / "folder");
    fs::create_symlink(folder / "MSINFO32.EXE", folder / "link");
    const SystemFileProbe files;
    EXPECT_TRUE(files.isNormalFile((folder / "MSINFO32.EXE").string()));
    EXPECT_TRUE(files.isNormalFile((folder / "link").string())) << "a link to a normal file";
    EXPECT_FALSE(files.isNormalFile((folder / ".hidden").string()));
    EXPECT_FALSE(files.isNormalFile((folder / "folder").string()));
    EXPECT_FALSE(files.isNormalFile((folder / "missing").string()));
    EXPECT_FALSE(files.isNormalFile((folder / "MSINFO32.EXE").string() + "/"));
    EXPECT_FALSE(files.isNormalFile("/dev/null")) << "devices are system files";
    EXPECT_FALSE(files.isNormalFile(""));
}

TEST(ProgramStart, StartsTheNamedFileDetachedWithoutWaiting) {
    TempFolder folder;
    // A decoy that a path split at its blanks would start instead.
    script(folder / "with", "touch '" + (folder / "decoy ran").string() + "'");
    const auto program = script(folder / "with blanks" / "sys info",
                                "touch '" + (folder / "started").string() + "'\n" +
                                    "i=0; while [ ! -e '" + (folder / "release").string() + "' ] && [ $i -lt 1000 ]; do\n" +
                                    "  sleep 0.01; i=$((i + 1))\ndone\n" +
                                    "touch '" + (folder / "finished").string() + "'");
    SystemProgramStarter programs;
    ASSERT_TRUE(programs.start(program.string()));
    ASSERT_TRUE(appears(folder / "started"));
    EXPECT_FALSE(fs::exists(folder / "finished")) << "start returned while the program still runs";
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "no child of ours is left to reap";
    EXPECT_EQ(errno, ECHILD);
    test::writeBytes(folder / "release", "");
    EXPECT_TRUE(appears(folder / "finished"));
    EXPECT_FALSE(fs::exists(folder / "decoy ran"));
}

TEST(ProgramStart, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    const auto notExecutable = script(folder / "not executable", "exit 0", false);
    test::writeBytes(folder / "not a program", "just text\n");
    fs::permissions(folder / "not a program", fs::perms::owner_all);
    SystemProgramStarter programs;
    EXPECT_FALSE(programs.start((folder / "missing").string()));
    EXPECT_FALSE(programs.start(notExecutable.string()));
    EXPECT_FALSE(programs.start((folder / "not a program").string()));
    EXPECT_FALSE(programs.start(folder.path.string())) << "a folder";
    EXPECT_FALSE(programs.start(""));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "failed starts leave no child behind";
}

}  // namespace
}  // namespace norvane::platform
