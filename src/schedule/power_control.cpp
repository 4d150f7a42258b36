#include "schedule/power_control.h"

#if defined(__unix__)
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;
#endif

namespace oz::schedule {

bool SystemPowerControl::powerOff() {
#if defined(__unix__)
    char program[] = "systemctl";
    char noPrompt[] = "--no-ask-password";
    char verb[] = "poweroff";
    char* const argv[] = {program, noPrompt, verb, nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#else
    return false;  // no power-off request on this platform
#endif
}

}  // namespace oz::schedule
