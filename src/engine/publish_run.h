#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "backend/records.h"
#include "backend/run_settings.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/run_log.h"
#include "engine/run_observer.h"
#include "engine/run_shared.h"
#include "engine/site_worker.h"
#include "text/clock.h"

namespace oz::engine {

// What a PublishRun needs from its surroundings; everything pointed to must outlive the run.
struct PublishRunSetup {
    std::filesystem::path dataDir;  // holds 日志/, 文章地址/, 更新失败记录/, 登录失败.htm
    const backend::RunSettings* settings = nullptr;  // the options, read at the moment of use
    const text::Clock* clock = nullptr;              // nullptr: the system clock
    RunObserver* observer = nullptr;                 // may be null; called on the run's threads
    // The grace of a stop. A request already on the wire when the stop came keeps its own time-out
    // but gets at most this long from the stop; each later request of the stopping site (its
    // end-of-site regeneration) at most this long from its start, or from the latest log line.
    // When a site's grace runs out its transfers are cut off (within about 50 ms) and its work
    // ends; a submission cut off that way has an unknown outcome. So a stop waits for an article
    // the back end is still storing, a responsive site still regenerates its pages, and a hanging
    // server costs one grace.
    std::chrono::milliseconds stopGrace{10000};
    // Bounds of the back-end client's loops and waits (its defaults suit real sites).
    backend::LoopLimits backendLimits;
    // Deletes a published article file (更新后删除); empty: std::filesystem::remove.
    FileRemover removeFile;
};

// "更新完成！总更新了 N 篇文章，更新耗费 …": the message of a finished run.
std::string completionMessage(const RunTotals& totals);

// One publishing run at a time over the checked sites of a site list, in one of two modes:
// independent (one worker thread per site, at most 同时站点数 of them active, re-read every 100 ms)
// or synchronous cycle (every site prepared first, then rounds of one article per site with the
// cycle interval between rounds). A run executes on a thread of its own, so the caller (a window)
// stays free; startRun returns at once and wait() joins the run. All worker threads are joined
// before the run ends. The controller methods may be called from any thread.
class PublishRun {
   public:
    explicit PublishRun(PublishRunSetup setup);
    ~PublishRun();  // ends a running run at once (abortNow) and joins it
    PublishRun(const PublishRun&) = delete;
    PublishRun& operator=(const PublishRun&) = delete;

    // The start/stop toggle. Idle: starts a run over a copy of `sites` with the listing method
    // and returns true at once. Otherwise it only requests a stop and returns false (also when it
    // is called from the run's own observer callback at the very end of a run).
    bool startRun(const config::SiteList& sites, content::ListingMethod listing, bool scheduled);

    // The graceful stop: no further site is launched and no new article starts; every site
    // finishes at its next step (pauses end at once, the end-of-site regeneration still runs,
    // every request within the stop's grace), the summary is written. A log line tells what the
    // run waits for. A second call while Stopping keeps the request as it is.
    void requestStop();
    // Stops at once: as requestStop, and every transfer of every site is cut off within about
    // 50 ms, the end-of-site regenerations included. Submissions cut off have an unknown outcome.
    // The summary is still written.
    void abortNow();
    // "停止更新选定站点": the site (1-based list position) finishes at its next article step.
    // False when no run is going or the site is not enabled or already finished.
    bool stopSelectedSite(int siteIndex);

    RunState state() const { return m_state.load(); }
    // True until the run is back to Idle (the start button's caption is not "开始站群更新").
    bool isRunning() const { return state() != RunState::Idle; }
    // Until the current run has ended and its threads are joined; returns at once when none (and
    // when called from the run's own observer calls, which come before its end).
    void wait();
    // As wait, at most `timeout`; true when the run has ended.
    bool waitFor(std::chrono::milliseconds timeout);

    int totalUpdated() const { return m_shared.totalUpdated.load(); }
    int activeSites() const { return m_shared.activeSites.load(); }
    // The totals of the last run that ended.
    std::optional<RunTotals> lastTotals() const;
    const RunLog& log() const { return m_log; }

   private:
    void runThread(bool scheduled);
    int launchIndependent();  // the position at which launching stopped
    int prepareAll();
    // Hands each checked, unfinished site to `turn` in list order until the run's stop or until
    // `turn` returns false; returns the 1-based position where it stopped (size + 1 at the end).
    int forEachWaitingSite(const std::function<bool(SiteWorker&)>& turn);
    // Starts the site's turn, unless a stop reached it first: then it finishes without starting.
    bool beginTurn(SiteWorker& worker);
    void cycleDriver();
    void waitForAllFinished();
    void reapThreads(bool all);
    void watchdog();
    void stopWatchdog();
    void setState(RunState state);
    void notifyWatchdog();
    void tellWhatTheStopWaitsFor();
    void logRun(std::string_view text, int siteIndex = 0);
    // Calls the observer, if any; what it throws stays with it.
    template <typename Call>
    void notify(Call&& call) {
        if (m_setup.observer == nullptr) return;
        try {
            call(*m_setup.observer);
        } catch (...) {
        }
    }

    const PublishRunSetup m_setup;
    const backend::OptionsRunSettings m_defaultSettings;  // when the setup names no settings
    const text::Clock& m_clock;
    RunLog m_log;
    backend::AddressRecordTable m_addressRecords;
    RunShared m_shared;

    mutable std::mutex m_mutex;  // guards the run's lifetime: the sites, workers, threads, totals
    std::atomic<RunState> m_state{RunState::Idle};
    bool m_finished = true;  // the run thread has done its work (guarded by m_mutex)
    std::condition_variable m_finishedCv;
    std::thread m_runThread;
    std::atomic<std::thread::id> m_runThreadId{};  // set by the run thread itself
    std::vector<config::SiteConfig> m_sites;
    std::vector<std::unique_ptr<SiteWorker>> m_workers;
    std::optional<RunTotals> m_lastTotals;

    // Independent mode: the running worker threads with their sites (launcher thread only).
    std::vector<std::pair<SiteWorker*, std::thread>> m_threads;

    // The stop watchdog: cuts off the transfers of sites that did not wind up in time.
    std::thread m_watchThread;
    std::mutex m_watchMutex;
    std::condition_variable m_watchCv;
    bool m_watchEnd = false;                    // guarded by m_watchMutex
    std::atomic<bool> m_anyStop{false};         // a run stop or a site stop was requested
    std::atomic<bool> m_abortRequested{false};  // abortNow during this run
    std::atomic<std::int64_t> m_runStopAt{0};   // steady-clock nanoseconds of the run's stop
};

}  // namespace oz::engine
