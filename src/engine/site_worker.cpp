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
    return SiteResult::fromRun(m_index, m_state.updatedCount, m_run.limitFor(m_site), m_state.articleCount,
                               m_state.unknownCount, m_state.listed);
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
    m_state.articleMark.unreadable = false;  // a new session may read the list
    bool loggedIn = false;
    for (int t = 0; t < kLoginTries; ++t) {
        std::string reason;
        if (backend::login(session, m_context, &reason)) {
            loggedIn = true;
            break;
        }
        log(withReason(std::string(texts::kLoginRetrying), reason));
        if (isDone() || stopping() || transfersAborted()) break;
    }
    if (!loggedIn) {
        log(texts::kLoginGivenUp);
        finishSite(true);
        return false;
    }
    log(texts::kLoginSucceeded);
    if (isDone()) return false;
    if (m_run.stopRequested.load()) {
        finishSite(true);
        return false;
    }

    if (!m_state.listed) {
        m_state.articles.assign(
            content::listArticleFiles(m_site.articleDir, m_site.fileFilter, m_run.listing));
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
    std::optional<std::string> path =
        content::nextArticle(m_state.articles, m_run.settings.publishInReadOrder());
    if (!path) {
        finishSite(false);
        return true;
    }
    content::LoadedText loaded = content::loadTextFile(std::filesystem::path(content::toLocalPath(*path)),
                                                       content::encodingCodeFromInt(m_site.fileEncoding));
    std::optional<content::ArticleDraft> draft;
    if (loaded.problem == content::LoadProblem::None) {
        draft = content::composeText(m_site, m_state.pools, *path, std::move(loaded.text));
    }
    if (!draft) {
        log(joined(articleProblemText(loaded.problem), content::displayText(*path)));
        m_phase = SitePhase::Ready;
        return true;
    }
    m_state.current = std::move(*draft);

    const backend::SubmitResult result = publishArticle();
    if (result.published()) {
        afterSuccess(result);
        if (m_site.deleteAfterPublish) {
            std::error_code ignored;
            std::filesystem::remove(std::filesystem::path(*path), ignored);
        }
        const int limit = m_run.limitFor(m_site);
        if (limit > 0 && m_state.updatedCount >= limit) finishSite(false);
    } else if (result.outcome == backend::SubmitOutcome::Unknown) {
        // Maybe stored, maybe not: the file stays, the record says so, nothing counts it as failed.
        ++m_state.unknownCount;
        log(std::string(texts::kOutcomeUnknownStart) + result.reason +
            std::string(texts::kOutcomeUnknownEnd) + m_state.current.title);
    } else {
        log(withReason(joined(texts::kPublishFailed, m_state.current.title), result.reason));
        if (++m_state.failStreak >= kReloginAfterFailures) {
            m_state.failStreak = 0;
            if (!isDone()) m_phase = SitePhase::Ready;
            return false;
        }
    }
    if (!cycleMode && !isDone()) pause();
    if (!isDone()) m_phase = SitePhase::Ready;
    return true;
}

backend::SubmitResult SiteWorker::publishArticle() {
    backend::AdminSession session{m_site, *m_requester};
    for (int submission = 1;; ++submission) {
        // Every submission starts from the composed article: the insertions applied by a failed
        // one must not be applied a second time.
        content::ArticleDraft sent = m_state.current;
        backend::SubmitResult result =
            backend::submitArticle(session, m_context, sent, m_state.pools, m_index, &m_state.articleMark);
        // Only an article the site surely does not hold is sent again.
        const bool last = result.outcome != backend::SubmitOutcome::Failed || submission >= kMaxSubmissions ||
                          stopping() || isDone() || transfersAborted() || !m_run.settings.retryOnFailure();
        if (last) {
            m_state.current = std::move(sent);
            return result;
        }
        text::interruptibleWait(kRetryWait, m_wake, m_run.clock);
    }
}

void SiteWorker::afterSuccess(const backend::SubmitResult& result) {
    ++m_state.updatedCount;
    m_state.failStreak = 0;
    m_run.totalUpdated.fetch_add(1);
    const int category = m_state.current.typeId;
    std::string line = joined(texts::kPublished, std::to_string(m_state.updatedCount)) +
                       std::string(texts::kPublishedCategory) + std::to_string(category) + "]";
    if (result.outcome == backend::SubmitOutcome::Confirmed) {
        line += std::string(texts::kConfirmedStart) + result.reason + std::string(texts::kConfirmedEnd);
    }
    log(line);
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
        if (m_run.observer != nullptr) m_run.observer->siteFinished(m_index);
        if (started && !skipRegeneration) regenerateAtEnd();
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
    m_run.addressRecords.closeSite(m_site);
    m_phase = SitePhase::Done;
    // Last of all, so that when the run sees no active site every site's lines are written.
    if (started) {
        m_run.activeSites.fetch_sub(1);
        m_run.notifySiteFinished();
    }
}

void SiteWorker::regenerateAtEnd() {
    const bool refresh = m_site.refreshHtmlMode == 1 && m_state.articleCount > 0 && m_state.updatedCount > 0;
    const bool oneKey = m_run.settings.oneClickUpdate() && m_state.articleCount > 0;
    if (!refresh && !oneKey) return;
    if (transfersAborted() || !m_requester) {
        log(texts::kRegenerationSkipped);
        return;
    }
    backend::AdminSession session{m_site, *m_requester};
    if (refresh) {
        log(texts::kRegenerating);
        backend::regenerateSite(session, m_context, m_state.refreshCategories, m_index, false);
    }
    if (oneKey && !transfersAborted()) backend::oneKeyUpdate(session, m_context, m_index);
    if (transfersAborted()) log(texts::kRegenerationCut);
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
