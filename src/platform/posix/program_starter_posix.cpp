#include "platform/program_starter.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace norvane::platform {

// The program is started by a short-lived intermediate process that exits as soon as
// posix_spawn has returned. This process reaps the intermediate at once, and the program,
// left without a parent, is adopted and eventually reaped by the system: it is never waited
// for and never left behind as a zombie. The intermediate also starts a new session, so the
// program does not share this one's terminal signals. posix_spawn reports a program that
// can't be executed (missing, not executable, not a program) as its result; the
// intermediate hands that result back as its exit status.
//
// Between fork and _exit the intermediate calls only setsid, posix_spawn and _exit;
// everything posix_spawn needs is prepared beforehand.
bool SystemProgramStarter::start(const std::string& path) {
    if (path.empty()) return false;

    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0) return false;
    sigset_t noSignals;
    sigset_t brokenPipe;
    sigemptyset(&noSignals);
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    // The program starts with no signals blocked and the default broken-pipe action,
    // whatever this process has set for itself.
    ::posix_spawnattr_setsigmask(&attributes, &noSignals);
    ::posix_spawnattr_setsigdefault(&attributes, &brokenPipe);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};
    const pid_t intermediate = ::fork();
    if (intermediate == 0) {
        ::setsid();
        pid_t program = 0;
        const int result = ::posix_spawn(&program, path.c_str(), nullptr, &attributes, arguments, environ);
        ::_exit(result == 0 ? 0 : 1);
    }
    ::posix_spawnattr_destroy(&attributes);
    if (intermediate < 0) return false;

    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace norvane::platform
