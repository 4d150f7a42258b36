#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "schedule/power_control.h"
#include "text/clock.h"

namespace oz::schedule {

// Texts of the countdown window.
inline constexpr std::string_view kCountdownTitle = "更新完毕，准备关机..";
inline constexpr std::string_view kShutdownNowCaption = "立即关机！";
inline constexpr std::string_view kStopShutdownCaption = "停止关机！";
inline constexpr std::string_view kShutdownStoppedMessage = "已停止关机倒计时！";

enum class CountdownState {
    Counting,     // ticking down
    ReachedZero,  // the half-second pause before the power-off
    PoweringOff,  // the power-off was requested (it cannot be stopped any more)
    Stopped,      // stopped by the operator; no power-off follows
};

// The 30-second countdown after a run that ends with a power-off. A window drives it with its
// one-second timer (tick, then finish at zero), or run() does the whole countdown on the calling
// thread. stop() may come from any thread; the power-off is requested at most once.
class ShutdownCountdown {
   public:
    static constexpr int kStartSeconds = 30;
    static constexpr std::chrono::milliseconds kTickPeriod{1000};
    static constexpr std::chrono::milliseconds kPowerOffDelay{500};

    ShutdownCountdown(PowerControl& power, const text::Clock& clock);

    int remaining() const { return m_remaining.load(); }
    CountdownState state() const;
    // "距离关机还有 " + seconds + " 秒".
    static std::string labelFor(int remaining);
    std::string labelText() const { return labelFor(remaining()); }

    // One timer tick: one second less. Returns true on the tick that reaches 0; the caller stops
    // its timer and calls finish. Does nothing once the count is at 0 or stopped.
    bool tick();
    // After zero: waits half a second (ended early by stop) and then requests the power-off.
    // Returns whether the power-off has been requested (here or by shutdownNow).
    bool finish();
    // "立即关机！": requests the power-off at once unless stopped or already requested.
    bool shutdownNow();
    // "停止关机！": no power-off will follow; a pending wait ends at once. Returns false when it came
    // too late (the power-off was already requested).
    bool stop();

    // The two halves of a power-off request, for a caller that must not wait for the system's
    // answer (a window asks on a thread of its own). beginPowerOff decides: false when stopped or
    // already requested (and, with `onlyAfterZero`, before zero); after a true nothing can stop it
    // any more. askSystem then makes the one request and returns (and keeps) whether it was
    // accepted.
    bool beginPowerOff(bool onlyAfterZero);
    bool askSystem();

    // The whole countdown: a tick each second (on a steady beat of the clock), `onTick` with the
    // new label after each, then finish. Ends early on stop or shutdownNow. Returns whether the
    // power-off has been requested.
    bool run(const std::function<void(const std::string& label)>& onTick = {});

    // Whether the last power-off request was accepted by the system.
    bool powerOffAccepted() const { return m_powerOffAccepted.load(); }

   private:
    PowerControl& m_power;
    const text::Clock& m_clock;
    std::atomic<int> m_remaining{kStartSeconds};
    std::atomic<bool> m_wake{false};  // set by stop and shutdownNow; ends every wait
    std::atomic<bool> m_powerOffAccepted{false};
    mutable std::mutex m_mutex;  // guards m_state: stop and power-off decide against each other
    CountdownState m_state = CountdownState::Counting;
};

}  // namespace oz::schedule
