#include "schedule/schedule_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace oz::schedule {
namespace {

namespace fs = std::filesystem;

class ScheduleFileTest : public ::testing::Test {
   protected:
    oz::test::TempFolder m_root;
    const fs::path m_dir = m_root / "data";  // not there yet: saving creates it
};

TEST(ScheduleText, WritesTextTagAndCheckSeparatedByDoubleBarsWithCrLf) {
    const std::vector<ScheduleRow> rows{{"12:12:12", 0, true}, {"2024-05-07 08:00:00", -3, false}};
    EXPECT_EQ(formatScheduleText(rows), "12:12:12||0||1\r\n2024-05-07 08:00:00||-3||0\r\n");
    EXPECT_EQ(parseScheduleText(formatScheduleText(rows)), rows);
}

TEST(ScheduleText, TextIsGbkOnDisk) {
    const std::vector<ScheduleRow> rows{{"每天 12:00", 7, true}};
    const std::string bytes = formatScheduleText(rows);
    EXPECT_EQ(bytes.substr(0, 4), "\xC3\xBF\xCC\xEC");  // "每天"
    EXPECT_EQ(parseScheduleText(bytes), rows);
}

TEST(ScheduleText, SkipsEmptyLinesAcceptsBareLfAndToleratesMissingFields) {
    const auto rows =
        parseScheduleText("\r\n12:00:00||1||1\n\n   \r\n13:00:00||x||0\r\n14:00:00||5\r\n15:00:00");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (ScheduleRow{"12:00:00", 1, true}));
    EXPECT_EQ(rows[1], (ScheduleRow{"13:00:00", 0, false}));
    // Rows without their check field are kept but take no part until checked.
    EXPECT_EQ(rows[2], (ScheduleRow{"14:00:00", 5, false}));
    EXPECT_EQ(rows[3], (ScheduleRow{"15:00:00", 0, false}));
}

TEST(ScheduleText, ALineBreakInsideARowCannotSplitIt) {
    const auto rows = parseScheduleText(formatScheduleText({{"12:00:00\r\n13:00:00", 0, true}}));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].checked);
}

TEST_F(ScheduleFileTest, SaveAndLoadRoundTripAndReplaceTheFile) {
    const fs::path file = scheduleFilePath(m_dir);
    EXPECT_EQ(file.filename(), fs::path(u8"时间点.计划任务"));
    EXPECT_TRUE(loadSchedule(file).empty());

    const std::vector<ScheduleRow> first{{"12:12:12", 0, true}, {"2024-05-07 12:12:12", 1, false}};
    ASSERT_TRUE(saveSchedule(file, first));
    EXPECT_EQ(loadSchedule(file), first);

    const std::vector<ScheduleRow> second{{"06:00:00", 2, true}};
    ASSERT_TRUE(saveSchedule(file, second));
    EXPECT_EQ(loadSchedule(file), second);
    EXPECT_FALSE(fs::exists(fs::path(file) += ".tmp"));
}

TEST_F(ScheduleFileTest, AFailedSaveLeavesTheOldFile) {
    const fs::path file = scheduleFilePath(m_dir);
    ASSERT_TRUE(saveSchedule(file, {{"12:12:12", 0, true}}));
    // A folder where the temporary file would go makes the write fail.
    fs::create_directories(fs::path(file) += ".tmp" + std::to_string(::getpid()));
    EXPECT_FALSE(saveSchedule(file, {}));
    EXPECT_EQ(loadSchedule(file).size(), 1u);
}

}  // namespace
}  // namespace oz::schedule
