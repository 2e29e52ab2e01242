#pragma once

#include "app/command_line.h"

#include <iosfwd>

namespace norvane::app {

// Exit statuses of the program.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitSomeFileFailed = 1;
inline constexpr int ExitUsage = 2;

// Runs a command that needs no window (help, version, fixing files, a usage error), writing
// what it has to say to `out` and failures to `err`; returns the exit status. Fixing goes on
// after a file fails and prints one line a file.
int runHeadless(const Command& command, std::ostream& out, std::ostream& err);

}  // namespace norvane::app
