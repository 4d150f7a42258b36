#include "engine/date_time_text.h"

#include <gtest/gtest.h>

namespace oz::engine {
namespace {

TEST(FormatDateTime, PadsEveryOneDigitPart) {
    const text::DateTime dt{2024, 5, 7, 9, 3, 2};
    EXPECT_EQ(formatDateTime(DateTimeKind::DateAndTime, dt), "2024-05-07 09:03:02");
    EXPECT_EQ(formatDateTime(DateTimeKind::Date, dt), "2024-05-07");
    EXPECT_EQ(formatDateTime(DateTimeKind::Time, dt), "09:03:02");
    EXPECT_EQ(formatDateTime(DateTimeKind::Time, text::DateTime{2024, 12, 31, 23, 59, 59}), "23:59:59");
}

struct DurationCase {
    std::int64_t ms;
    const char* text;
};

class FormatDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(FormatDuration, OneUnitTwoDecimalsNoTrailingZeros) {
    EXPECT_EQ(formatDuration(GetParam().ms), GetParam().text) << GetParam().ms << " ms";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatDuration,
    ::testing::Values(DurationCase{0, "0 毫秒"}, DurationCase{999, "999 毫秒"}, DurationCase{1000, "1 秒"},
                      DurationCase{1500, "1.5 秒"}, DurationCase{1234, "1.23 秒"},
                      // Halves round up exactly, with no binary-fraction surprise.
                      DurationCase{1235, "1.24 秒"}, DurationCase{1005, "1.01 秒"},
                      DurationCase{59'990, "59.99 秒"},
                      // Rounds to 60.00 seconds: shown in the next unit instead.
                      DurationCase{59'996, "1 分"}, DurationCase{60'000, "1 分"},
                      DurationCase{90'000, "1.5 分"}, DurationCase{7'200'000, "2 时"},
                      DurationCase{3'599'999, "1 时"}, DurationCase{86'400'000, "1 天"},
                      DurationCase{129'600'000, "1.5 天"}, DurationCase{2'592'000'000, "1 月"},
                      DurationCase{31'104'000'000, "1 年"}, DurationCase{31'104'000'000LL * 3 / 2, "1.5 年"},
                      // A clock that went back never gives a negative text.
                      DurationCase{-5, "0 毫秒"}));

}  // namespace
}  // namespace oz::engine
