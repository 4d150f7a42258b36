#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace oz::schedule {

// Turns the computer off. Behind an interface so that tests never can.
class PowerControl {
   public:
    virtual ~PowerControl() = default;
    // Asks the system for an orderly power-off (not a reboot, not forced). Returns whether the
    // request was accepted; the program may be ended soon after a true. It may take as long as the
    // system takes to answer: a window calls it off its own thread.
    virtual bool powerOff() = 0;
};

// The system's power-off: on Linux through logind ("systemctl --no-ask-password poweroff"; it
// never waits for a password prompt, since nobody may be there to answer). logind or polkit may
// hold the answer up for half a minute; a command that has not answered within `answerLimit` is
// ended and counts as refused, so the caller never waits for ever.
class SystemPowerControl final : public PowerControl {
   public:
    static constexpr std::chrono::seconds kAnswerLimit{90};

    SystemPowerControl() = default;
    // Another command in place of systemctl's (for tests): the program (looked up on PATH) and its
    // arguments.
    SystemPowerControl(std::vector<std::string> command, std::chrono::milliseconds answerLimit);

    bool powerOff() override;

   private:
    std::vector<std::string> m_command{"systemctl", "--no-ask-password", "poweroff"};
    std::chrono::milliseconds m_answerLimit{kAnswerLimit};
};

}  // namespace oz::schedule
