#pragma once

#include "app/command_line.h"

#include <iosfwd>

namespace norvane::app {

// Exit statuses of the program.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitSomeFileFailed = 1;  // --check: some file holds bare LFs
inline constexpr int ExitUsage = 2;           // also --check: some file could not be read

// Runs a command that needs no window (help, version, fixing or checking files, a usage
// error), writing
// what it has to say to `out` and failures to `err`; returns the exit status. Fixing and
// checking go on after a file fails and print one line a file.
int runHeadless(const Command& command, std::ostream& out, std::ostream& err);

}  // namespace norvane::app
