#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/site_result.h"

namespace oz::engine {

// The run's state as the start button shows it.
enum class RunState { Idle, Running, Stopping };

// One line of the run's log as the log pane shows it.
struct LogEntry {
    std::uint64_t sequence = 0;  // order of the line in the file; the pane may sort by it
    std::string time;            // "09:03:02"
    int siteIndex = 0;           // 0 = the run as a whole
    std::string siteLabel;       // "全局", "example.com(admin)" or empty
    std::string text;            // empty for the separator line

    bool isSeparator() const { return text.empty(); }
};

// What a finished run reports.
struct RunTotals {
    int totalUpdated = 0;
    int unknownOutcome = 0;  // articles whose submission was cut off: maybe published, not counted
    std::int64_t durationMs = 0;
    std::string durationText;         // formatDuration(durationMs)
    std::vector<SiteResult> summary;  // one row per enabled site, in list order
    bool scheduled = false;           // started by the scheduler
    // The run's files that could not be written ("path（reason）": the log, address and failure
    // records), and how many published articles' addresses were not recorded.
    std::vector<std::string> unwrittenFiles;
    int lostAddresses = 0;
};

// What the engine tells the world. Every call may come from any thread, never while the engine
// holds one of its locks; a window turns each call into a queued signal carrying the values.
// The defaults do nothing, so a receiver overrides only what it shows.
class RunObserver {
   public:
    virtual ~RunObserver() = default;

    // The run's log file was opened (the pane starts empty; the file may be missing when it could
    // not be created, and the run goes on).
    virtual void logOpened(const std::filesystem::path& logFile) { (void)logFile; }
    virtual void logLine(const LogEntry& entry) { (void)entry; }
    // A site's turn began: it is at work from now on until siteFinished (sites wait for a free
    // place among 同时站点数 before this).
    virtual void siteStarted(int siteIndex) { (void)siteIndex; }
    // A site is done for this run (its list row may be greyed).
    virtual void siteFinished(int siteIndex) { (void)siteIndex; }
    virtual void runStateChanged(RunState state) { (void)state; }
    virtual void runEnded(const RunTotals& totals) { (void)totals; }
    // A file of the run could not be written ("无法写入文件：path（reason）", once per file), or a
    // published article's address could not be recorded ("文章地址未能记录（reason）：address").
    virtual void writeFailed(const std::string& message) { (void)message; }
};

}  // namespace oz::engine
