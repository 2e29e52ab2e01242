#pragma once

#include <string>

namespace norvane::platform {

// Starts other programs.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;

    // Starts the program file at `path` (UTF-8) with no arguments, in a normal window that
    // receives the focus, and returns at once without waiting for it. The path names the
    // program itself: it is never read as a command line, so blanks in it are part of the
    // name. Returns false when the program could not be started (no such file, not a
    // program, no permission, an empty path).
    [[nodiscard]] virtual bool start(const std::string& path) = 0;
};

// Starts programs on this system. The started program runs on its own: it is neither
// tracked nor waited for, and it does not end with this one.
class SystemProgramStarter final : public ProgramStarter {
public:
    [[nodiscard]] bool start(const std::string& path) override;
};

}  // namespace norvane::platform
