#include "engine/publish_run.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <utility>

#include "engine/date_time_text.h"
#include "engine/engine_texts.h"
#include "text/path_text.h"

namespace oz::engine {

namespace {

using namespace std::chrono_literals;

// How often the launcher re-reads 同时站点数 while it waits for a free slot.
constexpr auto kLauncherPoll = 100ms;
// How often the stop watchdog looks at the sites once a stop was requested.
constexpr auto kWatchdogPoll = 50ms;

std::int64_t steadyNowNs() {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return std::max<std::int64_t>(ns, 1);
}

// The cycle interval as whole milliseconds; negative, NaN and huge values are kept in range.
std::chrono::milliseconds secondsToWait(double seconds) {
    const double ms = seconds * 1000.0;
    if (!(ms > 0)) return 0ms;
    constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(std::min(ms, kMax))));
}

constexpr std::size_t kUnwrittenShown = 10;

}  // namespace

std::string completionMessage(const RunTotals& totals) {
    std::string text(texts::kCompletionPrefix);
    text += std::to_string(totals.totalUpdated);
    text += texts::kCompletionMiddle;
    text += totals.durationText;
    if (totals.unknownOutcome > 0) {
        text += texts::kCompletionUnknown;
        text += std::to_string(totals.unknownOutcome);
        text += texts::kCompletionUnknownEnd;
    }
    int liveFailed = 0;
    bool homePageFailed = false;
    for (const SiteResult& row : totals.summary) {
        liveFailed += row.liveFailed;
        homePageFailed = homePageFailed || row.homePageFailed;
    }
    if (liveFailed > 0 || homePageFailed) {
        text += texts::kCompletionLiveFailed;
        text += std::to_string(liveFailed);
        text += homePageFailed ? texts::kCompletionLiveHomeFailed : texts::kCompletionLiveFailedEnd;
    }
    if (!totals.unwrittenFiles.empty()) {
        text += texts::kCompletionUnwritten;
        // The log lists them all: the message names a few, so it stays shorter than the screen.
        const std::size_t shown = std::min(totals.unwrittenFiles.size(), kUnwrittenShown);
        for (std::size_t i = 0; i < shown; ++i) text += "\r\n" + totals.unwrittenFiles[i];
        if (shown < totals.unwrittenFiles.size()) {
            text += texts::kCompletionUnwrittenMore;
            text += std::to_string(totals.unwrittenFiles.size() - shown);
            text += texts::kCompletionUnwrittenMoreEnd;
        }
    }
    return text;
}

PublishRun::PublishRun(PublishRunSetup setup)
    : m_setup(std::move(setup)),
      m_clock(m_setup.clock != nullptr ? *m_setup.clock : text::systemClock()),
      m_log(m_setup.dataDir, m_clock, m_setup.observer),
      m_addressRecords(m_setup.dataDir),
      m_shared(m_setup.settings != nullptr ? *m_setup.settings : m_defaultSettings, m_log, m_clock,
               m_setup.dataDir, m_addressRecords, m_setup.observer) {
    m_shared.backendLimits = m_setup.backendLimits;
    if (m_setup.removeFile) m_shared.removeFile = m_setup.removeFile;
    m_log.setWriteFailures(&m_shared.writeFailures);
    m_shared.writeFailures.setListener([this](const std::string& message) {
        notify([&message](RunObserver& observer) { observer.writeFailed(message); });
    });
}

PublishRun::~PublishRun() {
    if (isRunning()) abortNow();
    wait();
}

bool PublishRun::startRun(const config::SiteList& sites, content::ListingMethod listing, bool scheduled) {
    {
        std::unique_lock lock(m_mutex);
        if (m_state.load() == RunState::Idle) {
            if (m_runThread.joinable()) {
                // The previous run is at its very end (its last observer call); from inside that
                // call it cannot be joined, so a new run is refused there.
                if (m_runThreadId.load() == std::this_thread::get_id()) return false;
                lock.unlock();
                wait();
                lock.lock();
            }
        }
        if (m_state.load() == RunState::Idle && !m_runThread.joinable()) {
            m_sites = sites.sites;
            m_workers.clear();
            m_workers.reserve(m_sites.size());
            // Records that share 域名 and 用户 keep their failure records apart by their position.
            std::map<std::pair<std::string, std::string>, int> records;
            for (const config::SiteConfig& site : m_sites) ++records[{site.domain, site.user}];
            for (std::size_t i = 0; i < m_sites.size(); ++i) {
                m_workers.push_back(
                    std::make_unique<SiteWorker>(static_cast<int>(i) + 1, m_sites[i], m_shared));
                if (records[{m_sites[i].domain, m_sites[i].user}] > 1) {
                    m_workers.back()->setRecordTag("#" + std::to_string(i + 1));
                }
            }
            m_shared.listing = listing;
            m_shared.stopRequested = false;
            m_shared.activeSites = 0;
            m_shared.totalUpdated = 0;
            m_shared.writeFailures.clear();
            m_shared.ledger.clear();
            m_shared.journal.newRun();
            m_anyStop = false;
            m_abortRequested = false;
            m_runStopAt = 0;
            m_finished = false;
            m_state = RunState::Running;
            lock.unlock();
            // Told before the run's thread exists, so no event of the run can come before it.
            notify([](RunObserver& observer) { observer.runStateChanged(RunState::Running); });
            lock.lock();
            m_runThread = std::thread([this, scheduled] { runThread(scheduled); });
            return true;
        }
    }
    requestStop();
    return false;
}

void PublishRun::requestStop() {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        const RunState state = m_state.load();
        if (state == RunState::Idle || m_finished) return;
        if (state == RunState::Running) {
            m_state = RunState::Stopping;
            changed = true;
        }
        std::int64_t none = 0;
        m_runStopAt.compare_exchange_strong(none, steadyNowNs());
        m_shared.stopRequested = true;
        for (auto& worker : m_workers) worker->wake();
    }
    m_anyStop = true;
    m_shared.notifySiteFinished();  // wakes the launcher
    notifyWatchdog();
    if (changed) notify([](RunObserver& observer) { observer.runStateChanged(RunState::Stopping); });
}

void PublishRun::abortNow() {
    requestStop();
    {
        std::lock_guard lock(m_mutex);
        if (m_finished) return;
        m_abortRequested = true;
        for (auto& worker : m_workers) worker->abortTransfers();
    }
    notifyWatchdog();
}

bool PublishRun::stopSelectedSite(int siteIndex) {
    bool stopped = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished || siteIndex < 1 || static_cast<std::size_t>(siteIndex) > m_workers.size())
            return false;
        stopped = m_workers[static_cast<std::size_t>(siteIndex) - 1]->requestStop();
    }
    if (stopped) {
        m_anyStop = true;
        notifyWatchdog();
    }
    return stopped;
}

void PublishRun::wait() {
    // From the run's own observer calls there is nothing to wait for: the run ends after them.
    if (m_runThreadId.load() == std::this_thread::get_id()) return;
    {
        std::unique_lock lock(m_mutex);
        m_finishedCv.wait(lock, [this] { return m_finished; });
    }
    // Only the owner starts and joins runs, so the thread cannot change under us here.
    if (m_runThread.joinable()) {
        m_runThread.join();
        m_runThreadId = std::thread::id{};  // ids of ended threads are given out again
    }
}

bool PublishRun::waitFor(std::chrono::milliseconds timeout) {
    if (m_runThreadId.load() == std::this_thread::get_id()) return false;
    {
        std::unique_lock lock(m_mutex);
        if (!m_finishedCv.wait_for(lock, timeout, [this] { return m_finished; })) return false;
    }
    wait();
    return true;
}

std::optional<RunTotals> PublishRun::lastTotals() const {
    std::lock_guard lock(m_mutex);
    return m_lastTotals;
}

void PublishRun::setState(RunState state) {
    m_state = state;
    notify([state](RunObserver& observer) { observer.runStateChanged(state); });
}

void PublishRun::logRun(std::string_view text, int siteIndex) {
    // The run must reach its summary whatever a receiver of its lines does.
    try {
        m_log.logLine(text, siteIndex);
    } catch (...) {
    }
}

void PublishRun::notifyWatchdog() {
    { std::lock_guard lock(m_watchMutex); }
    m_watchCv.notify_all();
}

void PublishRun::runThread(bool scheduled) {
    m_runThreadId = std::this_thread::get_id();
    const std::int64_t startTick = m_clock.tickMs();
    const bool independent = !m_shared.settings.synchronousCycle();
    {
        std::lock_guard lock(m_watchMutex);
        m_watchEnd = false;
    }
    m_watchThread = std::thread([this] { watchdog(); });

    // The workers and the site copies stay put for the whole run (only startRun replaces them,
    // and only while Idle), so this thread reads them without the lock.
    std::vector<std::string> labels;
    labels.reserve(m_sites.size());
    // Records that share 域名 and 用户 are told apart by their number, as their records are.
    std::map<std::pair<std::string, std::string>, int> sharing;
    for (const auto& site : m_sites) ++sharing[{site.domain, site.user}];
    for (std::size_t i = 0; i < m_sites.size(); ++i) {
        const config::SiteConfig& site = m_sites[i];
        labels.push_back(RunLog::labelFor(site.domain, site.user) + (sharing[{site.domain, site.user}] > 1
                                                                         ? "#" + std::to_string(i + 1)
                                                                         : std::string()));
    }
    m_log.open(std::move(labels));
    m_shared.undeleted.load(m_shared.removeFile);
    logRun(std::string(texts::kRunStarted) + formatDateTime(DateTimeKind::DateAndTime, m_clock.now()));
    if (!independent) logRun(texts::kPreparing);
    // Unchecked sites take no part: their rows are greyed for the run.
    for (auto& worker : m_workers) {
        if (!worker->site().enabled) {
            notify([&worker](RunObserver& observer) { observer.siteFinished(worker->siteIndex()); });
        }
    }

    int stopPosition = 0;
    if (independent) {
        stopPosition = launchIndependent();
        waitForAllFinished();
        reapThreads(true);
    } else {
        stopPosition = prepareAll();
    }
    if (m_shared.stopRequested.load()) {
        logRun(texts::kForcedStop, stopPosition);
    } else if (!independent) {
        logRun(texts::kPrepared);
    }
    // After a stop during the preparation this finishes the prepared sites in one pass.
    if (!independent) cycleDriver();
    stopWatchdog();

    RunTotals totals;
    for (const auto& worker : m_workers) {
        if (!worker->site().enabled) continue;
        totals.summary.push_back(worker->result());
        totals.unknownOutcome += totals.summary.back().unknown;
    }
    totals.totalUpdated = m_shared.totalUpdated.load();
    totals.durationMs = m_clock.tickMs() - startTick;
    const std::vector<backend::WriteFailure> unwritten = m_shared.writeFailures.failures();
    totals.lostAddresses = m_shared.writeFailures.lostAddresses();
    for (const backend::WriteFailure& failure : unwritten) {
        totals.unwrittenFiles.push_back(text::pathText(failure.file) + "（" + failure.reason + "）");
    }
    try {
        totals.durationText = m_log.writeSummary(totals.summary, totals.totalUpdated, startTick, unwritten,
                                                 totals.lostAddresses);
    } catch (...) {
        m_log.close();
        totals.durationText = formatDuration(totals.durationMs);
    }
    totals.scheduled = scheduled;

    setState(RunState::Idle);
    m_addressRecords.closeAll();
    {
        std::lock_guard lock(m_mutex);
        m_lastTotals = totals;
    }
    notify([&totals](RunObserver& observer) { observer.runEnded(totals); });
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_finishedCv.notify_all();
}

int PublishRun::launchIndependent() {
    return forEachWaitingSite([this](SiteWorker& worker) {
        {
            // A free slot; 同时站点数 is read again on every wake-up and at least every 100 ms. A
            // value below 1 counts as 1, so the run cannot stall after its first site.
            std::unique_lock lock(m_shared.wakeMutex);
            while (!m_shared.stopRequested.load() &&
                   m_shared.activeSites.load() >= std::max(1, m_shared.settings.simultaneousSites())) {
                m_shared.siteFinished.wait_for(lock, kLauncherPoll);
            }
        }
        if (m_shared.stopRequested.load()) return false;
        reapThreads(false);
        if (beginTurn(worker)) {
            // When no thread can be made the site ends here, and the run goes on.
            worker.guarded(
                [&] { m_threads.emplace_back(&worker, std::thread([&worker] { worker.workerThread(); })); });
        }
        return true;
    });
}

void PublishRun::waitForAllFinished() {
    std::unique_lock lock(m_shared.wakeMutex);
    while (m_shared.activeSites.load() > 0) m_shared.siteFinished.wait_for(lock, kLauncherPoll);
}

void PublishRun::reapThreads(bool all) {
    for (std::size_t i = 0; i < m_threads.size();) {
        auto& [worker, thread] = m_threads[i];
        if (all || worker->phase() == SitePhase::Done) {
            thread.join();
            m_threads[i] = std::move(m_threads.back());
            m_threads.pop_back();
        } else {
            ++i;
        }
    }
}

int PublishRun::prepareAll() {
    return forEachWaitingSite([this](SiteWorker& worker) {
        if (beginTurn(worker)) worker.guarded([&worker] { worker.prepareSite(0); });
        return true;
    });
}

int PublishRun::forEachWaitingSite(const std::function<bool(SiteWorker&)>& turn) {
    const int count = static_cast<int>(m_workers.size());
    int position = 1;
    for (; position <= count; ++position) {
        if (m_shared.stopRequested.load()) break;
        SiteWorker& worker = *m_workers[static_cast<std::size_t>(position) - 1];
        if (!worker.site().enabled || worker.isDone()) continue;
        if (!turn(worker)) break;
    }
    return position;
}

bool PublishRun::beginTurn(SiteWorker& worker) {
    if (worker.stopRequestedAt() != 0) {
        worker.finishSite(true);  // stopped before its turn: it never starts
        return false;
    }
    m_shared.activeSites.fetch_add(1);
    worker.markStarted();
    notify([&worker](RunObserver& observer) { observer.siteStarted(worker.siteIndex()); });
    return true;
}

void PublishRun::cycleDriver() {
    while (m_shared.activeSites.load() > 0) {
        for (auto& worker : m_workers) {
            // A wanted re-login only resets the streak here.
            worker->guarded([&worker] { worker->publishNext(true); });
        }
        if (m_shared.activeSites.load() == 0) break;
        text::interruptibleWait(secondsToWait(m_shared.settings.cycleIntervalSeconds()),
                                m_shared.stopRequested, m_clock);
    }
}

void PublishRun::watchdog() {
    const std::int64_t graceNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(m_setup.stopGrace).count();
    bool stopTold = false;
    bool abortTold = false;
    std::unique_lock lock(m_watchMutex);
    while (!m_watchEnd) {
        if (!m_anyStop.load()) {
            m_watchCv.wait(lock, [this] { return m_watchEnd || m_anyStop.load(); });
            continue;
        }
        lock.unlock();
        const std::int64_t runStopAt = m_runStopAt.load();
        if (m_abortRequested.load()) {
            if (!abortTold) logRun(texts::kAborted);
            abortTold = stopTold = true;
        } else if (runStopAt != 0 && !stopTold) {
            stopTold = true;
            tellWhatTheStopWaitsFor();
        }
        const std::int64_t now = steadyNowNs();
        for (auto& worker : m_workers) {
            // A site that is busy (not between two steps of a cycle round) after a stop gets the
            // grace from the stop or from its latest sign of life, whichever came later.
            const SitePhase phase = worker->phase();
            if (phase != SitePhase::Preparing && phase != SitePhase::Publishing &&
                phase != SitePhase::Finishing) {
                continue;
            }
            if (worker->transfersAborted()) continue;
            std::int64_t stopAt = runStopAt;
            const std::int64_t siteStopAt = worker->stopRequestedAt();
            if (siteStopAt != 0 && (stopAt == 0 || siteStopAt < stopAt)) stopAt = siteStopAt;
            if (stopAt == 0) continue;
            if (now - std::max(stopAt, worker->lastActivityAt()) >= graceNs) {
                worker->abortTransfers();
                logRun(std::string(texts::kGraceOver) + formatDuration(m_setup.stopGrace.count()) +
                           std::string(texts::kGraceOverEnd),
                       worker->siteIndex());
            }
        }
        lock.lock();
        m_watchCv.wait_for(lock, kWatchdogPoll, [this] { return m_watchEnd; });
    }
    lock.unlock();
    // An abort that ended the run before this thread woke up is still logged, before the summary.
    if (m_abortRequested.load() && !abortTold) logRun(texts::kAborted);
}

void PublishRun::tellWhatTheStopWaitsFor() {
    std::vector<std::pair<int, std::string_view>> waiting;
    for (auto& worker : m_workers) {
        switch (worker->phase()) {
            case SitePhase::Preparing:
                waiting.emplace_back(worker->siteIndex(), texts::kWaitingForLogin);
                break;
            case SitePhase::Publishing:
                waiting.emplace_back(worker->siteIndex(), texts::kWaitingForSubmission);
                break;
            case SitePhase::Finishing:
                waiting.emplace_back(worker->siteIndex(), texts::kWaitingForRegeneration);
                break;
            default:
                break;
        }
    }
    logRun(std::string(texts::kStopWaiting) + std::to_string(waiting.size()) +
           std::string(texts::kStopWaitingMiddle) + formatDuration(m_setup.stopGrace.count()) +
           std::string(texts::kStopWaitingEnd));
    for (const auto& [siteIndex, text] : waiting) logRun(text, siteIndex);
}

void PublishRun::stopWatchdog() {
    {
        std::lock_guard lock(m_watchMutex);
        m_watchEnd = true;
    }
    m_watchCv.notify_all();
    if (m_watchThread.joinable()) m_watchThread.join();
}

}  // namespace oz::engine
