#include "backend/article_submission.h"

#include <algorithm>
#include <optional>

#include "backend/answer_reader.h"
#include "backend/article_form.h"
#include "backend/html_elements.h"
#include "backend/progress_pages.h"
#include "backend/records.h"
#include "content/article_source.h"
#include "content/insertion.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

constexpr const char* kFrameEnd = "'></iframe>";
constexpr const char* kLeftOutStart = "已略去站点编码不支持的字符“";
constexpr const char* kLeftOutEnd = "”：";

// The two follow-ups the success page offers, each when its custom-refresh item is checked. They
// read the answer with one position that moves forward.
void runFollowUps(AdminSession& session, const BackendContext& context, const std::string& answer,
                  int siteIndex) {
    const RunSettings& settings = context.options();
    const BackendFamily& family = familyOf(session);
    text::MarkerPosition position;
    if (settings.customRefresh(CustomRefresh::NextArticle)) {
        std::string src = text::textBetween(answer, family.nextArticleFrame, kFrameEnd, position);
        if (!src.empty()) {
            followProgressPages(session, context, src, siteIndex, "刷新Kivra下篇文档");
        } else {
            position = {};  // a page without that frame may still carry the tag frames
        }
    }
    if (settings.customRefresh(CustomRefresh::StaticTags) && !family.tagFrame.empty()) {
        std::string src = text::textBetween(answer, family.tagFrame, kFrameEnd, position);
        if (src.empty()) return;
        context.logLine(siteIndex, "开始刷新Kivratag列表");
        // An article has a few tags; a page with thousands of frames is not followed frame by frame.
        int followed = 0;
        for (; !src.empty() && !context.aborted() && followed < context.limits.tagFollowUps; ++followed) {
            context.logLine(siteIndex, src);
            followProgressPages(session, context, src, siteIndex, "");
            src = text::textBetween(answer, family.tagFrame, kFrameEnd, position);
        }
        if (!src.empty() && !context.aborted()) {
            int left = 0;
            for (; !src.empty(); ++left)
                src = text::textBetween(answer, family.tagFrame, kFrameEnd, position);
            context.logLine(siteIndex, "tag列表页过多：只刷新了前 " + std::to_string(followed) +
                                           " 个，略过其余 " + std::to_string(left) + " 个");
        }
        context.logLine(siteIndex, "结束刷新Kivratag列表");
    }
}

// What a published or confirmed article leaves: its address on record, no failure record.
void notePublished(const BackendContext& context, const config::SiteConfig& site, int siteIndex,
                   const std::string& title, const std::string& address) {
    recordAddress(context, site, siteIndex, address);
    removeFailureRecord(context.dataDir, site, title, context.recordTag);
}

// The outcome of a journal entry, when there is one. A line that cannot be written leaves the entry
// without an outcome: the next run looks the article up first, which is safe.
void noteOutcome(const ArticleTracking* tracking, const std::string& key, JournalOutcome outcome, int id = 0,
                 const std::string& address = {}) {
    if (tracking != nullptr && tracking->journal != nullptr && !key.empty()) {
        tracking->journal->settled(tracking->backEnd, key, outcome, id, address);
    }
}

}  // namespace

std::string articleAddress(const config::SiteConfig& site, const std::string& answer,
                           const BackendFamily& family) {
    // The link of the success page's list; a page laid out otherwise may still show the link.
    std::optional<std::string> anchor = articleLinkTag(answer, family, /*inLinkList=*/true);
    if (!anchor) anchor = articleLinkTag(answer, family, /*inLinkList=*/false);
    if (!anchor) return {};
    const std::string href = elementAttribute(*anchor, "href");
    if (href.empty()) return {};
    if (href.starts_with("http://") || href.starts_with("https://")) return href;
    return siteOrigin(site) + href;
}

namespace {

// A confirmed article: counted in the ledger and recorded as a published one.
SubmitResult confirmed(AdminSession& session, const BackendContext& context, const ArticleLookup& lookup,
                       const PendingArticle& pending, int siteIndex, ArticleTracking& tracking) {
    SubmitResult result;
    result.outcome = SubmitOutcome::Confirmed;
    result.reason = pending.reason;
    result.address = lookup.address;
    tracking.ledger->counted(tracking.backEnd, pending.ticket, lookup.id);
    noteOutcome(&tracking, pending.journalKey, JournalOutcome::Published, lookup.id, result.address);
    notePublished(context, session.site, siteIndex, pending.title, result.address);
    return result;
}

// An article that may be on the site: never sent again, its record says so.
SubmitResult unknownOutcome(const BackendContext& context, const config::SiteConfig& site,
                            const std::string& title, std::string reason, const ArticleTracking* tracking,
                            const std::string& journalKey) {
    noteOutcome(tracking, journalKey, JournalOutcome::Unknown);
    SubmitResult result;
    result.outcome = SubmitOutcome::Unknown;
    result.reason = std::move(reason);
    context.noteWriteFailure(
        writeUnknownOutcomeRecord(context.dataDir, site, title, result.reason, context.recordTag));
    return result;
}

}  // namespace

SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex, ArticleTracking* tracking) {
    const config::SiteConfig& site = session.site;
    content::applyInsertions(draft, site, pools);
    std::string leftOut;
    std::optional<text::DateTime> publishTime;
    if (tracking != nullptr) publishTime = tracking->nextPublishTime(context.clockOrSystem().now());
    std::vector<Replacement> titleReplaced;
    std::string body = formBody(buildArticleForm(draft, site, context, publishTime ? &*publishTime : nullptr),
                                isUtf8Site(site), &leftOut, &titleReplaced);
    if (!leftOut.empty()) context.logLine(siteIndex, kLeftOutStart + leftOut + kLeftOutEnd + draft.title);
    if (!titleReplaced.empty())
        context.logLine(siteIndex, replacementText("标题", titleReplaced) + "：" + draft.title);
    const BackendFamily& family = familyOf(session);
    for (const std::string& warning :
         tagWarnings(draft.tags, isUtf8Site(site), {family.tagBytes, family.tagChars}))
        context.logLine(siteIndex, warning + "：" + draft.title);
    double timeout = site.downloadRemoteImages ? 1000 : 120;
    SubmitResult result;
    if (context.aborted()) {  // nothing is sent
        result.reason = "请求已中止";
        return result;
    }
    const std::string sentTitle = plainFieldAsSent(draft.title, isUtf8Site(site));
    std::optional<int> mark;
    int ticket = 0;
    if (tracking != nullptr && tracking->ledger != nullptr) {
        readArticleMark(session, context, *tracking);
        mark = tracking->ledger->mark(tracking->backEnd);
        ticket = tracking->ledger->opened(tracking->backEnd, sentTitle, draft.typeId);
    }
    // Written down before it goes out: a run killed from here on leaves an entry the next run
    // looks up before it sends the file again.
    std::string journalKey;
    if (tracking != nullptr && tracking->journal != nullptr) {
        JournalEntry entry;
        entry.record = tracking->record;
        entry.path = draft.path;
        entry.contentHash = !draft.contentHash.empty() ? draft.contentHash
                                                       : fileContentHash(content::toLocalPath(draft.path));
        entry.title = sentTitle;
        entry.fileName = draft.filename;
        entry.typeId = draft.typeId;
        entry.mark = mark.value_or(0);
        std::string error;
        if (!tracking->journal->sent(tracking->backEnd, entry, error)) {
            if (ticket != 0) tracking->ledger->dropped(tracking->backEnd, ticket);
            result.reason = "已发送文章记录无法写入：" + error;
            return result;
        }
        journalKey = entry.key;
    }
    const http::PageAnswer posted = requestPage(session, context, backEndBaseUrl(site) + "/article_add.php",
                                                body, siteAnswerDecoding(site), timeout, /*sendOnce=*/true);
    const AnswerReading reading = readArticleAnswer(posted, family);

    if (reading.done()) {
        result.outcome = SubmitOutcome::Published;
        result.address = articleAddress(site, posted.text, family);
        // A success page without the article's id leaves it a claimant of rows like it for the run.
        const int id = editedArticleId(posted.text);
        if (ticket != 0 && id > 0) tracking->ledger->counted(tracking->backEnd, ticket, id);
        noteOutcome(tracking, journalKey, JournalOutcome::Published, id, result.address);
        notePublished(context, site, siteIndex, draft.title, result.address);
        runFollowUps(session, context, posted.text, siteIndex);
        return result;
    }
    result.reason = reading.reason;
    result.proxyFailed =
        posted.failure == http::Failure::ProxyUnreachable || posted.failure == http::Failure::ProxyRefused;
    if (reading.safeToRepeat()) {
        if (ticket != 0) tracking->ledger->dropped(tracking->backEnd, ticket);
        noteOutcome(tracking, journalKey, JournalOutcome::NotStored);
        context.noteWriteFailure(writeFailureRecord(context.dataDir, site, draft.title, posted.text,
                                                    reading.reason, context.recordTag));
        return result;
    }
    // The body went out and nothing trustworthy came back: the site itself says what happened.
    if (context.aborted() || tracking == nullptr || tracking->ledger == nullptr)
        return unknownOutcome(context, site, draft.title, result.reason, tracking, journalKey);
    if (!mark) {
        const std::string why = tracking->listReason.empty() ? "后台文章列表无法读取" : tracking->listReason;
        return unknownOutcome(context, site, draft.title, result.reason + "；" + why, tracking, journalKey);
    }
    PendingArticle pending{draft.title, reading.reason, draft.typeId, *mark, ticket, journalKey};
    const ArticleLookup lookup =
        findNewArticle(session, context, sentTitle, draft.typeId, *mark, ticket, *tracking);
    if (lookup.result == LookupResult::Found)
        return confirmed(session, context, lookup, pending, siteIndex, *tracking);
    result.outcome = SubmitOutcome::Pending;
    result.pending = std::move(pending);
    return result;
}

SubmitResult settleArticle(AdminSession& session, const BackendContext& context,
                           const PendingArticle& pending, int siteIndex, Settle settle,
                           ArticleTracking& tracking) {
    const config::SiteConfig& site = session.site;
    if (context.aborted())
        return unknownOutcome(context, site, pending.title, "请求已中止", &tracking, pending.journalKey);
    const std::string sentTitle = plainFieldAsSent(pending.title, isUtf8Site(site));
    const ArticleLookup lookup =
        findNewArticle(session, context, sentTitle, pending.typeId, pending.mark, pending.ticket, tracking);
    if (lookup.result == LookupResult::Found)
        return confirmed(session, context, lookup, pending, siteIndex, tracking);
    SubmitResult result;
    result.reason = pending.reason;
    if (settle == Settle::Again) {
        result.outcome = SubmitOutcome::Pending;
        result.pending = pending;
        return result;
    }
    // Not found is no proof: a back end behind a gateway may go on and store it after the settling
    // time. It stays unknown and keeps claiming its row; the next run looks it up before sending.
    std::string why = lookup.reason;
    if (lookup.result == LookupResult::NotFound)
        why = settle == Settle::Last ? "确认等待时间内网站后台查无此文" : "停止时网站后台尚无此文";
    return unknownOutcome(context, site, pending.title, result.reason + "；" + why, &tracking,
                          pending.journalKey);
}

void recordAddress(const BackendContext& context, const config::SiteConfig& site, int siteIndex,
                   const std::string& address) {
    if (context.addressRecords == nullptr) return;
    if (std::optional<WriteFailure> failure =
            context.addressRecords->append(site, address, context.clockOrSystem().now(), context.recordTag)) {
        context.logLine(siteIndex, lostAddressText(failure->reason, address));
        if (context.writeFailures != nullptr) context.writeFailures->addressLost(*failure, address);
    }
}

}  // namespace oz::backend
