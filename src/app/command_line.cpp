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
    if (first == "--fix") {
        auto files = arguments.begin() + 1;
        if (files != arguments.end() && *files == EndOfOptions) ++files;
        if (files == arguments.end()) return UsageError{"--fix needs at least one FILE"};
        return FixFiles{{files, arguments.end()}};
    }
    if (first == EndOfOptions) return OpenWindow{joined(arguments.begin() + 1, arguments.end())};
    std::string path = joined(arguments.begin(), arguments.end());
    if (first.starts_with(EndOfOptions) && !exists(path)) return UsageError{"unknown option " + std::string(first)};
    return OpenWindow{std::move(path)};
}

}  // namespace norvane::app
