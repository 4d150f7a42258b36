#include <gtest/gtest.h>

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

TEST_F(ScheduleCommandTest, WithoutCheckedTimePointsThereIsNothingToDo) {
    writeSettings({addSite("s1", 1)}, {});
    writeSchedule({{"12:12:12", 0, false}});
    EXPECT_EQ(schedule(), 1);
    EXPECT_NE(err.str().find("计划列表中没有勾选的时间点"), std::string::npos);
}

TEST_F(ScheduleCommandTest, MissingSettingsFileIsAClearError) {
    writeSchedule({{"12:12:12", 0, true}});
    EXPECT_EQ(schedule(), 1);
    EXPECT_NE(err.str().find("找不到设置文件："), std::string::npos);
}

}  // namespace
}  // namespace oz::app::test
