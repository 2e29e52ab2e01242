#include "engine/file_fixer.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace norvane {
namespace {
namespace fs = std::filesystem;

// What a user reads of one outcome: its line feeds, the name it was fixed by, or that it
// failed.
std::string shown(const FixOutcome& outcome) {
    if (outcome.failure) return "failed";
    if (outcome.fixed->sameFileAs) return "same as " + outcome.fixed->sameFileAs->filename().string();
    return std::to_string(outcome.fixed->lineFeeds) + " fixed";
}

// Several names of one file, given one after another, are read at the same time by
// different threads: whichever comes first fixes the file, once, and the first name given
// is reported to have fixed it; when that fails, every name of the file says so. Other
// files between them are fixed as usual.
TEST(FileFixer, EveryNameOfAFileAfterTheFirstGivenSharesItsOutcome) {
    const test::TempFolder folder;
    std::vector<fs::path> paths;
    std::vector<std::string> expected;
    for (int file = 0; file < 40; ++file) {
        const std::string name = "file " + std::to_string(file);
        const bool readOnly = file % 10 == 9;  // refused, whoever runs the program
        test::writeBytes(folder / name, "a\nb\n");
        std::vector<std::string> names{name, name + " linked"};
        fs::create_hard_link(folder / name, folder / names.back());
#ifndef _WIN32  // Wine makes no symbolic links
        names.push_back(name + " pointed at");
        fs::create_symlink(name, folder / names.back());
#endif
        if (readOnly) fs::permissions(folder / name, fs::perms::owner_read);
        for (const std::string& given : names) {
            paths.push_back(folder / given);
            expected.push_back(readOnly ? "failed" : given == name ? "2 fixed" : "same as " + name);
        }
    }
    std::vector<std::string> outcomes;
    fixFiles(paths, [&](std::size_t index, const FixOutcome& outcome) {
        EXPECT_EQ(index, outcomes.size());
        outcomes.push_back(shown(outcome));
    });
    ASSERT_EQ(outcomes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(outcomes[i], expected[i]) << paths[i];
    EXPECT_EQ(test::readBytes(folder / "file 0"), "a\r\nb\r\n");
    EXPECT_EQ(test::readBytes(folder / "file 9"), "a\nb\n");
}

}  // namespace
}  // namespace norvane
