#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace norvane::app {
namespace {

// What a command line asks for, written out for comparison.
std::string described(const Command& command) {
    if (const auto* open = std::get_if<OpenWindow>(&command)) return "window [" + open->commandLine + "]";
    if (const auto* fix = std::get_if<FixFiles>(&command)) {
        std::string text = "fix";
        for (const std::string& file : fix->files) text += " [" + file + "]";
        return text;
    }
    if (std::holds_alternative<ShowHelp>(command)) return "help";
    if (std::holds_alternative<ShowVersion>(command)) return "version";
    return "usage error: " + std::get<UsageError>(command).message;
}

TEST(CommandLine, OptionsFirstAnythingElseIsThePathToOpen) {
    const struct {
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {{}, "window []"},
        {{"a.txt"}, "window [a.txt]"},
        {{"with", "space.txt"}, "window [with space.txt]"},
        {{"\"quoted name.txt\""}, "window [\"quoted name.txt\"]"},
        {{"--help"}, "help"},
        {{"--version"}, "version"},
        {{"--fix", "a.txt", "b c.txt", "--help"}, "fix [a.txt] [b c.txt] [--help]"},
        {{"--fix", "--", "--fix"}, "fix [--fix]"},
        {{"--fix"}, "usage error: --fix needs at least one FILE"},
        {{"--fix", "--"}, "usage error: --fix needs at least one FILE"},
        {{"--", "--fix"}, "window [--fix]"},
        {{"--", "--help", "x"}, "window [--help x]"},
        {{"a.txt", "--fix"}, "window [a.txt --fix]"},  // options count only first
        {{"-h"}, "window [-h]"},
    };
    const auto nothingExists = [](const std::string&) { return false; };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(described(parseCommandLine(arguments, nothingExists)), expected);
}

// A mistyped option is not taken for a file to open, unless a file has that name.
TEST(CommandLine, ADoubleDashThatIsNoOptionIsOneOnlyWhenNoFileHasThatName) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> existing;
        std::string expected;
    } cases[] = {
        {{"--verison"}, {}, "usage error: unknown option --verison"},
        {{"--verison"}, {"--verison"}, "window [--verison]"},
        {{"--my", "notes.txt"}, {}, "usage error: unknown option --my"},
        {{"--my", "notes.txt"}, {"--my"}, "usage error: unknown option --my"},  // the whole line names the file
        {{"--my", "notes.txt"}, {"--my notes.txt"}, "window [--my notes.txt]"},
        {{"--", "--verison"}, {}, "window [--verison]"},
        {{"-verison"}, {}, "window [-verison]"},
        {{"a--b"}, {}, "window [a--b]"},
    };
    for (const auto& [arguments, existing, expected] : cases) {
        const auto exists = [&existing](const std::string& path) {
            return std::find(existing.begin(), existing.end(), path) != existing.end();
        };
        EXPECT_EQ(described(parseCommandLine(arguments, exists)), expected) << testing::PrintToString(arguments);
    }
}

}  // namespace
}  // namespace norvane::app
