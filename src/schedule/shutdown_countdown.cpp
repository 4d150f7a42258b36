#include "schedule/shutdown_countdown.h"

#include <algorithm>

namespace oz::schedule {

ShutdownCountdown::ShutdownCountdown(PowerControl& power, const text::Clock& clock)
    : m_power(power), m_clock(clock) {}

CountdownState ShutdownCountdown::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::string ShutdownCountdown::labelFor(int remaining) {
    return "距离关机还有 " + std::to_string(remaining) + " 秒";
}

bool ShutdownCountdown::tick() {
    std::lock_guard lock(m_mutex);
    if (m_state != CountdownState::Counting) return false;
    const int left = std::max(m_remaining.load() - 1, 0);
    m_remaining.store(left);
    if (left > 0) return false;
    m_state = CountdownState::ReachedZero;
    return true;
}

bool ShutdownCountdown::finish() {
    if (state() == CountdownState::ReachedZero && text::interruptibleWait(kPowerOffDelay, m_wake, m_clock) &&
        beginPowerOff(true)) {
        askSystem();
    }
    return state() == CountdownState::PoweringOff;
}

bool ShutdownCountdown::shutdownNow() {
    const bool requested = beginPowerOff(false);
    if (requested) askSystem();
    m_wake.store(true);
    return requested;
}

bool ShutdownCountdown::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_state == CountdownState::PoweringOff) return false;
        m_state = CountdownState::Stopped;
    }
    m_wake.store(true);
    return true;
}

bool ShutdownCountdown::beginPowerOff(bool onlyAfterZero) {
    std::lock_guard lock(m_mutex);
    const bool allowed = onlyAfterZero
                             ? m_state == CountdownState::ReachedZero
                             : m_state == CountdownState::Counting || m_state == CountdownState::ReachedZero;
    if (allowed) m_state = CountdownState::PoweringOff;
    return allowed;
}

bool ShutdownCountdown::askSystem() {
    const bool accepted = m_power.powerOff();
    m_powerOffAccepted.store(accepted);
    return accepted;
}

bool ShutdownCountdown::run(const std::function<void(const std::string& label)>& onTick) {
    std::int64_t nextTick = m_clock.tickMs();
    while (state() == CountdownState::Counting) {
        nextTick += kTickPeriod.count();
        const auto wait = std::chrono::milliseconds(std::max<std::int64_t>(nextTick - m_clock.tickMs(), 0));
        if (!text::interruptibleWait(wait, m_wake, m_clock)) break;
        const bool reachedZero = tick();
        if (onTick && state() != CountdownState::Stopped) onTick(labelText());
        if (reachedZero) return finish();
    }
    return state() == CountdownState::PoweringOff;
}

}  // namespace oz::schedule
