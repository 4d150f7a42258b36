#pragma once

#include <cstdint>
#include <string>

#include "text/clock.h"

namespace oz::engine {

// The three date-time templates of the program's texts; the numbers are the stored kinds.
enum class DateTimeKind {
    DateAndTime = 0,  // "#1-#2-#3 #4:#5:#6"
    Date = 1,         // "#1-#2-#3"
    Time = 2,         // "#4:#5:#6"
};

// Fills the template of `kind` with year, month, day, hour, minute and second, each part that is
// one digit long padded with a leading "0" (2024-05-07 09:03:02).
std::string formatDateTime(DateTimeKind kind, const text::DateTime& dateTime);

// A duration in one unit, its value rounded to two decimals without trailing zeros:
// "999 毫秒", "1.5 秒", "1.5 分", "2 时", "3 天", "4 月", "1.25 年".
std::string formatDuration(std::int64_t milliseconds);

}  // namespace oz::engine
