#include "text/clock.h"

#include <algorithm>
#include <ctime>
#include <thread>

namespace oz::text {

namespace {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void civilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

bool isValidDateTime(const DateTime& dt) {
    return dt.month >= 1 && dt.month <= 12 && dt.day >= 1 && dt.day <= daysInMonth(dt.year, dt.month) &&
           dt.hour >= 0 && dt.hour <= 23 && dt.minute >= 0 && dt.minute <= 59 && dt.second >= 0 &&
           dt.second <= 59;
}

std::int64_t toSerialSeconds(const DateTime& dt) {
    const std::int64_t days =
        daysFromCivil(dt.year, static_cast<unsigned>(dt.month), static_cast<unsigned>(dt.day));
    return days * 86400 + dt.hour * 3600 + dt.minute * 60 + dt.second;
}

DateTime fromSerialSeconds(std::int64_t serial) {
    std::int64_t days = serial / 86400;
    std::int64_t rest = serial % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    DateTime dt;
    civilFromDays(days, dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(rest / 3600);
    dt.minute = static_cast<int>(rest / 60 % 60);
    dt.second = static_cast<int>(rest % 60);
    return dt;
}

DateTime SystemClock::now() const {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    // A leap second (tm_sec 60) reads as the last ordinary second of its minute.
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

std::int64_t SystemClock::tickMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SystemClock::sleepFor(std::chrono::milliseconds duration) const {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

bool interruptibleWait(std::chrono::milliseconds duration, const std::atomic<bool>& stop,
                       const Clock& clock) {
    const std::int64_t deadline = clock.tickMs() + duration.count();
    while (!stop.load()) {
        const std::int64_t left = deadline - clock.tickMs();
        if (left <= 0) return true;
        clock.sleepFor(std::min(std::chrono::milliseconds(left), kWaitStep));
    }
    return false;
}

}  // namespace oz::text
