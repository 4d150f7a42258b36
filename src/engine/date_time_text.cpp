#include "engine/date_time_text.h"

#include <algorithm>
#include <array>

namespace oz::engine {

namespace {

std::string padded(int value) {
    std::string digits = std::to_string(value);
    return digits.size() == 1 ? "0" + digits : digits;
}

// Fills "#1".."#6" of the template.
std::string fillTemplate(std::string_view pattern, const text::DateTime& dt) {
    const std::array<int, 6> parts{dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second};
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '#' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '6') {
            out += padded(parts[static_cast<std::size_t>(pattern[i + 1] - '1')]);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// `hundredths` printed as a decimal without trailing zeros (250 -> "2.5", 300 -> "3").
std::string decimalText(std::int64_t hundredths) {
    std::string out = std::to_string(hundredths / 100);
    const std::int64_t fraction = hundredths % 100;
    if (fraction != 0) {
        out += '.';
        out += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) out += static_cast<char>('0' + fraction % 10);
    }
    return out;
}

}  // namespace

std::string formatDateTime(DateTimeKind kind, const text::DateTime& dateTime) {
    switch (kind) {
        case DateTimeKind::Date:
            return fillTemplate("#1-#2-#3", dateTime);
        case DateTimeKind::Time:
            return fillTemplate("#4:#5:#6", dateTime);
        case DateTimeKind::DateAndTime:
            break;
    }
    return fillTemplate("#1-#2-#3 #4:#5:#6", dateTime);
}

std::string formatDuration(std::int64_t milliseconds) {
    // The tick is monotonic, so a negative span only comes from a caller's mistake: show 0.
    if (milliseconds < 0) milliseconds = 0;
    if (milliseconds < 1000) return std::to_string(milliseconds) + " 毫秒";

    // Each unit: its length in milliseconds and how many of it make the next unit. The value is
    // rounded to hundredths in integers, so halves round up exactly; a value that rounds to the
    // next unit's threshold moves on to that unit (59 999 ms is "1 分", not "60 秒"), which also
    // covers the tiny rounding slack below each threshold.
    struct Unit {
        std::int64_t lengthMs;
        std::int64_t perNext;  // 0 for the last unit
        const char* name;
    };
    static constexpr std::array<Unit, 6> kUnits{{
        {1000, 60, " 秒"},
        {60'000, 60, " 分"},
        {3'600'000, 24, " 时"},
        {86'400'000, 30, " 天"},
        {2'592'000'000, 12, " 月"},
        {31'104'000'000, 0, " 年"},
    }};
    // Far beyond any run; keeps the arithmetic below from overflowing.
    milliseconds = std::min<std::int64_t>(milliseconds, std::int64_t{1} << 56);
    for (const Unit& unit : kUnits) {
        const std::int64_t hundredths = (milliseconds * 100 + unit.lengthMs / 2) / unit.lengthMs;
        if (unit.perNext == 0 || hundredths < unit.perNext * 100) return decimalText(hundredths) + unit.name;
    }
    return {};
}

}  // namespace oz::engine
