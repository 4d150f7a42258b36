#pragma once

#include <atomic>
#include <chrono>
#include <compare>
#include <cstdint>

namespace oz::text {

// A local wall-clock reading, broken down as the operator reads it.
struct DateTime {
    int year = 2000;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59

    auto operator<=>(const DateTime&) const = default;
};

// True when every field lies in its range and the day exists in its month.
bool isValidDateTime(const DateTime& dateTime);

// Seconds since 1970-01-01 00:00:00 of the proleptic Gregorian calendar, ignoring time zones:
// a linear serial for comparing and stepping wall-clock readings.
std::int64_t toSerialSeconds(const DateTime& dateTime);
DateTime fromSerialSeconds(std::int64_t serial);

// Where time comes from. Everything that waits or reads the time takes one, so tests can
// replace it. Implementations must be callable from any thread.
class Clock {
   public:
    virtual ~Clock() = default;
    // The local wall-clock time now.
    virtual DateTime now() const = 0;
    // A monotonic millisecond count; only differences mean anything.
    virtual std::int64_t tickMs() const = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) const = 0;
};

class SystemClock final : public Clock {
   public:
    DateTime now() const override;
    std::int64_t tickMs() const override;
    void sleepFor(std::chrono::milliseconds duration) const override;
};

// A process-wide SystemClock for callers that have no clock handed to them.
const Clock& systemClock();

// The step of every interruptible wait: a stop request ends a wait within about this long.
inline constexpr std::chrono::milliseconds kWaitStep{10};

// Waits `duration` in steps of at most kWaitStep, ending early when `stop` becomes true.
// Returns true when the whole time passed, false when the stop flag ended the wait
// (also when it was already set on entry).
bool interruptibleWait(std::chrono::milliseconds duration, const std::atomic<bool>& stop, const Clock& clock);

}  // namespace oz::text
