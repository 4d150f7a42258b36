#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/data_folder.h"

namespace oz::schedule {

// The name of the schedule file in the data folder. The schedule window's two settings (its
// listing method, starting with the program) are stored with the run options.
inline constexpr std::string_view kScheduleFileName = config::kScheduleFile;

// One row of the schedule list.
struct ScheduleRow {
    std::string text;  // the time point as shown ("12:12:12", "2024-05-07 12:12:12")
    int tag = 0;       // kept with the row, not used by the schedule
    bool checked = true;

    bool operator==(const ScheduleRow&) const = default;
};

std::filesystem::path scheduleFilePath(const std::filesystem::path& dataDir);

// The file's bytes: per row the text, "||", the tag, "||", "1" or "0" and CR LF, in GBK.
std::string formatScheduleText(const std::vector<ScheduleRow>& rows);
// Rows from the file's bytes in file order; empty lines are skipped, LF alone also ends a line.
// A line without its tag or check field keeps its text and is read unchecked.
std::vector<ScheduleRow> parseScheduleText(std::string_view bytes);

// A missing or unreadable file gives an empty list.
std::vector<ScheduleRow> loadSchedule(const std::filesystem::path& file);
// Replaces the file as a whole (written beside it, then renamed over it, so a failed write never
// leaves half a list). Returns false when it could not be written.
bool saveSchedule(const std::filesystem::path& file, const std::vector<ScheduleRow>& rows);

}  // namespace oz::schedule
