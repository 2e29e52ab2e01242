#pragma once

namespace norvane::platform {

// While it lives, what the program writes to its standard output and error reaches the
// console it was started from. A Windows program built for a window has no console of its
// own, so started from a Command Prompt its --fix and --version lines would vanish: the
// streams that are not already redirected are connected to the parent's console, whose code
// page is UTF-8 meanwhile and restored afterwards. Elsewhere, and when the output goes to a
// pipe or file, nothing changes.
class ConsoleOutput {
public:
    ConsoleOutput();
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

private:
    unsigned previousCodePage_ = 0;  // 0: the code page was not changed
};

}  // namespace norvane::platform
