#include "schedule/time_point.h"

#include <vector>

#include "engine/date_time_text.h"

namespace oz::schedule {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// A number of 1..maxDigits ASCII digits.
std::optional<int> smallNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The parts of `text` between any of the separator characters (empty parts kept).
std::vector<std::string_view> splitAny(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || separators.find(text[i]) != std::string_view::npos) {
            parts.push_back(text.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    return parts;
}

bool readClockTime(std::string_view text, text::DateTime& out) {
    const auto parts = splitAny(text, ":");
    if (parts.size() != 2 && parts.size() != 3) return false;
    const auto hour = smallNumber(parts[0], 2);
    const auto minute = smallNumber(parts[1], 2);
    const auto second = parts.size() == 3 ? smallNumber(parts[2], 2) : std::optional<int>(0);
    if (!hour || !minute || !second) return false;
    out.hour = *hour;
    out.minute = *minute;
    out.second = *second;
    return true;
}

bool readDate(std::string_view text, text::DateTime& out) {
    const auto parts = splitAny(text, "-/");
    if (parts.size() != 3) return false;
    const auto year = smallNumber(parts[0], 4);
    const auto month = smallNumber(parts[1], 2);
    const auto day = smallNumber(parts[2], 2);
    if (!year || !month || !day || *year < 1) return false;
    out.year = *year;
    out.month = *month;
    out.day = *day;
    return true;
}

}  // namespace

bool TimePoint::matches(const text::DateTime& now) const {
    if (daily) return at.hour == now.hour && at.minute == now.minute && at.second == now.second;
    return at == now;
}

std::optional<TimePoint> parseTimePoint(std::string_view rowText) {
    const std::string_view text = trimmed(rowText);
    TimePoint point;
    const std::size_t space = text.find_first_of(" \t");
    if (space == std::string_view::npos) {
        if (!readClockTime(text, point.at)) return std::nullopt;
    } else {
        point.daily = false;
        if (!readDate(text.substr(0, space), point.at)) return std::nullopt;
        if (!readClockTime(trimmed(text.substr(space)), point.at)) return std::nullopt;
    }
    // A daily point is checked against a fixed valid day, so only its clock fields decide.
    if (!text::isValidDateTime(point.at)) return std::nullopt;
    return point;
}

std::string buildRowText(const std::optional<text::DateTime>& date, std::string_view timeText) {
    std::string row;
    if (date) row = engine::formatDateTime(engine::DateTimeKind::Date, *date) + " ";
    row += timeText;
    return row;
}

}  // namespace oz::schedule
