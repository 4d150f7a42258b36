#include "engine/site_worker.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "backend/admin_session.h"
#include "backend/answer_reader.h"
#include "backend/article_submission.h"
#include "backend/back_end_identity.h"
#include "backend/live_check.h"
#include "backend/picture_upload.h"
#include "backend/regeneration.h"
#include "content/article_source.h"
#include "content/compose.h"
#include "content/load_text.h"
#include "content/text_lines.h"
#include "engine/engine_texts.h"
#include "text/random.h"

namespace oz::engine {

namespace {

std::int64_t steadyNowNs() {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return std::max<std::int64_t>(ns, 1);
}

// Seconds as stored in 更新间隔1/2, as whole milliseconds within the int range.
int secondsToMs(float seconds) {
    const double ms = static_cast<double>(seconds) * 1000.0;
    if (!(ms > 0)) return 0;  // also NaN
    if (ms >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(std::llround(ms));
}

std::string_view articleProblemText(content::LoadProblem problem) {
    switch (problem) {
        case content::LoadProblem::TooLarge:
            return texts::kArticleTooLarge;
        case content::LoadProblem::Binary:
            return texts::kArticleBinary;
        default:
            return texts::kArticleMissing;
    }
}

std::string joined(std::string_view a, const std::string& b) {
    std::string line(a);
    line += b;
    return line;
}

// The log line of an article file whose real path leads where no article is read.
std::string refusedLine(const std::string& path, const std::string& realPath, content::PathRefusal why) {
    std::string line = joined(texts::kArticleOutsideStart, content::displayText(path));
    if (!realPath.empty()) line += " → " + content::displayText(realPath);
    line += why == content::PathRefusal::InDataFolder ? texts::kArticleInDataEnd : texts::kArticleOutsideEnd;
    return line;
}

// A file that cannot be looked at because a folder on its way refuses the search: the folder lost
// its rights, the file may well be there.
bool folderDenied(const std::string& path) {
    std::error_code error;
    (void)std::filesystem::status(std::filesystem::path(content::toLocalPath(path)), error);
    return error == std::errc::permission_denied;
}

// A failure's log line with its reason, when there is one: "更新失败：标题（连接超时）".
std::string withReason(const std::string& line, const std::string& reason) {
    return line + backend::reasonInParentheses(reason);
}

}  // namespace

// The run's settings as the site's back-end client reads them. Every back-end request reads the
// access method at the moment it is sent, so that read also tells that the site is alive.
class SiteWorker::ActivitySettings final : public backend::RunSettings {
   public:
    ActivitySettings(const backend::RunSettings& settings, SiteWorker& worker)
        : m_settings(settings), m_worker(worker) {}

    bool synchronousCycle() const override { return m_settings.synchronousCycle(); }
    double cycleIntervalSeconds() const override { return m_settings.cycleIntervalSeconds(); }
    int simultaneousSites() const override { return m_settings.simultaneousSites(); }
    bool useGlobalCount() const override { return m_settings.useGlobalCount(); }
    int globalCount() const override { return m_settings.globalCount(); }
    bool shutdownWhenDone() const override { return m_settings.shutdownWhenDone(); }
    bool retryOnFailure() const override { return m_settings.retryOnFailure(); }
    bool publishInReadOrder() const override { return m_settings.publishInReadOrder(); }
    bool htmlAllCategories() const override { return m_settings.htmlAllCategories(); }
    bool rssAllCategories() const override { return m_settings.rssAllCategories(); }
    bool refreshChildCategories() const override { return m_settings.refreshChildCategories(); }
    bool oneClickUpdate() const override { return m_settings.oneClickUpdate(); }
    int accessMethod() const override {
        m_worker.touch();
        return m_settings.accessMethod();
    }
    bool customRefresh(backend::CustomRefresh item) const override { return m_settings.customRefresh(item); }
    double settleSeconds() const override { return m_settings.settleSeconds(); }
    std::string defaultProxy() const override { return m_settings.defaultProxy(); }
    bool republishPublished() const override { return m_settings.republishPublished(); }

   private:
    const backend::RunSettings& m_settings;
    SiteWorker& m_worker;
};

SiteWorker::SiteWorker(int siteIndex, const config::SiteConfig& site, RunShared& run)
    : m_index(siteIndex),
      m_site(site),
      m_run(run),
      m_settings(std::make_unique<ActivitySettings>(run.settings, *this)) {
    m_context.settings = m_settings.get();
    m_context.log = [this](int index, const std::string& text) {
        touch();
        m_run.log.logLine(text, index);
    };
    m_context.dataDir = run.dataDir;
    m_context.abort = &m_abort;
    m_context.clock = &run.clock;
    m_context.addressRecords = &run.addressRecords;
    m_context.limits = run.backendLimits;
    m_context.writeFailures = &run.writeFailures;
    m_state.tracking.ledger = &run.ledger;
    m_state.tracking.journal = &run.journal;
    m_state.tracking.backEnd = backend::backEndKey(site);
}

SiteWorker::~SiteWorker() = default;

void SiteWorker::log(std::string_view text) {
    touch();
    m_run.log.logLine(text, m_index);
}

void SiteWorker::touch() { m_activeAt = steadyNowNs(); }

void SiteWorker::enterPhase(SitePhase phase) {
    touch();
    m_phase = phase;
}

bool SiteWorker::stopping() const { return m_run.stopRequested.load() || m_state.stopRequested.load(); }

void SiteWorker::markStarted() { m_state.started = true; }

bool SiteWorker::requestStop() {
    if (!m_site.enabled || isDone()) return false;
    std::int64_t none = 0;
    m_stopAt.compare_exchange_strong(none, steadyNowNs());
    m_state.stopRequested = true;
    m_wake = true;
    return true;
}

void SiteWorker::wake() { m_wake = true; }

void SiteWorker::abortTransfers() {
    m_abort = true;
    m_wake = true;
}

SiteResult SiteWorker::result() const {
    SiteResult row =
        SiteResult::fromRun(m_index, m_state.updatedCount, m_run.limitFor(m_site), m_state.articleCount,
                            m_state.unknownCount, m_state.listed, m_state.undeletedCount);
    row.liveConfirmed = m_state.live.confirmed;
    row.liveFailed = m_state.live.failed;
    row.homePageFailed = m_state.live.homePageFailed;
    row.skippedPublished = m_state.skippedPublished;
    return row;
}

bool SiteWorker::prepareSite(int attempt) {
    if (isDone()) return false;
    enterPhase(SitePhase::Preparing);
    // A fresh requester: no cookie of an earlier login survives.
    m_requester = std::make_unique<http::HttpRequester>();
    m_requester->setStopFlags(&m_abort);

    if (m_site.domain.empty() || m_site.user.empty() || m_site.password.empty()) {
        log(texts::kConfigIncomplete);
        finishSite(true);
        return false;
    }
    std::string starting(texts::kLoginStarting);
    if (attempt >= 2) {
        starting += "(第 ";
        starting += std::to_string(attempt);
        starting += " 次尝试)";
    }
    log(starting);

    backend::AdminSession session{m_site, *m_requester};
    m_state.tracking.listUnreadable = false;  // a new session may read the list
    bool loggedIn = false;
    bool accountRefused = false;
    for (int t = 0; t < kLoginTries; ++t) {
        std::string reason;
        if (backend::login(session, m_context, &reason, &accountRefused)) {
            loggedIn = true;
            break;
        }
        // A wrong password stays wrong (and on DedeBIZ a third one brings on the verification code).
        log(withReason(std::string(accountRefused ? texts::kLoginRefused : texts::kLoginRetrying), reason));
        if (accountRefused || isDone() || stopping() || transfersAborted()) break;
    }
    if (!loggedIn) {
        log(accountRefused ? texts::kLoginRefusedGivenUp : texts::kLoginGivenUp);
        finishSite(true);
        return false;
    }
    log(texts::kLoginSucceeded);
    if (isDone()) return false;
    if (m_run.stopRequested.load()) {
        finishSite(true);
        return false;
    }
    backend::identifyBackEnd(session, m_context, m_state.tracking);
    if (!m_state.listed) reviewJournal(session);

    if (!m_state.listed) {
        std::vector<content::RefusedFile> refused;
        std::vector<std::string> files = content::listArticleFiles(m_site.articleDir, m_site.fileFilter,
                                                                   m_run.listing, m_run.dataDir, &refused);
        for (const content::RefusedFile& file : refused) log(refusedLine(file.path, file.realPath, file.why));
        // Published files that could not be deleted stay out, as deleted ones would.
        const auto published = std::remove_if(files.begin(), files.end(), [this](const std::string& file) {
            return m_run.undeleted.isPublished(file);
        });
        const auto skipped = std::distance(published, files.end());
        files.erase(published, files.end());
        if (skipped > 0) {
            log(joined(texts::kUndeletedSkipped, std::to_string(skipped)) +
                std::string(texts::kUndeletedSkippedEnd));
        }
        leaveOutSentFiles(files);
        m_state.articles.assign(std::move(files));
        m_state.articleCount = m_state.articles.count();
        m_state.pools = content::buildSitePools(m_site, m_run.listing);
        m_state.refreshCategories = m_state.pools.categories.entries;
        m_state.listed = true;
        if (m_site.tailKeywordInsert && m_site.tailArticleBlocks) {
            log(joined(texts::kTailBlocksRead, std::to_string(m_state.pools.tailInsert.size()) + " 个"));
        }
        const int limit = m_run.limitFor(m_site);
        if (m_state.articleCount > 0) {
            std::string line = joined(texts::kListRead, std::to_string(m_state.articleCount));
            line += texts::kListReadCount;
            if (limit > 0) {
                line += ' ';
                line += std::to_string(limit);
                line += texts::kArticlesUnit;
            } else {
                line += texts::kListReadAll;
            }
            log(line);
        } else if (content::articleFolderOpens(m_site.articleDir)) {
            log(joined(texts::kEmptyFolder, m_site.articleDir) + std::string(texts::kEmptyFolderFilter) +
                m_site.fileFilter + std::string(texts::kEmptyFolderEnd));
        } else {
            std::string line = joined(texts::kNoArticlesFilter, m_site.fileFilter);
            line += texts::kNoArticlesFolder;
            line += m_site.articleDir;
            line += texts::kNoArticlesEnd;
            log(line);
        }
    }
    m_phase = SitePhase::Ready;
    return true;
}

bool SiteWorker::publishNext(bool cycleMode) {
    if (!m_site.enabled || isDone() || !isStarted()) return true;
    if (!m_requester || !m_state.listed) {
        // Never prepared (the preparation failed before its end): nothing to publish.
        finishSite(false);
        return true;
    }
    enterPhase(SitePhase::Publishing);
    if (stopping() || transfersAborted()) {
        finishSite(false);
        return true;
    }
    if (!settleDue()) return false;
    if (isDone()) return true;
    if (!mayTakeAnother()) {
        if (m_settling.empty()) {
            finishSite(false);
            return true;
        }
        // Only parked articles are left: the site waits for their next check (in a cycle, the
        // next round comes back).
        if (!cycleMode) waitForNextCheck();
        m_phase = SitePhase::Ready;
        return true;
    }
    std::optional<std::string> path =
        content::nextArticle(m_state.articles, m_run.settings.publishInReadOrder());
    if (!path) {
        m_phase = SitePhase::Ready;
        return true;
    }
    // Tested again as it is read: the folder may have changed since it was listed.
    const content::ArticlePath real = content::resolveArticlePath(m_site.articleDir, *path, m_run.dataDir);
    if (real.refusal != content::PathRefusal::None) {
        log(refusedLine(*path, real.realPath, real.refusal));
        m_phase = SitePhase::Ready;
        return true;
    }
    content::LoadedText loaded;
    loaded.problem = content::LoadProblem::Unreadable;
    if (!real.realPath.empty()) {
        loaded = content::loadTextFile(std::filesystem::path(real.realPath),
                                       content::encodingCodeFromInt(m_site.fileEncoding), true);
    }
    std::optional<content::ArticleDraft> draft;
    if (loaded.problem == content::LoadProblem::None) {
        draft = content::composeText(m_site, m_state.pools, *path, std::move(loaded.text));
        if (draft) draft->contentHash = loaded.contentHash;
    }
    if (!draft) {
        const bool denied = loaded.problem == content::LoadProblem::Unreadable && folderDenied(*path);
        log(joined(denied ? texts::kArticleFolderUnreadable : articleProblemText(loaded.problem),
                   content::displayText(*path)));
        m_phase = SitePhase::Ready;
        return true;
    }
    m_state.currentPictures.clear();
    if (!sendPictures(*draft)) {
        m_phase = SitePhase::Ready;
        return true;
    }
    uniqueFileName(*draft);
    const content::ArticleDraft composed = *draft;
    m_state.current = std::move(*draft);
    const backend::SubmitResult result = sendArticle();
    if (!handleResult(result, composed, *path)) {
        if (!isDone()) m_phase = SitePhase::Ready;
        return false;
    }
    if (!cycleMode && !isDone()) pause();
    if (!isDone()) m_phase = SitePhase::Ready;
    return true;
}

bool SiteWorker::mayTakeAnother() const {
    if (m_state.articles.cursor >= m_state.articles.count()) return false;
    const int limit = m_run.limitFor(m_site);
    return limit <= 0 || m_state.updatedCount + m_settling.size() < limit;
}

backend::SubmitResult SiteWorker::sendArticle() {
    backend::AdminSession session{m_site, *m_requester};
    const content::ArticleDraft composed = m_state.current;
    std::string previousReason;
    for (int sends = 1;; ++sends) {
        if (sends > 1) {
            log(std::string(texts::kSendingAgainStart) + std::to_string(sends) +
                std::string(texts::kSendingAgainMiddle) + composed.title +
                std::string(texts::kPreviousReasonStart) + previousReason +
                std::string(texts::kPreviousReasonEnd));
        }
        // Every submission starts from the composed article: the insertions applied by a failed
        // one must not be applied a second time.
        content::ArticleDraft sent = composed;
        backend::SubmitResult result =
            backend::submitArticle(session, m_context, sent, m_state.pools, m_index, &m_state.tracking);
        // Only an article the site surely does not hold is sent again.
        const bool last = result.outcome != backend::SubmitOutcome::Failed || result.proxyFailed ||
                          sends >= kMaxSubmissions || stopping() || isDone() || transfersAborted() ||
                          !m_run.settings.retryOnFailure();
        if (last) {
            m_state.current = std::move(sent);
            return result;
        }
        previousReason = result.reason;
        text::interruptibleWait(kRetryWait, m_wake, m_run.clock);
    }
}

bool SiteWorker::handleResult(const backend::SubmitResult& result, const content::ArticleDraft& composed,
                              const std::string& path) {
    const std::string& title = m_state.current.title;
    switch (result.outcome) {
        case backend::SubmitOutcome::Published:
        case backend::SubmitOutcome::Confirmed:
            afterSuccess(result, m_state.current.typeId, path);
            return true;
        case backend::SubmitOutcome::Pending: {
            // Maybe stored later: the site goes on, and the article is looked for again.
            log(std::string(texts::kPendingStart) + result.reason + std::string(texts::kPendingEnd) + title);
            SettleQueue::Parked parked;
            parked.draft = composed;
            parked.path = path;
            parked.pending = result.pending;
            m_settling.park(std::move(parked), m_run.clock.tickMs(),
                            static_cast<std::int64_t>(std::llround(m_run.settings.settleSeconds() * 1000.0)));
            return true;
        }
        case backend::SubmitOutcome::Unknown:
            // Maybe stored, maybe not: the file stays, the record says so, nothing counts it as failed.
            ++m_state.unknownCount;
            log(std::string(texts::kOutcomeUnknownStart) + result.reason +
                std::string(texts::kOutcomeUnknownEnd) + title);
            return true;
        case backend::SubmitOutcome::Failed:
            break;
    }
    log(withReason(joined(texts::kPublishFailed, title), result.reason));
    // Every further article, and a new login, would go the same dead way: the site ends here.
    if (result.proxyFailed) {
        log(std::string(texts::kProxyEndsSite));
        finishSite(false);
        return false;
    }
    if (++m_state.failStreak >= kReloginAfterFailures) {
        m_state.failStreak = 0;
        return false;
    }
    return true;
}

void SiteWorker::afterSuccess(const backend::SubmitResult& result, int category, const std::string& path) {
    ++m_state.updatedCount;
    m_state.failStreak = 0;
    m_run.totalUpdated.fetch_add(1);
    std::string line = joined(texts::kPublished, std::to_string(m_state.updatedCount)) +
                       std::string(texts::kPublishedCategory) + std::to_string(category) + "]" +
                       std::string(texts::kPublishedTitle) + m_state.current.title + " " + result.address;
    if (result.outcome == backend::SubmitOutcome::Confirmed) {
        line += std::string(texts::kConfirmedStart) + result.reason + std::string(texts::kConfirmedEnd);
    }
    log(line);
    m_state.published.push_back({m_state.current.title, result.address, category, m_state.currentPictures});
    if (m_site.refreshHtmlMode == 2 && !transfersAborted()) {
        log(texts::kRegenerating);
        backend::AdminSession session{m_site, *m_requester};
        backend::regenerateSite(session, m_context, {category}, m_index, true);
        if (transfersAborted()) log(texts::kRegenerationCut);
    }
    auto& refresh = m_state.refreshCategories;
    if (category > 0 && std::find(refresh.begin(), refresh.end(), category) == refresh.end()) {
        refresh.push_back(category);
    }
    if (m_site.deleteAfterPublish) {
        std::error_code error;
        if (!m_run.removeFile(std::filesystem::path(content::toLocalPath(path)), error)) {
            // Published and still there: said, counted, and kept out of later runs.
            ++m_state.undeletedCount;
            log(std::string(texts::kUndeletedStart) + backend::writeErrorReason(error.value()) +
                std::string(texts::kUndeletedEnd) + content::displayText(path));
            if (auto failure = m_run.undeleted.add(path)) m_run.writeFailures.fileFailed(*failure);
        }
    }
    const int limit = m_run.limitFor(m_site);
    if (limit > 0 && m_state.updatedCount >= limit && m_settling.empty()) finishSite(false);
}

bool SiteWorker::settleDue() {
    if (m_settling.empty()) return true;
    bool reloginWanted = false;
    backend::AdminSession session{m_site, *m_requester};
    for (SettleQueue::Parked& parked : m_settling.takeDue(m_run.clock.tickMs())) {
        if (stopping() || transfersAborted()) {
            m_settling.putBack(std::move(parked), m_run.clock.tickMs());
            continue;
        }
        const backend::SubmitResult result = backend::settleArticle(
            session, m_context, parked.pending, m_index,
            parked.last ? backend::Settle::Last : backend::Settle::Again, m_state.tracking);
        if (result.outcome == backend::SubmitOutcome::Pending) {
            m_settling.putBack(std::move(parked), m_run.clock.tickMs());
            continue;
        }
        m_state.current = parked.draft;
        m_state.current.title = parked.pending.title;
        // Not found once its settling time is over is no proof: a back end may store it later still.
        // It is not sent again in this run; the next run looks it up first (the journal).
        reloginWanted = !handleResult(result, parked.draft, parked.path) || reloginWanted;
        if (isDone()) break;
    }
    return !reloginWanted;
}

void SiteWorker::settleOnStop() {
    if (m_settling.empty()) return;
    std::optional<backend::AdminSession> session;
    if (m_requester) session.emplace(backend::AdminSession{m_site, *m_requester});
    for (SettleQueue::Parked& parked : m_settling.takeAll()) {
        backend::SubmitResult result;
        if (session) {
            result = backend::settleArticle(*session, m_context, parked.pending, m_index,
                                            backend::Settle::Stop, m_state.tracking);
        } else {
            result.outcome = backend::SubmitOutcome::Unknown;
            result.reason = parked.pending.reason;
        }
        m_state.current = parked.draft;
        m_state.current.title = parked.pending.title;
        handleResult(result, parked.draft, parked.path);
    }
}

void SiteWorker::waitForNextCheck() {
    const std::int64_t wait = m_settling.nextCheckAt() - m_run.clock.tickMs();
    if (wait > 0) text::interruptibleWait(std::chrono::milliseconds(wait), m_wake, m_run.clock);
}

void SiteWorker::pause() {
    const int ms = text::randomInt(secondsToMs(m_site.intervalMin), secondsToMs(m_site.intervalMax));
    if (ms > 0) text::interruptibleWait(std::chrono::milliseconds(ms), m_wake, m_run.clock);
}

void SiteWorker::finishSite(bool skipRegeneration) {
    if (m_state.done.exchange(true)) return;
    enterPhase(SitePhase::Finishing);
    const bool started = isStarted();
    try {
        settleOnStop();
        if (m_run.observer != nullptr) m_run.observer->siteFinished(m_index);
        if (started && !skipRegeneration) {
            regenerateAtEnd();
            checkLive();
        }
    } catch (const std::exception& error) {
        try {
            log(joined(texts::kUnexpectedError, error.what()));
        } catch (...) {
        }
    } catch (...) {
    }
    if (started) {
        try {
            log(joined(texts::kSiteStopped, std::to_string(m_state.updatedCount)) +
                std::string(texts::kArticlesUnit));
        } catch (...) {
        }
    }
    releaseList();
    m_run.addressRecords.closeSite(m_site, m_context.recordTag);
    m_phase = SitePhase::Done;
    // Last of all, so that when the run sees no active site every site's lines are written.
    if (started) {
        m_run.activeSites.fetch_sub(1);
        m_run.notifySiteFinished();
    }
}

void SiteWorker::releaseList() {
    std::vector<std::string>().swap(m_state.articles.files);
    m_state.articles.picker.reset();
    m_requester.reset();
}

void SiteWorker::failSite(std::string_view what) {
    try {
        log(joined(texts::kUnexpectedError, std::string(what)));
    } catch (...) {
    }
    finishSite(false);
}

void SiteWorker::workerThread() {
    guarded([this] {
        for (int attempt = 1; attempt <= kMaxLogins; ++attempt) {
            prepareSite(attempt);
            bool reloginWanted = false;
            while (!isDone()) {
                if (!publishNext(false)) {
                    reloginWanted = true;
                    break;
                }
            }
            if (isDone() || m_run.stopRequested.load() || !reloginWanted) break;
        }
        finishSite(false);
    });
}

}  // namespace oz::engine
