#include "schedule/time_point.h"

#include <gtest/gtest.h>

namespace oz::schedule {
namespace {

struct ParseCase {
    const char* row;
    bool valid;
    bool daily;
    text::DateTime at;
};

class ParseTimePoint : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTimePoint, ReadsDailyAndDatedRowsAndRejectsTheRest) {
    const ParseCase& c = GetParam();
    const auto point = parseTimePoint(c.row);
    ASSERT_EQ(point.has_value(), c.valid) << c.row;
    if (!c.valid) return;
    EXPECT_EQ(point->daily, c.daily) << c.row;
    EXPECT_EQ(point->at.hour, c.at.hour);
    EXPECT_EQ(point->at.minute, c.at.minute);
    EXPECT_EQ(point->at.second, c.at.second);
    if (!c.daily) {
        EXPECT_EQ(point->at, c.at);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseTimePoint,
    ::testing::Values(ParseCase{"12:12:12", true, true, {2000, 1, 1, 12, 12, 12}},
                      ParseCase{"9:3:2", true, true, {2000, 1, 1, 9, 3, 2}},
                      ParseCase{" 08:30 ", true, true, {2000, 1, 1, 8, 30, 0}},
                      ParseCase{"2024-05-07 09:03:02", true, false, {2024, 5, 7, 9, 3, 2}},
                      ParseCase{"2024-5-7 9:3:2", true, false, {2024, 5, 7, 9, 3, 2}},
                      ParseCase{"2024/02/29 23:59:59", true, false, {2024, 2, 29, 23, 59, 59}},
                      ParseCase{"", false, true, {}}, ParseCase{"abc", false, true, {}},
                      ParseCase{"12", false, true, {}}, ParseCase{"24:00:00", false, true, {}},
                      ParseCase{"12:60:00", false, true, {}}, ParseCase{"12:00:60", false, true, {}},
                      ParseCase{"12:12:12:12", false, true, {}}, ParseCase{"-1:00:00", false, true, {}},
                      ParseCase{"12::00", false, true, {}}, ParseCase{"2024-05-07", false, true, {}},
                      ParseCase{"2023-02-29 10:00:00", false, true, {}},
                      ParseCase{"2024-13-01 00:00:00", false, true, {}},
                      ParseCase{"2024-05-07 25:00:00", false, true, {}},
                      ParseCase{"１２:００:００", false, true, {}}));

TEST(TimePointMatch, DailyMatchesEveryDayDatedOnlyItsDay) {
    const auto daily = parseTimePoint("09:03:02");
    const auto dated = parseTimePoint("2024-05-07 09:03:02");
    ASSERT_TRUE(daily && dated);
    EXPECT_TRUE(daily->matches({2024, 5, 7, 9, 3, 2}));
    EXPECT_TRUE(daily->matches({2031, 12, 1, 9, 3, 2}));
    EXPECT_FALSE(daily->matches({2024, 5, 7, 9, 3, 3}));
    EXPECT_TRUE(dated->matches({2024, 5, 7, 9, 3, 2}));
    EXPECT_FALSE(dated->matches({2024, 5, 8, 9, 3, 2}));
    EXPECT_FALSE(dated->matches({2025, 5, 7, 9, 3, 2}));
}

TEST(BuildRowText, DateIsPaddedAndSeparatedByOneSpace) {
    EXPECT_EQ(buildRowText(text::DateTime{2024, 5, 7}, "12:12:12"), "2024-05-07 12:12:12");
    EXPECT_EQ(buildRowText(std::nullopt, "12:12:12"), "12:12:12");
}

}  // namespace
}  // namespace oz::schedule
