#include "schedule/scheduler.h"

#include <gtest/gtest.h>

#include "text/fake_clock.h"

namespace oz::schedule {
namespace {

using text::DateTime;
using namespace std::chrono_literals;

DateTime at(int hour, int minute, int second, int day = 7) {
    return DateTime{2024, 5, day, hour, minute, second};
}

Scheduler runningWith(std::vector<ScheduleRow> rows) {
    Scheduler scheduler;
    scheduler.setRows(std::move(rows));
    scheduler.start();
    return scheduler;
}

// Ticks once a second over [from, to] and returns the row texts that started runs.
std::vector<std::string> tickThrough(Scheduler& scheduler, DateTime from, DateTime to) {
    std::vector<std::string> started;
    for (auto s = text::toSerialSeconds(from); s <= text::toSerialSeconds(to); ++s) {
        if (auto start = scheduler.tick(text::fromSerialSeconds(s), false)) started.push_back(start->rowText);
    }
    return started;
}

TEST(Scheduler, DailyRowFiresEveryDayDatedRowOnlyOnItsDay) {
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}, {"2024-05-06 12:00:05", 0, true}});
    EXPECT_EQ(tickThrough(scheduler, at(11, 59, 58), at(12, 0, 10)), std::vector<std::string>{"12:00:00"});
    EXPECT_EQ(tickThrough(scheduler, at(11, 59, 58, 8), at(12, 0, 10, 8)),
              std::vector<std::string>{"12:00:00"});

    Scheduler today = runningWith({{"2024-05-07 12:00:05", 0, true}});
    EXPECT_EQ(tickThrough(today, at(12, 0, 0), at(12, 0, 10)),
              std::vector<std::string>{"2024-05-07 12:00:05"});
}

TEST(Scheduler, UncheckedAndInvalidRowsNeverFire) {
    Scheduler scheduler = runningWith({{"12:00:00", 0, false},
                                       {"12:00", 0, false},
                                       {"25:00:00", 0, true},
                                       {"nonsense", 0, true},
                                       {"", 0, true}});
    EXPECT_TRUE(tickThrough(scheduler, at(11, 59, 0), at(12, 1, 0)).empty());
}

TEST(Scheduler, TwoRowsAtTheSameSecondStartOneRunFirstRowFirst) {
    Scheduler scheduler = runningWith({{"2024-05-07 12:00:00", 0, true}, {"12:00:00", 0, true}});
    scheduler.setCompleteListing(false);
    ASSERT_TRUE(scheduler.tick(at(11, 59, 59), false) == std::nullopt);
    const auto start = scheduler.tick(at(12, 0, 0), false);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->rowText, "2024-05-07 12:00:00");
    EXPECT_FALSE(start->completeListing);
    EXPECT_EQ(start->statusText(), "到点更新\r\n2024-05-07 12:00:00");
    // The same second seen again starts nothing more.
    EXPECT_FALSE(scheduler.tick(at(12, 0, 0), false).has_value());
    EXPECT_FALSE(scheduler.tick(at(12, 0, 1), false).has_value());
}

TEST(Scheduler, RowsReachedDuringARunAreSkippedNotQueued) {
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}, {"12:00:02", 0, true}});
    ASSERT_TRUE(scheduler.tick(at(12, 0, 0), false).has_value());
    EXPECT_FALSE(scheduler.tick(at(12, 0, 1), true).has_value());
    EXPECT_FALSE(scheduler.tick(at(12, 0, 2), true).has_value());
    EXPECT_FALSE(scheduler.tick(at(12, 0, 3), false).has_value());
}

TEST(Scheduler, ARunInsideTheTickSkipsTheSecondsItTook) {
    // The run started at 12:00:00 returned at 12:00:03; the row at 12:00:02 passed during it.
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}, {"12:00:02", 0, true}});
    ASSERT_TRUE(scheduler.tick(at(12, 0, 0), false).has_value());
    EXPECT_FALSE(scheduler.tick(at(12, 0, 3), false).has_value());
}

TEST(Scheduler, ALateTickStillSeesTheSecondItJumpedOver) {
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}});
    EXPECT_FALSE(scheduler.tick(at(11, 59, 59), false).has_value());
    const auto start = scheduler.tick(at(12, 0, 1), false);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->rowText, "12:00:00");

    // After a long gap (the machine slept) passed points are not made up.
    Scheduler asleep = runningWith({{"12:00:00", 0, true}});
    EXPECT_FALSE(asleep.tick(at(11, 0, 0), false).has_value());
    EXPECT_FALSE(asleep.tick(at(12, 0, 30), false).has_value());
    // Nor on the first tick after starting.
    Scheduler fresh = runningWith({{"12:00:00", 0, true}});
    EXPECT_FALSE(fresh.tick(at(12, 0, 1), false).has_value());
}

TEST(Scheduler, StopTakesEffectOnTheNextTick) {
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}});
    EXPECT_EQ(schedulerCaption(scheduler.state()), "停止任务");
    scheduler.requestStop();
    EXPECT_EQ(schedulerCaption(scheduler.state()), "停止中..");
    EXPECT_FALSE(scheduler.tick(at(12, 0, 0), false).has_value());
    EXPECT_EQ(scheduler.state(), SchedulerState::Stopped);
    EXPECT_EQ(schedulerCaption(scheduler.state()), "开始任务");
    EXPECT_FALSE(scheduler.tick(at(12, 0, 0), false).has_value());
}

TEST(ScheduleLoop, StartsRunsInsideTheTickOnASteadyBeat) {
    text::FakeClock clock(at(11, 59, 58));
    Scheduler scheduler = runningWith({{"12:00:00", 0, true}, {"12:00:02", 0, true}, {"12:00:06", 0, true}});
    std::atomic<bool> stop{false};
    const std::int64_t start = clock.tickMs();
    clock.setOnSleep([&](std::int64_t tick) {
        if (tick - start >= 12'000) stop = true;
    });
    std::vector<std::string> started;
    runScheduleLoop(scheduler, clock, stop, [&](const ScheduledStart& run) {
        started.push_back(run.rowText);
        clock.advance(3'500ms);  // the run takes three and a half seconds
    });
    // 12:00:02 passed while the first run went on.
    EXPECT_EQ(started, (std::vector<std::string>{"12:00:00", "12:00:06"}));
}

TEST(ScheduleLoop, EndsWhenTheSchedulerIsStopped) {
    text::FakeClock clock(at(11, 0, 0));
    Scheduler scheduler = runningWith({});
    std::atomic<bool> stop{false};
    clock.setOnSleep([&](std::int64_t) { scheduler.requestStop(); });
    runScheduleLoop(scheduler, clock, stop, [](const ScheduledStart&) {});
    EXPECT_EQ(scheduler.state(), SchedulerState::Stopped);
    EXPECT_LE(clock.sleptMs(), 2'000);
}

}  // namespace
}  // namespace oz::schedule
