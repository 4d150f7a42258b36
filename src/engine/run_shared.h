#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "backend/backend_context.h"
#include "backend/backend_ledger.h"
#include "backend/picture_upload.h"
#include "backend/records.h"
#include "backend/run_settings.h"
#include "backend/send_journal.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/run_log.h"
#include "engine/run_observer.h"
#include "engine/undeleted_files.h"
#include "text/clock.h"

namespace oz::engine {

// What every site worker of a run shares with the run: the options, the log, the records, the
// stop flag and the two counters. Owned by the run; lives as long as its workers.
struct RunShared {
    RunShared(const backend::RunSettings& runSettings, RunLog& runLog, const text::Clock& runClock,
              std::filesystem::path folder, backend::AddressRecordTable& records, RunObserver* runObserver)
        : settings(runSettings),
          log(runLog),
          clock(runClock),
          dataDir(std::move(folder)),
          addressRecords(records),
          observer(runObserver) {}

    const backend::RunSettings& settings;  // read at the moment of use
    RunLog& log;
    const text::Clock& clock;
    const std::filesystem::path dataDir;
    backend::AddressRecordTable& addressRecords;
    backend::WriteFailures writeFailures;           // the records and log lines that could not be written
    backend::BackEndLedger ledger;                  // what the run knows of each back end it posts to
    backend::SendJournal journal{dataDir, &clock};  // what was sent to each back end, across runs
    UndeletedFiles undeleted{dataDir};              // published files that could not be deleted
    backend::PictureCache pictures;                 // the local pictures each back end holds from this run
    RunObserver* const observer;                    // may be null
    content::ListingMethod listing = content::ListingMethod::Complete;  // fixed per run
    FileRemover removeFile = removeFileOnDisk;                          // 更新后删除
    backend::LoopLimits backendLimits;                                  // fixed per run

    std::atomic<bool> stopRequested{false};
    std::atomic<int> activeSites{0};   // started and not yet finished
    std::atomic<int> totalUpdated{0};  // articles published, all sites together

    // The count a site publishes: the global count when that option is on, else its 更新数量;
    // 0 or less means every file.
    int limitFor(const config::SiteConfig& site) const {
        return settings.useGlobalCount() ? settings.globalCount() : site.articleCount;
    }

    // Wakes whoever waits for a site to finish (the launcher, the end of the run).
    void notifySiteFinished() {
        { std::lock_guard lock(wakeMutex); }
        siteFinished.notify_all();
    }

    std::mutex wakeMutex;
    std::condition_variable siteFinished;
};

}  // namespace oz::engine
