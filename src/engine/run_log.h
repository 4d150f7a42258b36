#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "backend/records.h"
#include "engine/run_observer.h"
#include "engine/site_result.h"
#include "text/clock.h"

namespace oz::engine {

// The label of the run as a whole in the log.
inline constexpr std::string_view kGlobalLabel = "全局";
// The file line written for an empty log text.
inline constexpr std::string_view kSeparatorLine = "-----------------------------------";

// The log of one run at a time: a GBK text file with CR LF line ends under <data folder>/日志/,
// named after the run's start ("2024-05-07 09-03-02.txt"), plus the same lines kept in memory and
// passed to the observer for the log pane. Each file line is the time, TAB, the site label, TAB and
// the text. logLine may be called from any thread; lines never interleave.
class RunLog {
   public:
    // `observer` may be null; it must outlive the log.
    RunLog(std::filesystem::path dataDir, const text::Clock& clock, RunObserver* observer = nullptr);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Where a line that could not be written is told (the log's file, once); may be null.
    void setWriteFailures(backend::WriteFailures* failures);

    // Starts the log of a new run: creates the log folder, opens the file named after now, forgets
    // the previous run's lines and tells the observer. `siteLabels` are the labels of sites 1..n in
    // list order (see labelFor). Returns false when the file could not be opened; the run goes on
    // and its lines still reach memory and the observer.
    bool open(std::vector<std::string> siteLabels);

    // Appends one line for site `siteIndex` (0 = the run as a whole); an empty text writes the
    // separator line.
    void logLine(std::string_view text, int siteIndex);

    // The end-of-run block: end time, one line per summary row (at the row's site) followed by the
    // count of submissions with an unknown outcome where there are any, their total, the files that
    // could not be written and the addresses that were not recorded, and the total published with
    // the duration since `startTick` (a tick of the log's clock). Closes the file and returns the
    // duration text.
    std::string writeSummary(const std::vector<SiteResult>& rows, int totalUpdated, std::int64_t startTick,
                             const std::vector<backend::WriteFailure>& unwritten = {}, int lostAddresses = 0);

    void close();

    bool isOpen() const;
    // The current (or last) run's file; empty before the first run.
    std::filesystem::path filePath() const;
    // The lines of the current (or last) run in file order.
    std::vector<LogEntry> entries() const;
    // "全局" for 0, the site's label for 1..n, empty otherwise.
    std::string siteLabel(int siteIndex) const;

    // A site's label: its domain followed by its user in parentheses, "example.com(admin)".
    static std::string labelFor(std::string_view domain, std::string_view user);
    // The file name of a run started at `start`: the date-time text with every ":" made "-".
    static std::string fileNameFor(const text::DateTime& start);

   private:
    std::string labelLocked(int siteIndex) const;

    const std::filesystem::path m_dataDir;
    const text::Clock& m_clock;
    RunObserver* const m_observer;

    mutable std::mutex m_mutex;  // one writer at a time; guards everything below
    std::ofstream m_file;
    std::filesystem::path m_filePath;
    std::vector<std::string> m_siteLabels;
    std::vector<LogEntry> m_entries;
    std::uint64_t m_nextSequence = 0;
    backend::WriteFailures* m_writeFailures = nullptr;
};

}  // namespace oz::engine
