#include "app/command_line.h"

#include <string_view>
#include <utility>

namespace norvane::app {
namespace {

constexpr std::string_view EndOfOptions = "--";

std::string joined(std::vector<std::string>::const_iterator first, std::vector<std::string>::const_iterator last) {
    std::string text;
    for (auto argument = first; argument != last; ++argument) {
        if (argument != first) text += ' ';
        text += *argument;
    }
    return text;
}

}  // namespace

Command parseCommandLine(const std::vector<std::string>& arguments, const PathExists& exists) {
    if (arguments.empty()) return OpenWindow{};
    const std::string_view first = arguments.front();
    if (first == "--help") return ShowHelp{};
    if (first == "--version") return ShowVersion{};
    // The files after an option that takes some, a "--" in front of them skipped.
    const auto files = [&] {
        auto file = arguments.begin() + 1;
        if (file != arguments.end() && *file == EndOfOptions) ++file;
        return std::vector<std::string>(file, arguments.end());
    };
    if (first == "--fix") {
        if (files().empty()) return UsageError{"--fix needs at least one FILE"};
        return FixFiles{files()};
    }
    if (first == "--check") {
        if (files().empty()) return UsageError{"--check needs at least one FILE"};
        return CheckFiles{files()};
    }
    if (first == EndOfOptions) return OpenWindow{joined(arguments.begin() + 1, arguments.end())};
    std::string path = joined(arguments.begin(), arguments.end());
    if (first.starts_with(EndOfOptions) && !exists(path)) return UsageError{"unknown option " + std::string(first)};
    return OpenWindow{std::move(path)};
}

}  // namespace norvane::app
