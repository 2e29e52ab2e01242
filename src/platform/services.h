#pragma once

#include "platform/file_probe.h"
#include "platform/program_starter.h"
#include "platform/registry.h"

namespace norvane::platform {

// The operating-system services a window is given, so that tests can give it fakes.
struct Services {
    const Registry& registry;
    const FileProbe& files;
    ProgramStarter& programs;
};

// The services of this system, for the program itself.
class SystemServices {
public:
    Services services() { return {registry_, files_, programs_}; }

private:
    SystemRegistry registry_;
    SystemFileProbe files_;
    SystemProgramStarter programs_;
};

}  // namespace norvane::platform
