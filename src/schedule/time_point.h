#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/clock.h"

namespace oz::schedule {

// The moment a schedule row stands for: a clock time that comes every day, or a date and a clock
// time that comes once.
struct TimePoint {
    bool daily = true;
    text::DateTime at;  // for a daily point only hour, minute and second count

    // Whether `now` is this point, to the second.
    bool matches(const text::DateTime& now) const;
};

// Reads a row text: "H:M:S" (daily) or "Y-M-D H:M:S" (that day only), each number one or two
// digits (the year up to four), "/" also accepted between date parts, seconds optional. A text
// that names no real time or date gives nothing, so such a row never matches.
std::optional<TimePoint> parseTimePoint(std::string_view rowText);

// The text of a new or modified row: the date as "#1-#2-#3" and a space when a date is given,
// then the time text as typed.
std::string buildRowText(const std::optional<text::DateTime>& date, std::string_view timeText);

}  // namespace oz::schedule
