#pragma once

#include <cstdio>
#include <string>

#include "text/clock.h"

namespace oz::backend {

// "#1-#2-#3 #4:#5:#6": year, month, day, hour, minute, second, each at least two digits.
inline std::string dateTimeText(const text::DateTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buffer;
}

// "#1-#2-#3": the date alone.
inline std::string dateText(const text::DateTime& t) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d-%02d-%02d", t.year, t.month, t.day);
    return buffer;
}

}  // namespace oz::backend
