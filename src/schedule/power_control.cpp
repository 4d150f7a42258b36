#include "schedule/power_control.h"

#include <thread>

#if defined(__unix__)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;
#endif

namespace oz::schedule {

SystemPowerControl::SystemPowerControl(std::vector<std::string> command,
                                       std::chrono::milliseconds answerLimit)
    : m_command(std::move(command)), m_answerLimit(answerLimit) {}

bool SystemPowerControl::powerOff() {
#if defined(__unix__)
    if (m_command.empty()) return false;
    std::vector<char*> argv;
    for (std::string& part : m_command) argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + m_answerLimit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            // No answer in time: the command is ended (and reaped) and the request counts as refused.
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
#else
    return false;  // no power-off request on this platform
#endif
}

}  // namespace oz::schedule
