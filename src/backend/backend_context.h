#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "backend/run_settings.h"
#include "text/clock.h"

namespace oz::backend {

class AddressRecordTable;
class WriteFailures;
struct WriteFailure;

// Receives the log lines of the back-end client: the site index (0 = the run as a whole) and the
// text; an empty text asks for the log's separator line. Called on the thread doing the work.
using LogSink = std::function<void(int siteIndex, const std::string& text)>;

// Draws an integer uniformly from lo..hi (bounds already made non-negative and ordered).
using RandomSource = std::function<int(int lo, int hi)>;

// Bounds on the loops whose end the back end decides, so that a misbehaving server cannot hold a
// worker forever.
struct LoopLimits {
    int progressPages = 2000;          // pages one followProgressPages chain may request
    int allCategoryListPages = 20000;  // pages of the all-categories list action
    int oneKeyUpdatePages = 50000;     // pages of the update-everything chain
    int tagFollowUps = 100;            // static-TAG frames followed per published article
    // The longest wait for any answer, in seconds (at least 1), below each request's own time-out;
    // 0: each request's own.
    double maxAnswerSeconds = 0;
};

// What the back-end client needs from its surroundings. One value may serve every site of a run;
// everything it points to must outlive the calls that use it.
struct BackendContext {
    const RunSettings* settings = nullptr;  // required: the options, read at the moment of use
    LogSink log;                            // may be empty
    std::filesystem::path dataDir;          // holds 登录失败.htm, 更新失败记录/ and 文章地址/
    // When set, the loops of the back-end client end at their next step. The engine chooses which
    // flag this is: a site that stops still regenerates its pages, so it is not the run's stop flag.
    const std::atomic<bool>* abort = nullptr;
    const text::Clock* clock = nullptr;            // nullptr: the system clock
    AddressRecordTable* addressRecords = nullptr;  // the run's table; nullptr: no address records
    WriteFailures* writeFailures = nullptr;        // where records that could not be written are told
    RandomSource random;                           // empty: text::randomInt
    LoopLimits limits;
    // Sets apart the failure records of site records that share 域名 and 用户 ("#3"); empty when
    // the record is the only one.
    std::string recordTag;

    void logLine(int siteIndex, const std::string& text) const {
        if (log) log(siteIndex, text);
    }
    // The settings, or unchanged defaults when none were given.
    const RunSettings& options() const;
    bool aborted() const { return abort != nullptr && abort->load(); }
    const text::Clock& clockOrSystem() const { return clock != nullptr ? *clock : text::systemClock(); }
    // Tells writeFailures of a record that could not be written (nothing when it was).
    void noteWriteFailure(const std::optional<WriteFailure>& failure) const;
    // A draw by the rule of the settings: negative bounds count as 0, reversed bounds are swapped.
    int randomBetween(int lo, int hi) const;
};

}  // namespace oz::backend
