#include "schedule/schedule_file.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "config/atomic_file.h"
#include "text/charset.h"
#include "text/path_text.h"

namespace oz::schedule {

namespace {

constexpr std::string_view kFieldSeparator = "||";

bool isBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

int readTag(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

ScheduleRow readRow(std::string_view line) {
    ScheduleRow row;
    const std::size_t last = line.rfind(kFieldSeparator);
    if (last == std::string_view::npos) {
        row.text = std::string(line);
        row.checked = false;
        return row;
    }
    const std::string_view before = line.substr(0, last);
    const std::string_view after = line.substr(last + kFieldSeparator.size());
    const std::size_t middle = before.rfind(kFieldSeparator);
    if (middle == std::string_view::npos) {
        // Only text||tag: the check field is missing.
        row.text = std::string(before);
        row.tag = readTag(after);
        row.checked = false;
        return row;
    }
    row.text = std::string(before.substr(0, middle));
    row.tag = readTag(before.substr(middle + kFieldSeparator.size()));
    row.checked = after == "1";
    return row;
}

}  // namespace

std::filesystem::path scheduleFilePath(const std::filesystem::path& dataDir) {
    return dataDir / text::utf8Path(kScheduleFileName);
}

std::string formatScheduleText(const std::vector<ScheduleRow>& rows) {
    std::string text;
    for (const ScheduleRow& row : rows) {
        // A line break inside a row would split it into two rows when read back.
        for (char c : row.text) text += (c == '\r' || c == '\n') ? ' ' : c;
        text += kFieldSeparator;
        text += std::to_string(row.tag);
        text += kFieldSeparator;
        text += row.checked ? "1" : "0";
        text += "\r\n";
    }
    return text::utf8ToGbk(text);
}

std::vector<ScheduleRow> parseScheduleText(std::string_view bytes) {
    const std::string text = text::gbkToUtf8(bytes);
    std::vector<ScheduleRow> rows;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (isBlank(line)) continue;
        rows.push_back(readRow(line));
    }
    return rows;
}

std::vector<ScheduleRow> loadSchedule(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseScheduleText(bytes);
}

bool saveSchedule(const std::filesystem::path& file, const std::vector<ScheduleRow>& rows) {
    // Through the data folder's one writer: crash-safe, 0600, never through a planted link.
    std::string error;
    return config::replaceFile(file, formatScheduleText(rows), error);
}

}  // namespace oz::schedule
