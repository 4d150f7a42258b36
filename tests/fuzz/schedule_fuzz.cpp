// The schedule file and its time points (schedule/schedule_file.h, schedule/time_point.h). Input:
// the file's bytes. Checks: the rows read survive a save and a new reading (line breaks inside a
// row's text become spaces when written); a row text that names a time point names a real one,
// and the point is read the same from its own row text as the schedule window builds it.

#include "engine/date_time_text.h"
#include "fuzz_support.h"
#include "schedule/schedule_file.h"
#include "schedule/time_point.h"
#include "text/clock.h"

namespace {

namespace schedule = oz::schedule;

std::vector<schedule::ScheduleRow> asWritten(std::vector<schedule::ScheduleRow> rows) {
    for (schedule::ScheduleRow& row : rows) {
        for (char& c : row.text) {
            if (c == '\r' || c == '\n') c = ' ';
        }
    }
    return rows;
}

void checkTimePoint(const std::string& rowText) {
    const auto point = schedule::parseTimePoint(rowText);
    if (!point) return;
    OZ_FUZZ_CHECK(oz::text::isValidDateTime(point->at));
    OZ_FUZZ_CHECK(point->matches(point->at));
    const std::string time = oz::engine::formatDateTime(oz::engine::DateTimeKind::Time, point->at);
    const std::optional<oz::text::DateTime> date =
        point->daily ? std::nullopt : std::optional<oz::text::DateTime>(point->at);
    const auto again = schedule::parseTimePoint(schedule::buildRowText(date, time));
    OZ_FUZZ_CHECK(again.has_value());
    OZ_FUZZ_CHECK_EQ(again->daily, point->daily);
    OZ_FUZZ_CHECK(again->matches(point->at));
    OZ_FUZZ_CHECK(point->matches(again->at));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<schedule::ScheduleRow> rows = schedule::parseScheduleText(oz::fuzz::asText(data, size));
    const std::vector<schedule::ScheduleRow> reread =
        schedule::parseScheduleText(schedule::formatScheduleText(rows));
    OZ_FUZZ_CHECK(reread == asWritten(rows));
    for (const schedule::ScheduleRow& row : rows) checkTimePoint(row.text);
    return 0;
}
