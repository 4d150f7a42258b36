#include "backend/article_submission.h"

#include <algorithm>

#include "backend/answer_reader.h"
#include "backend/article_form.h"
#include "backend/progress_pages.h"
#include "backend/records.h"
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
        while (!src.empty() && !context.aborted()) {
            context.logLine(siteIndex, src);
            followProgressPages(session, context, src, siteIndex, "");
            src = text::textBetween(answer, family.tagFrame, kFrameEnd, position);
        }
        context.logLine(siteIndex, "结束刷新Kivratag列表");
    }
}

// What a published or confirmed article leaves: its address on record, no failure record. An
// address its record could not take goes to the log, so it is not simply gone.
void notePublished(const BackendContext& context, const config::SiteConfig& site, int siteIndex,
                   const std::string& title, const std::string& address) {
    if (context.addressRecords != nullptr) {
        if (std::optional<WriteFailure> failure =
                context.addressRecords->append(site, address, context.clockOrSystem().now())) {
            context.logLine(siteIndex, lostAddressText(failure->reason, address));
            if (context.writeFailures != nullptr) context.writeFailures->addressLost(*failure, address);
        }
    }
    removeFailureRecord(context.dataDir, site, title);
}

}  // namespace

std::string articleAddress(const config::SiteConfig& site, const std::string& answer,
                           const BackendFamily& family) {
    std::string anchor = text::textBetween(answer, "<a", family.articleLink, /*nearestBeforeEnd=*/true);
    if (anchor.empty()) return {};
    std::string href = text::textBetween(anchor, "href='", "'");
    if (href.empty()) href = text::textBetween(anchor, "href=''", "\"");
    if (href.starts_with("http://") || href.starts_with("https://")) return href;
    return siteScheme(site) + "://" + siteHost(site) + href;
}

SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex, ArticleMark* mark) {
    const config::SiteConfig& site = session.site;
    content::applyInsertions(draft, site, pools);
    std::string leftOut;
    std::string body = formBody(buildArticleForm(draft, site, context), isUtf8Site(site), &leftOut);
    if (!leftOut.empty()) context.logLine(siteIndex, kLeftOutStart + leftOut + kLeftOutEnd + draft.title);
    double timeout = site.downloadRemoteImages ? 1000 : 120;
    SubmitResult result;
    if (context.aborted()) {  // nothing is sent
        result.reason = "请求已中止";
        return result;
    }
    if (mark != nullptr) readArticleMark(session, context, *mark);
    const http::PageAnswer posted = requestPage(session, context, backEndBaseUrl(site) + "/article_add.php",
                                                body, siteAnswerDecoding(site), timeout, /*sendOnce=*/true);
    const BackendFamily& family = familyOf(session);
    const AnswerReading reading = readActionAnswer(posted, family.articleStored);

    if (reading.done()) {
        result.outcome = SubmitOutcome::Published;
        result.address = articleAddress(site, posted.text, family);
        if (mark != nullptr) {
            // The new article is the newest; a page without its id leaves the mark to be read again.
            const int id = editedArticleId(posted.text);
            mark->highestId =
                id > 0 ? std::optional<int>(std::max(id, mark->highestId.value_or(0))) : std::nullopt;
        }
        notePublished(context, site, siteIndex, draft.title, result.address);
        runFollowUps(session, context, posted.text, siteIndex);
        return result;
    }
    result.reason = reading.reason;
    if (reading.safeToRepeat()) {
        context.noteWriteFailure(
            writeFailureRecord(context.dataDir, site, draft.title, posted.text, reading.reason));
        return result;
    }
    // The body went out and nothing trustworthy came back: the site itself says what happened.
    result.outcome = SubmitOutcome::Unknown;
    if (!context.aborted() && mark != nullptr) {
        const ArticleLookup lookup = findNewArticle(
            session, context, plainFieldAsSent(draft.title, isUtf8Site(site)), draft.typeId, *mark);
        if (lookup.result == LookupResult::Found) {
            result.outcome = SubmitOutcome::Confirmed;
            result.address = lookup.address;
            mark->highestId = std::max(lookup.id, mark->highestId.value_or(0));
            notePublished(context, site, siteIndex, draft.title, result.address);
            return result;
        }
        if (lookup.result == LookupResult::NotFound) {
            result.outcome = SubmitOutcome::Failed;
            result.reason += "；网站后台查无此文";
            context.noteWriteFailure(
                writeFailureRecord(context.dataDir, site, draft.title, posted.text, result.reason));
            return result;
        }
        result.reason += "；" + lookup.reason;
    }
    if (mark != nullptr) mark->highestId.reset();
    context.noteWriteFailure(writeUnknownOutcomeRecord(context.dataDir, site, draft.title, result.reason));
    return result;
}

}  // namespace oz::backend
