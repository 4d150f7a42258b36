#include "text/clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "text/fake_clock.h"

namespace oz::text {
namespace {

using namespace std::chrono_literals;

TEST(SerialSeconds, KnownValuesAndRoundTripAcrossLeapDays) {
    EXPECT_EQ(toSerialSeconds(DateTime{1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(toSerialSeconds(DateTime{2024, 5, 7, 9, 3, 2}), 1715072582);
    EXPECT_EQ(fromSerialSeconds(-1), (DateTime{1969, 12, 31, 23, 59, 59}));
    // Step through 1899..2101 one day and a bit at a time; every reading survives the round trip
    // and consecutive days are 86400 seconds apart.
    std::int64_t serial = toSerialSeconds(DateTime{1899, 12, 31, 23, 59, 59});
    const std::int64_t end = toSerialSeconds(DateTime{2101, 3, 1, 0, 0, 0});
    for (; serial < end; serial += 86400 + 7) {
        const DateTime dt = fromSerialSeconds(serial);
        ASSERT_TRUE(isValidDateTime(dt)) << serial;
        ASSERT_EQ(toSerialSeconds(dt), serial);
    }
    EXPECT_EQ(toSerialSeconds(DateTime{2000, 3, 1}) - toSerialSeconds(DateTime{2000, 2, 28}), 2 * 86400);
    EXPECT_EQ(toSerialSeconds(DateTime{1900, 3, 1}) - toSerialSeconds(DateTime{1900, 2, 28}), 86400);
}

TEST(SerialSeconds, ValidityOfFields) {
    EXPECT_TRUE(isValidDateTime(DateTime{2024, 2, 29, 23, 59, 59}));
    EXPECT_FALSE(isValidDateTime(DateTime{2023, 2, 29, 0, 0, 0}));
    EXPECT_FALSE(isValidDateTime(DateTime{2024, 4, 31, 0, 0, 0}));
    EXPECT_FALSE(isValidDateTime(DateTime{2024, 13, 1, 0, 0, 0}));
    EXPECT_FALSE(isValidDateTime(DateTime{2024, 1, 1, 24, 0, 0}));
    EXPECT_FALSE(isValidDateTime(DateTime{2024, 1, 1, 0, 60, 0}));
    EXPECT_FALSE(isValidDateTime(DateTime{2024, 1, 1, 0, 0, -1}));
}

TEST(InterruptibleWait, WaitsTheWholeTimeInStepsOfAtMostTenMilliseconds) {
    FakeClock clock;
    std::vector<std::int64_t> ticks;
    clock.setOnSleep([&](std::int64_t tick) { ticks.push_back(tick); });
    const std::int64_t start = clock.tickMs();
    std::atomic<bool> stop{false};
    EXPECT_TRUE(interruptibleWait(95ms, stop, clock));
    EXPECT_EQ(clock.tickMs() - start, 95);
    std::int64_t previous = start;
    for (std::int64_t tick : ticks) {
        EXPECT_LE(tick - previous, 10);
        previous = tick;
    }
}

TEST(InterruptibleWait, EndsWithinOneStepOfTheStopFlag) {
    FakeClock clock;
    std::atomic<bool> stop{false};
    const std::int64_t start = clock.tickMs();
    clock.setOnSleep([&](std::int64_t tick) {
        if (tick - start >= 35) stop = true;
    });
    EXPECT_FALSE(interruptibleWait(10'000ms, stop, clock));
    EXPECT_LE(clock.tickMs() - start, 40);

    // Already set: returns at once without sleeping.
    const std::int64_t slept = clock.sleptMs();
    EXPECT_FALSE(interruptibleWait(1000ms, stop, clock));
    EXPECT_EQ(clock.sleptMs(), slept);
}

TEST(InterruptibleWait, SystemClockSeesAStopFromAnotherThread) {
    std::atomic<bool> stop{false};
    const Clock& clock = systemClock();
    const std::int64_t start = clock.tickMs();
    std::thread stopper([&] {
        std::this_thread::sleep_for(30ms);
        stop = true;
    });
    EXPECT_FALSE(interruptibleWait(20'000ms, stop, clock));
    stopper.join();
    EXPECT_LT(clock.tickMs() - start, 5'000);
}

TEST(FakeClockTest, SleepingMovesTheWallClockAcrossMidnight) {
    FakeClock clock(DateTime{2024, 12, 31, 23, 59, 59});
    clock.sleepFor(999ms);
    EXPECT_EQ(clock.now(), (DateTime{2024, 12, 31, 23, 59, 59}));
    clock.sleepFor(1ms);
    EXPECT_EQ(clock.now(), (DateTime{2025, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace oz::text
