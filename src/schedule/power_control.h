#pragma once

namespace oz::schedule {

// Turns the computer off. Behind an interface so that tests never can.
class PowerControl {
   public:
    virtual ~PowerControl() = default;
    // Asks the system for an orderly power-off (not a reboot, not forced). Returns whether the
    // request was accepted; the program may be ended soon after a true.
    virtual bool powerOff() = 0;
};

// The system's power-off: on Linux through logind ("systemctl --no-ask-password poweroff"; it
// never waits for a password prompt, since nobody may be there to answer).
class SystemPowerControl final : public PowerControl {
   public:
    bool powerOff() override;
};

}  // namespace oz::schedule
