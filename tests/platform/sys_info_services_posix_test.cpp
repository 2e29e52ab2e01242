// The system-information services of a POSIX system: the lookup that answers with a
// program found on PATH, the normal-file test, and starting a program for real.

#include "platform/file_probe.h"
#include "platform/program_starter.h"
#include "platform/registry.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

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

// A shell script at `path` running `body`.
fs::path script(const fs::path& path, const std::string& body, bool executable = true) {
    fs::create_directories(path.parent_path());
    test::writeBytes(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    return path;
}

// Waits, within a bound, for a file that a started program writes.
bool appears(const fs::path& path) {
    for (int tries = 0; tries < 1000 && !fs::exists(path); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

std::string lookup(const std::string& key, const std::string& value, bool expected,
                   RegistryRoot root = RegistryRoot::LocalMachine) {
    std::string text = "left over";
    EXPECT_EQ(SystemRegistry().getKeyValue(root, key, value, text), expected) << key << " " << value;
    return text;
}

TEST(SystemInformationProgram, IsFoundFirstOnPathAndStartedDetached) {
    TempFolder folder;
    const std::string started = (folder / "started").string(), release = (folder / "release").string();
    script(folder / "first" / "hardinfo", "exit 0");
    script(folder / "with", "touch '" + (folder / "decoy ran").string() + "'");  // the path split at its blank
    const auto kinfocenter = script(folder / "with blanks" / "kinfocenter",
                                    "touch '" + started + "'\ni=0\n"
                                    "while [ ! -e '" + release + "' ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i + 1)); done\n"
                                    "touch '" + (folder / "finished").string() + "'");
    SearchPath path((folder / "first").string() + ":" + (folder / "with blanks").string() + ":" + std::getenv("PATH"));

    // The desktop's information centre comes before the profilers, wherever it stands on PATH.
    const std::string found = lookup(PathKey, "PATH", true);
    EXPECT_EQ(found, kinfocenter.string());
    EXPECT_EQ(lookup(R"(software\microsoft\shared tools\msinfo)", "path", true), found) << "names ignore case";

    ASSERT_TRUE(SystemProgramStarter().start(found));
    ASSERT_TRUE(appears(started));
    EXPECT_FALSE(fs::exists(folder / "finished")) << "the start does not wait for the program";
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "no child of ours is left to reap";
    EXPECT_EQ(errno, ECHILD);
    test::writeBytes(release, "");
    EXPECT_TRUE(appears(folder / "finished"));
    EXPECT_FALSE(fs::exists(folder / "decoy ran"));
}

TEST(SystemInformationProgram, LookupFailsWithEmptyTextForAnythingElse) {
    TempFolder folder;
    script(folder / "kinfocenter", "exit 0");
    {
        SearchPath path(folder.path.string());
        EXPECT_EQ(lookup(R"(SOFTWARE\Microsoft\Shared Tools Location)", "MSINFO", false), "");
        EXPECT_EQ(lookup(PathKey, "Path2", false), "");
        EXPECT_EQ(lookup(PathKey, "PATH", false, RegistryRoot::CurrentUser), "");
    }
    // Not executable, a folder of the name, or only in the current folder: nothing is found.
    fs::permissions(folder / "kinfocenter", fs::perms::owner_read);
    fs::create_directories(folder / "dirs" / "hardinfo2");
    script(folder / "here" / "hardinfo", "exit 0");
    const fs::path previous = fs::current_path();
    fs::current_path(folder / "here");
    {
        SearchPath path(folder.path.string() + "::.:" + (folder / "dirs").string());
        EXPECT_EQ(lookup(PathKey, "PATH", false), "");
    }
    fs::current_path(previous);
}

TEST(NormalFileTest, OnlyOrdinaryVisibleFilesCount) {
    TempFolder folder;
    test::writeBytes(folder / "MSINFO32.EXE", "x");
    test::writeBytes(folder / ".hidden", "x");
    fs::create_symlink(folder / "MSINFO32.EXE", folder / "link");
    const SystemFileProbe files;
    EXPECT_TRUE(files.isNormalFile((folder / "MSINFO32.EXE").string()));
    EXPECT_TRUE(files.isNormalFile((folder / "link").string())) << "a link to a normal file";
    for (const std::string& path : {(folder / ".hidden").string(), folder.path.string(), (folder / "missing").string(),
                                   (folder / "MSINFO32.EXE/").string(), std::string("/dev/null"), std::string()})
        EXPECT_FALSE(files.isNormalFile(path)) << path;
}

TEST(ProgramStart, ReportsWhatCannotBeStarted) {
    TempFolder folder;
    script(folder / "not executable", "exit 0", false);
    test::writeBytes(folder / "not a program", "just text\n");
    fs::permissions(folder / "not a program", fs::perms::owner_all);
    SystemProgramStarter programs;
    for (const std::string& path : {(folder / "missing").string(), (folder / "not executable").string(),
                                   (folder / "not a program").string(), folder.path.string(), std::string()})
        EXPECT_FALSE(programs.start(path)) << path;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "failed starts leave no child behind";
}

}  // namespace
}  // namespace norvane::platform
