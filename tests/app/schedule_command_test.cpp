#include <gtest/gtest.h>

#include <thread>

#include "headless_fixture.h"
#include "schedule/schedule_file.h"

namespace oz::app::test {
namespace {

class ScheduleCommandTest : public HeadlessFixture {
   protected:
    int schedule(std::vector<std::string> args = {}) { return invoke(scheduleCommandWith, std::move(args)); }

    void writeSchedule(const std::vector<oz::schedule::ScheduleRow>& rows) {
        ASSERT_TRUE(oz::schedule::saveSchedule(oz::schedule::scheduleFilePath(dataDir), rows));
    }

    static int count(const std::string& text, const std::string& what) {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

// The stored listing method of scheduled runs (计划任务_鼠标左键): a filter that only the complete
// listing reads as a pattern inside the name tells which one ran.
class ScheduledRunTest : public ScheduleCommandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ScheduledRunTest, AReachedTimePointStartsOneRunWithTheStoredListingMethod) {
    config::SiteConfig site = addSite("s1", 3);
    site.fileFilter = "文章1";
    config::RunOptions options;
    options.scheduleCompleteListing = GetParam();
    writeSettings({site}, options);
    // Two checked rows for the same second start one run; the unchecked row never starts one.
    writeSchedule({{"12:12:11", 0, false}, {"12:12:12", 0, true}, {"2024-05-07 12:12:12", 0, true}});
    hooks.onRunEnded = [this](const engine::RunTotals&) { ++interrupts; };

    ASSERT_EQ(schedule(), 0) << err.str();
    const std::string text = out.str();
    EXPECT_EQ(count(text, "站群更新开始，当前时间点是：2024-05-07 12:12:12"), 1) << text;
    EXPECT_EQ(count(text, "到点更新 12:12:12"), 1);
    EXPECT_EQ(server.articleCount("s1"), GetParam() ? 1u : 0u);
    // A scheduled run ends without the completion message.
    EXPECT_EQ(count(text, "更新完成！"), 0);
    EXPECT_EQ(lines(text).back(), "计划任务已停止");
}

INSTANTIATE_TEST_SUITE_P(CompleteOrFast, ScheduledRunTest, ::testing::Bool());

// A stop request during a run stops that run, one during the countdown stops the countdown; the
// schedule goes on and, between runs, the settings file is free to edit and both files are read
// again. A request while idle ends the schedule.
TEST_F(ScheduleCommandTest, StopRequestsEndOnlyWhatIsGoingAndFilesAreReadAtEachRun) {
    config::SiteConfig site = addSite("s1", 5);
    site.deleteAfterPublish = true;
    site.intervalMin = site.intervalMax = 1;
    config::RunOptions options;
    options.shutdownWhenDone = true;
    writeSettings({site}, options);
    writeSchedule({{"2024-05-07 12:12:12", 0, true}});

    std::atomic<int> runsEnded{0};
    std::atomic<int> handled{0};  // runs whose end the sleep hook has acted on
    hooks.onLogLine = [&](const engine::LogEntry& entry) {
        if (runsEnded == 0 && entry.text.rfind("已成功更新 1 篇", 0) == 0) ++interrupts;
    };
    hooks.onRunEnded = [&](const engine::RunTotals&) { ++runsEnded; };
    bool edited = true;
    clock.setOnSleep([&](std::int64_t) {
        // Real time passes too, so the watcher of stop requests sees each in its phase.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (runsEnded == 1 && handled == 0) {
            handled = 1;
            // The countdown of run 1 is going; the settings are not locked.
            config::SettingsFile file;
            edited = file.open(dataDir / config::kSettingsFileName);
            if (edited) {
                config::SiteList list;
                config::loadSiteList(file, list);
                edited = config::globalSave(file, config::RunOptions{}, list);  // 更新完成关机 off
            }
            file.close();
            writeSchedule({{"2024-05-07 12:12:12", 0, true}, {"2024-05-07 12:14:00", 0, true}});
            ++interrupts;  // stops the countdown only
        } else if (runsEnded == 2 && handled == 1) {
            handled = 2;
            ++interrupts;  // idle: ends the schedule
        }
    });
    ASSERT_EQ(schedule({"--allow-poweroff"}), 0) << err.str();
    EXPECT_TRUE(edited);
    const std::string text = out.str();
    EXPECT_EQ(power.calls, 0);
    EXPECT_EQ(count(text, "已停止关机倒计时！"), 1) << text;
    EXPECT_EQ(count(text, "计划列表已重新读取：2 个时间点"), 1);
    EXPECT_EQ(count(text, "站群更新开始，当前时间点是："), 2);
    EXPECT_EQ(count(text, "到点更新 2024-05-07 12:14:00"), 1);
    // Run 2 had no countdown (the edited settings) and published what run 1 left.
    EXPECT_EQ(count(text, "更新完毕，准备关机.."), 1);
    EXPECT_EQ(server.articleCount("s1"), 5u);
    EXPECT_EQ(runsEnded, 2);
    EXPECT_EQ(lines(text).back(), "计划任务已停止");
}

TEST_F(ScheduleCommandTest, WithoutCheckedTimePointsThereIsNothingToDo) {
    writeSettings({addSite("s1", 1)}, {});
    writeSchedule({{"12:12:12", 0, false}});
    EXPECT_EQ(schedule(), kNothingDone);
    EXPECT_NE(err.str().find("计划列表中没有勾选的时间点"), std::string::npos);
}

TEST_F(ScheduleCommandTest, MissingSettingsFileIsAClearError) {
    writeSchedule({{"12:12:12", 0, true}});
    EXPECT_EQ(schedule(), kNothingDone);
    EXPECT_NE(err.str().find("找不到设置文件："), std::string::npos);
}

}  // namespace
}  // namespace oz::app::test
