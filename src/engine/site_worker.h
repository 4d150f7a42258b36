#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "backend/article_submission.h"
#include "backend/backend_context.h"
#include "config/site_config.h"
#include "engine/run_shared.h"
#include "engine/settle_queue.h"
#include "engine/site_result.h"
#include "engine/site_run_state.h"
#include "http/http_requester.h"

namespace oz::engine {

// Where a site is in its run; the run's stop watchdog looks at it from another thread. Ready is
// between two article steps (a site waiting for its turn in a cycle round).
enum class SitePhase { Waiting, Preparing, Ready, Publishing, Finishing, Done };

// Does all the work for one site during a run: prepares it (configuration check, login, article
// list, word lists), publishes one article per publishNext call, and finishes it once
// (regeneration, counters). In independent mode workerThread runs all of it on a thread of its own;
// in synchronous cycle mode the run calls the steps itself. The steps run on one thread at a time;
// the controller side (requestStop, wake, abortTransfers and the readers) may be called from any.
class SiteWorker {
   public:
    // How many logins a site gets per run, and tries per login.
    static constexpr int kMaxLogins = 3;
    static constexpr int kLoginTries = 3;
    // Submissions of one article when "失败时重复尝试" is on, and the wait between them.
    static constexpr int kMaxSubmissions = 3;
    static constexpr std::chrono::milliseconds kRetryWait{100};
    // Failed submissions in a row after which the site logs in again.
    static constexpr int kReloginAfterFailures = 10;

    // `site` and `run` must outlive the worker. `siteIndex` is the 1-based list position. A run
    // makes a fresh worker per site, so every run starts from a reset state.
    SiteWorker(int siteIndex, const config::SiteConfig& site, RunShared& run);
    ~SiteWorker();
    SiteWorker(const SiteWorker&) = delete;
    SiteWorker& operator=(const SiteWorker&) = delete;

    // Checks the configuration, logs in (up to three tries; one when the back end refused the user
    // name or password), then on the first preparation of the run lists the articles and splits
    // the word lists. False when the site was given up; it is then finished already. A later
    // preparation (a re-login) keeps the list and its position, so no article of the run is taken
    // twice.
    bool prepareSite(int attempt);
    // Takes and processes the next article. False only when the caller should log in again (ten
    // failed submissions in a row); true otherwise, also when there was nothing to do.
    bool publishNext(bool cycleMode);
    // Ends the site once: optional regeneration and one-key update, the log line, the counter.
    void finishSite(bool skipRegeneration);
    // Independent mode: prepares, publishes until done (logging in again at most twice after
    // failure streaks) and finishes. Never throws: an unexpected error finishes the site.
    void workerThread();
    // Logs an error the worker did not expect and finishes the site; the run goes on.
    void failSite(std::string_view what);
    // Runs a step of the site; whatever it throws ends the site through failSite.
    template <typename Step>
    void guarded(Step&& step) {
        try {
            step();
        } catch (const std::exception& error) {
            failSite(error.what());
        } catch (...) {
            failSite("?");
        }
    }

    // Sets apart the site's failure records from those of records that share its 域名 and 用户.
    void setRecordTag(std::string tag) { m_context.recordTag = std::move(tag); }

    // Controller side.
    void markStarted();  // the run launched or prepared this site
    // "停止更新选定站点": the site finishes at its next article step. False when it is not going.
    bool requestStop();
    // Ends a pause or retry wait at once (the run's stop was requested).
    void wake();
    // Cuts off the site's transfers: the running request ends within about 50 ms and later ones
    // fail at once; the end-of-site regeneration is skipped or ends where it is. A submission cut
    // off this way has an unknown outcome.
    void abortTransfers();
    bool transfersAborted() const { return m_abort.load(); }
    // Steady-clock nanoseconds of the site's own stop request; 0 when none.
    std::int64_t stopRequestedAt() const { return m_stopAt.load(); }
    // Steady-clock nanoseconds of the site's latest sign of life: a step begun, a request sent,
    // a log line. A site still busy long after a stop and after this is taken as hanging.
    std::int64_t lastActivityAt() const { return m_activeAt.load(); }

    SitePhase phase() const { return m_phase.load(); }
    bool isDone() const { return m_state.done.load(); }
    bool isStarted() const { return m_state.started.load(); }
    int siteIndex() const { return m_index; }
    const config::SiteConfig& site() const { return m_site; }
    // Read once the site is finished (or from the worker's own thread).
    const SiteRunState& state() const { return m_state; }
    // The site's summary row, with the limit read now.
    SiteResult result() const;

   private:
    class ActivitySettings;

    void log(std::string_view text);
    void touch();
    void enterPhase(SitePhase phase);
    bool stopping() const;  // the run's stop or the site's own
    // Whether another article may be taken: the list is not used up, and the count is not reached
    // by the published and the parked articles.
    bool mayTakeAnother() const;
    // Uploads the draft's local pictures and points its body at the stored copies. False (logged)
    // when one could not be uploaded: the article is not posted, its file stays.
    bool sendPictures(content::ArticleDraft& draft);
    // Sends m_state.current, and again after a failure while "失败时重复尝试" allows (each send after
    // the first is logged with the reason of the one before).
    backend::SubmitResult sendArticle();
    // Counts, logs and parks as the result says. False when the caller should log in again.
    bool handleResult(const backend::SubmitResult& result, const content::ArticleDraft& composed,
                      const std::string& path);
    // Counts a published article, logs it, regenerates (刷新HTML类型 2), deletes its file (更新后删除)
    // and ends the site when its count is reached.
    void afterSuccess(const backend::SubmitResult& result, int category, const std::string& path);
    // Settles the parked articles whose check is due. False when the caller should log in again.
    bool settleDue();
    // The site stops: each parked article is looked for once more, and what is not found is unknown.
    void settleOnStop();
    void waitForNextCheck();
    void pause();
    void regenerateAtEnd();
    // The published articles (and the pages the regeneration made) fetched as a visitor sees them.
    void checkLive();
    void releaseList();
    // The journal's part (site_worker_journal.cpp): looks up what earlier runs left unknown, and
    // takes out of the list the files the back end holds (unless 重复发布已发布文件) or whose last
    // outcome could not be told.
    void reviewJournal(backend::AdminSession& session);
    void leaveOutSentFiles(std::vector<std::string>& files);
    // Two articles never get one static file name on a back end (this run's, or one sent before):
    // the second gets a number appended, and the log says so.
    void uniqueFileName(content::ArticleDraft& draft);

    const int m_index;
    const config::SiteConfig& m_site;
    RunShared& m_run;
    SiteRunState m_state;
    SettleQueue m_settling;  // articles whose answer said nothing trustworthy, not on the site yet
    std::unique_ptr<ActivitySettings> m_settings;  // the run's settings, noting each request
    backend::BackendContext m_context;
    std::unique_ptr<http::HttpRequester> m_requester;  // made by each preparation
    std::atomic<bool> m_abort{false};                  // watched by the requester and the back end
    std::atomic<bool> m_wake{false};                   // ends waits: run stop or site stop
    std::atomic<std::int64_t> m_stopAt{0};
    std::atomic<std::int64_t> m_activeAt{0};
    std::atomic<SitePhase> m_phase{SitePhase::Waiting};
};

}  // namespace oz::engine
