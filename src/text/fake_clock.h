#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "text/clock.h"

namespace oz::text {

// A clock for tests: time stands still until a test advances it or someone sleeps on it, and a
// sleep returns at once after moving both the wall clock and the tick forward by its length.
// An optional hook runs after every sleep (outside the lock), so a test can act at a chosen
// moment, such as setting a stop flag after five seconds of waiting. Safe to share between threads.
class FakeClock final : public Clock {
   public:
    explicit FakeClock(DateTime start = DateTime{2024, 5, 7, 9, 3, 2}, std::int64_t startTick = 1'000'000)
        : m_wallMs(toSerialSeconds(start) * 1000), m_tick(startTick) {}

    DateTime now() const override {
        std::lock_guard lock(m_mutex);
        return fromSerialSeconds(floorDiv(m_wallMs, 1000));
    }

    std::int64_t tickMs() const override {
        std::lock_guard lock(m_mutex);
        return m_tick;
    }

    void sleepFor(std::chrono::milliseconds duration) const override {
        std::function<void(std::int64_t)> hook;
        std::int64_t tick = 0;
        {
            std::lock_guard lock(m_mutex);
            if (duration.count() > 0) {
                m_wallMs += duration.count();
                m_tick += duration.count();
                m_slept += duration.count();
            }
            tick = m_tick;
            hook = m_onSleep;
        }
        if (hook) hook(tick);
    }

    // Moves both the wall clock and the tick forward without calling the hook.
    void advance(std::chrono::milliseconds duration) {
        std::lock_guard lock(m_mutex);
        m_wallMs += duration.count();
        m_tick += duration.count();
    }

    // Sets the wall clock (to the start of the given second); the tick is left alone.
    void setNow(const DateTime& dateTime) {
        std::lock_guard lock(m_mutex);
        m_wallMs = toSerialSeconds(dateTime) * 1000;
    }

    // Called after every sleepFor with the tick after the sleep.
    void setOnSleep(std::function<void(std::int64_t tick)> hook) {
        std::lock_guard lock(m_mutex);
        m_onSleep = std::move(hook);
    }

    // Total milliseconds slept on this clock.
    std::int64_t sleptMs() const {
        std::lock_guard lock(m_mutex);
        return m_slept;
    }

   private:
    static std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

    mutable std::mutex m_mutex;
    mutable std::int64_t m_wallMs;
    mutable std::int64_t m_tick;
    mutable std::int64_t m_slept = 0;
    std::function<void(std::int64_t)> m_onSleep;
};

}  // namespace oz::text
