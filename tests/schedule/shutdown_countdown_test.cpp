#include "schedule/shutdown_countdown.h"

#include <gtest/gtest.h>

#include "text/fake_clock.h"

namespace oz::schedule {
namespace {

class FakePower : public PowerControl {
   public:
    bool powerOff() override {
        ++calls;
        return accept;
    }
    int calls = 0;
    bool accept = true;
};

class CountdownTest : public ::testing::Test {
   protected:
    FakePower m_power;
    text::FakeClock m_clock;
};

TEST_F(CountdownTest, ThirtyTicksDownToZeroThenPowerOffHalfASecondLater) {
    ShutdownCountdown countdown(m_power, m_clock);
    EXPECT_EQ(countdown.labelText(), "距离关机还有 30 秒");
    EXPECT_FALSE(countdown.tick());
    EXPECT_EQ(countdown.labelText(), "距离关机还有 29 秒");
    for (int i = 2; i < 30; ++i) ASSERT_FALSE(countdown.tick()) << i;
    EXPECT_TRUE(countdown.tick());
    EXPECT_EQ(countdown.labelText(), "距离关机还有 0 秒");
    EXPECT_EQ(countdown.state(), CountdownState::ReachedZero);
    EXPECT_EQ(m_power.calls, 0);
    EXPECT_FALSE(countdown.tick());  // no further ticks below zero
    EXPECT_EQ(countdown.remaining(), 0);

    const std::int64_t before = m_clock.tickMs();
    EXPECT_TRUE(countdown.finish());
    EXPECT_EQ(m_clock.tickMs() - before, 500);
    EXPECT_EQ(m_power.calls, 1);
    EXPECT_EQ(countdown.state(), CountdownState::PoweringOff);
    EXPECT_TRUE(countdown.powerOffAccepted());
}

TEST_F(CountdownTest, RunShowsEveryLabelAndPowersOffOnce) {
    ShutdownCountdown countdown(m_power, m_clock);
    std::vector<std::string> labels;
    const std::int64_t start = m_clock.tickMs();
    std::int64_t firstLabelAt = 0;
    EXPECT_TRUE(countdown.run([&](const std::string& label) {
        if (labels.empty()) firstLabelAt = m_clock.tickMs() - start;
        labels.push_back(label);
    }));
    ASSERT_EQ(labels.size(), 30u);
    EXPECT_EQ(firstLabelAt, 1000);
    EXPECT_EQ(labels.front(), "距离关机还有 29 秒");
    EXPECT_EQ(labels.back(), "距离关机还有 0 秒");
    EXPECT_EQ(m_clock.tickMs() - start, 30'500);
    EXPECT_EQ(m_power.calls, 1);
}

TEST_F(CountdownTest, StoppingAtTwelveSecondsLeavesTheComputerRunning) {
    ShutdownCountdown countdown(m_power, m_clock);
    m_clock.setOnSleep([&](std::int64_t) {
        if (countdown.remaining() == 12) countdown.stop();
    });
    EXPECT_FALSE(countdown.run());
    EXPECT_EQ(countdown.state(), CountdownState::Stopped);
    EXPECT_EQ(countdown.remaining(), 12);
    EXPECT_EQ(m_power.calls, 0);
    EXPECT_FALSE(countdown.tick());
    EXPECT_FALSE(countdown.finish());
    EXPECT_FALSE(countdown.shutdownNow());
    EXPECT_EQ(m_power.calls, 0);
}

TEST_F(CountdownTest, StopDuringTheHalfSecondAfterZeroPreventsThePowerOff) {
    ShutdownCountdown countdown(m_power, m_clock);
    for (int i = 0; i < 30; ++i) countdown.tick();
    m_clock.setOnSleep([&](std::int64_t) { countdown.stop(); });
    EXPECT_FALSE(countdown.finish());
    EXPECT_EQ(m_power.calls, 0);
}

TEST_F(CountdownTest, ShutdownNowPowersOffAtOnceAndOnlyOnce) {
    ShutdownCountdown countdown(m_power, m_clock);
    countdown.tick();
    EXPECT_TRUE(countdown.shutdownNow());
    EXPECT_EQ(m_power.calls, 1);
    EXPECT_FALSE(countdown.shutdownNow());
    EXPECT_FALSE(countdown.tick());
    EXPECT_TRUE(countdown.finish());  // already requested; nothing more happens
    EXPECT_FALSE(countdown.stop());   // too late to stop
    EXPECT_EQ(m_power.calls, 1);
}

TEST_F(CountdownTest, ShutdownNowEndsARunningCountdown) {
    ShutdownCountdown countdown(m_power, m_clock);
    m_clock.setOnSleep([&](std::int64_t) {
        if (countdown.remaining() == 25) countdown.shutdownNow();
    });
    EXPECT_TRUE(countdown.run());
    EXPECT_EQ(m_power.calls, 1);
    EXPECT_EQ(countdown.remaining(), 25);
}

TEST_F(CountdownTest, ARefusedPowerOffIsReported) {
    m_power.accept = false;
    ShutdownCountdown countdown(m_power, m_clock);
    EXPECT_TRUE(countdown.shutdownNow());
    EXPECT_FALSE(countdown.powerOffAccepted());
}

// The system's request through a stand-in command: its exit status is the answer, and a command
// that does not answer in time is ended and counts as refused, so no caller waits for ever.
TEST(SystemPowerControlTest, AnswersByExitStatusAndGivesUpAfterItsLimit) {
    using std::chrono::milliseconds;
    EXPECT_TRUE(SystemPowerControl({"true"}, milliseconds(5000)).powerOff());
    EXPECT_FALSE(SystemPowerControl({"false"}, milliseconds(5000)).powerOff());
    EXPECT_FALSE(SystemPowerControl({"no-such-command-oz"}, milliseconds(5000)).powerOff());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SystemPowerControl({"sleep", "20"}, milliseconds(300)).powerOff());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace oz::schedule
